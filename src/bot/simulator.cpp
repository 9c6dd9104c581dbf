#include "bot/simulator.h"
#include "game/credits.h"
#include <chrono>
#include <ctime>

using namespace BotCards;

namespace {
double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}
} // namespace

TDealSimulator::TDealSimulator()
{
    m_rules.useGameWeights();
}

std::array<TCardMask, 4> TDealSimulator::deal(quint64 seed)
{
    m_eng.seed(seed);
    m_eng.ResetDeck();
    std::array<TCardMask, 4> hands{};
    for (int k = 0; k < 13; ++k) {
        for (int s = 0; s < 4; ++s) {
            const int i = indexOfCode(m_eng.DrawCard());
            if (i >= 0)
                hands[size_t(s)] |= bit(i);
        }
    }
    return hands;
}

TDealResult TDealSimulator::play(const std::array<TCardMask, 4> &hands, const std::array<TBotStrategy *, 4> &seats)
{
    TDealResult result;
    std::array<TCardMask, 4> hand = hands;
    auto settle = [&](int winner) {
        result.winner = winner;
        int pool = 0;
        for (int s = 0; s < 4; ++s) {
            result.cardsLeft[size_t(s)] = count(hand[size_t(s)]);
            const int loss = creditLoss(result.cardsLeft[size_t(s)]);
            result.creditChange[size_t(s)] = -loss;
            pool += loss;
        }
        result.creditChange[size_t(winner)] += pool;
    };

    // a hand that wins when dealt
    for (int s = 0; s < 4; ++s) {
        const QStringList codes = codesOf(hand[size_t(s)]);
        if (m_rules.hasFourTwos(codes) || m_rules.isThirteenRun(codes)) {
            result.instant = true;
            settle(s);
            return result;
        }
    }

    int turn = 0;
    for (int s = 0; s < 4; ++s) {
        if (hand[size_t(s)] & bit(0))
            turn = s;
    }
    TCardMask played = 0;
    TCombo table;
    QStringList tableCodes;
    int owner = -1;
    std::array<bool, 4> passed{};
    std::vector<TBotMove> history; // absolute seats

    for (int move = 0; move < moveLimit; ++move) {
        if (owner == turn) {
            // everyone else passed: the table is cleared and its owner leads
            table = TCombo{};
            tableCodes.clear();
            owner = -1;
            passed = {};
        }
        TBotView view;
        view.hand = hand[size_t(turn)];
        view.played = played;
        view.table = table;
        view.tableOwner = owner < 0 ? -1 : (owner - turn + 4) % 4;
        for (int r = 0; r < 4; ++r) {
            view.cards[size_t(r)] = count(hand[size_t((turn + r) % 4)]);
            view.passed[size_t(r)] = passed[size_t((turn + r) % 4)];
        }
        view.history = history;
        for (TBotMove &m : view.history)
            m.seat = (m.seat - turn + 4) % 4;
        const auto t0 = std::chrono::steady_clock::now();
        const double cpu0 = threadCpuMs();
        const QList<TCombo> throws = BotCombos::throwsOver(view.hand, table);
        TCombo pick = seats[size_t(turn)]->choose(view, throws);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        const double cpuMs = threadCpuMs() - cpu0;
        Timing &t = m_timing[size_t(turn)];
        t.totalMs += ms;
        t.maxMs = std::max(t.maxMs, ms);
        ++t.decisions;
        t.over10ms += ms > 10.0 ? 1 : 0;
        t.cpuTotalMs += cpuMs;
        t.cpuMaxMs = std::max(t.cpuMaxMs, cpuMs);
        t.cpuOver10ms += cpuMs > 10.0 ? 1 : 0;
        ++result.moves;

        const TCombo over = table;
        if (!pick.isPass()) {
            const QStringList selection = codesOf(pick.mask);
            const bool own = (pick.mask & ~hand[size_t(turn)]) == 0;
            if (!own || !m_rules.isValidThrow(selection, int(selection.size()), tableCodes)) {
                ++result.refused;
                pick = TCombo{};
            } else {
                pick = BotCombos::tableCombo(selection);
                hand[size_t(turn)] &= ~pick.mask;
                played |= pick.mask;
                table = pick;
                tableCodes = selection; // the receivers' table shows the codes sorted by number
                owner = turn;
                passed = {};
                if (hand[size_t(turn)] == 0) {
                    settle(turn);
                    return result;
                }
            }
        }
        if (pick.isPass())
            passed[size_t(turn)] = true;
        history.push_back({turn, pick, over});
        turn = (turn + 1) % 4;
    }
    return result;
}

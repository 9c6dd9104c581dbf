// The searching player (level 4): only offered moves, within its time, and a decision that
// depends on what its player knows, never on the cards it cannot see.
#include "bot/botview.h"
#include "bot/searchstrategy.h"
#include "bot/simulator.h"
#include "game/table.h"
#include "rules/rules.h"
#include <QtTest>
#include <algorithm>
#include <tuple>
#include <vector>

using namespace BotCards;

namespace {
// Passes the search's choice on and fails the test at once if it was not offered.
class CheckedSearch : public TSearchStrategy
{
public:
    int bad = 0;
    TCombo choose(const TBotView &view, const QList<TCombo> &throws) override
    {
        const TCombo c = TSearchStrategy::choose(view, throws);
        const bool ok = c.isPass() ? (view.table.size > 0 || throws.isEmpty()) : throws.contains(c);
        bad += ok ? 0 : 1;
        return c;
    }
};

// Plays greedily and reads the others' moves as the searching player does.
class Watcher : public TGreedyStrategy
{
public:
    TOpponentModel model;
    TCombo choose(const TBotView &view, const QList<TCombo> &throws) override
    {
        model.observe(view);
        return TGreedyStrategy::choose(view, throws);
    }
};

// A host's table: every hand known.
struct HostTable
{
    TuserInfo roster;
    TTable table;
    explicit HostTable(TCombinationRules &rules) : table(roster, rules)
    {
        for (int seat = 1; seat <= 4; ++seat) {
            TuserRec rec;
            rec.nick = QStringLiteral("P%1").arg(seat);
            rec.port = seat;
            roster.setSeat(rec, seat);
        }
    }
};

// Seat 0's view of a table that lies as the hands say: played cards, the table thrown by seat 2,
// seat 3 has passed on it since.
TBotView viewOf(const std::array<TCardMask, 4> &hands, TCardMask played, const TCombo &table)
{
    TBotView v;
    v.hand = hands[0];
    v.played = played;
    v.table = table;
    v.tableOwner = 2;
    for (int s = 0; s < 4; ++s)
        v.cards[size_t(s)] = count(hands[size_t(s)]);
    v.passed[3] = true;
    return v;
}
} // namespace

class TestSearchStrategy : public QObject
{
    Q_OBJECT

private slots:
    void playsOnlyOfferedMovesWholeDeals()
    {
        TDealSimulator sim;
        std::array<CheckedSearch, 4> players;
        std::array<TBotStrategy *, 4> seats{};
        for (int s = 0; s < 4; ++s) {
            players[size_t(s)].setThinkMs(5);
            players[size_t(s)].seed(quint64(s) + 7);
            seats[size_t(s)] = &players[size_t(s)];
        }
        for (quint64 d = 1; d <= 2; ++d) {
            const TDealResult r = sim.play(sim.deal(d), seats);
            QCOMPARE(r.refused, 0);
            QVERIFY(r.winner >= 0);
        }
        for (const CheckedSearch &p : players)
            QCOMPARE(p.bad, 0);
    }

    void decidesWithinItsTime()
    {
        TDealSimulator sim;
        TSearchStrategy search; // the default budget
        QCOMPARE(search.thinkMs(), 150);
        search.setThinkMs(100000);
        QCOMPARE(search.thinkMs(), TSearchStrategy::kMaxThinkMs);
        search.setThinkMs(TSearchStrategy::kDefaultThinkMs);
        TSmartStrategy a, b, c;
        const TDealResult r = sim.play(sim.deal(3), {&search, &a, &b, &c});
        QVERIFY(r.winner >= 0);
        const auto &t = sim.timing()[0];
        QVERIFY(t.decisions > 0);
        qInfo("%lld decisions, at most %.1f ms", t.decisions, t.maxMs);
        QVERIFY2(t.maxMs < 300, qPrintable(QString::number(t.maxMs)));
    }

    // The host's tables know every hand: the computer player's view of its seat, read from them as
    // from its own table, and so its decision, must not depend on who holds the cards it cannot see.
    void sameDecisionWhateverTheHiddenCards()
    {
        TCardEng eng;
        TCombinationRules rules{eng};
        rules.useGameWeights();
        // seat 1 keeps six cards; seat 3 threw a pair of 7s on a clear table and seat 4 passed on it
        const QStringList mine{"13", "23", "19", "29", "111", "211"};
        const QStringList pair{"17", "27"};
        QStringList rest; // every other card, lowest first
        for (int i = 0; i < kDeckSize; ++i)
            if (!((maskOf(mine) | maskOf(pair)) & bit(i)))
                rest << codeOfIndex(i);
        // before it, the 28 highest went round as singles, each beating the last, seats 4, 1, 2, 3 in
        // turn; the 16 lowest are held by seats 2, 3 and 4 (6, 4, 6), in another order at each table
        const QStringList singles = rest.mid(16);
        auto play = [&](HostTable &h, bool reversed) {
            QStringList held = rest.mid(0, 16);
            if (reversed)
                std::reverse(held.begin(), held.end());
            h.table.beginDealing();
            std::array<QStringList, 5> hands{{{}, mine, held.mid(0, 6), held.mid(6, 4) + pair, held.mid(10, 6)}};
            for (int k = 0; k < int(singles.size()); ++k)
                hands[size_t((k + 3) % 4 + 1)] << singles.at(k);
            for (int seat = 1; seat <= 4; ++seat)
                h.table.setHand(seat, hands[size_t(seat)]);
            h.table.startPlay();
            auto move = [&](int seat, const QStringList &cards) {
                h.table.setToMove(seat);
                h.table.applyMove(TMove{seat, cards}, int(cards.size()));
            };
            for (int k = 0; k < int(singles.size()); ++k)
                move((k + 3) % 4 + 1, {singles.at(k)});
            for (int seat : {4, 1, 2})
                move(seat, {});
            move(3, pair);
            move(4, {});
            h.table.setToMove(1);
        };
        HostTable a(rules), b(rules);
        play(a, false);
        play(b, true);
        QCOMPARE(a.table.hand(1), mine);
        QVERIFY(a.table.hand(2) != b.table.hand(2));
        const TBotView views[2] = {botViewOf(a.table, 1), botViewOf(b.table, 1)};
        auto known = [](const TBotView &v) {
            return std::tuple(v.hand, v.played, v.table.mask, v.tableOwner, v.cards, v.passed, v.history.size());
        };
        QVERIFY(known(views[0]) == known(views[1]));
        const QList<TCombo> throws = BotCombos::throwsOver(maskOf(mine), BotCombos::tableCombo(pair));
        QVERIFY(throws.size() > 1);
        TCombo picks[2];
        for (int i = 0; i < 2; ++i) {
            TSearchStrategy search;
            search.setThinkMs(TSearchStrategy::kMaxThinkMs);
            search.maxSamples = 12;
            search.seed(42);
            picks[i] = search.choose(views[i], throws);
            QCOMPARE(search.lastStats().samples, 12);
            QVERIFY(search.lastStats().candidates > 1);
        }
        QVERIFY(picks[0] == picks[1]);
    }

    void tellsHowTheOthersPlay()
    {
        // a pass on a 5, then a K thrown: the K was in the hand at the pass
        const auto single = [](int index) { return BotCombos::classify(bit(index)); };
        TOpponentModel model;
        TBotView view;
        view.history = {{1, single(0), {}}, {2, single(8), single(0)}, {3, {}, single(8)}, {1, single(9), single(8)},
                        {2, {}, single(9)}, {3, single(40), single(9)}};
        model.observe(view);
        TOpponentModel::Evidence e = model.evidence(3);
        QCOMPARE(e.passes, 1.0);
        QCOMPARE(e.oddPasses, 1.0);
        QCOMPARE(e.oddFollows, 0.0);
        QCOMPARE(model.evidence(1).departures(), 0.0); // led its lowest card, beat with the cheapest
        QCOMPARE(model.style(1), TOpponentModel::Style::Planner); // too little seen yet
        // played greedily, seat 2 beat the 3 with its cheapest card above it (the 5) and then could
        // not beat the next card: it can hold none of the cards not yet thrown
        const TCardMask thrown = bit(0) | bit(8) | bit(9) | bit(40);
        QCOMPARE(TOpponentModel::greedyMayHold(2, view.history) & ~thrown, TCardMask(0));
        QCOMPARE(TOpponentModel::greedyMayHold(3, view.history) & ~thrown, bit(1) | bit(2) | bit(3) | bit(4) | bit(5) | bit(6) | bit(7));

        TDealSimulator sim;
        Watcher watcher;
        TGreedyStrategy greedy;
        TRandomStrategy random;
        TSmartStrategy planner(3);
        const std::array<TBotStrategy *, 4> seats{&watcher, &greedy, &random, &planner};
        for (quint64 d = 1; d <= 40; ++d)
            sim.play(sim.deal(d), seats);
        QCOMPARE(watcher.model.style(1), TOpponentModel::Style::Greedy);
        QCOMPARE(watcher.model.style(2), TOpponentModel::Style::Random);
        QCOMPARE(watcher.model.style(3), TOpponentModel::Style::Planner);
    }

    void keepsTheLevelThreeChoiceOnScantEvidence()
    {
        TDealSimulator sim;
        const auto hands = sim.deal(5);
        TBotView view = viewOf(hands, 0, TCombo{});
        view.tableOwner = -1;
        view.passed = {};
        const QList<TCombo> throws = BotCombos::throwsOver(view.hand, view.table);
        TSearchStrategy search;
        search.setThinkMs(TSearchStrategy::kMaxThinkMs);
        search.maxSamples = TSearchStrategy::kMinSamples - 1;
        search.choose(view, throws);
        QVERIFY(search.lastStats().candidates > 1);
        // a sanitizer build may fit fewer play-outs of a whole deal in the time
        QVERIFY(search.lastStats().samples >= 1 && search.lastStats().samples < TSearchStrategy::kMinSamples);
        QCOMPARE(search.lastStats().choice, 0);
    }
};

QTEST_GUILESS_MAIN(TestSearchStrategy)
#include "tst_searchstrategy.moc"

#include "support/tablecheck.h"

#include "cards/cardcode.h"
#include "cards/playcard.h"
#include "game/credits.h"
#include "game/dealend.h"
#include "game/gameflow.h"
#include "game/protocol.h"
#include "hub/hubserver.h"
#include "rules/handorder.h"
#include "support/dealhelpers.h"
#include "support/tablefixture.h"
#include "ui/mainfrm.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <algorithm>
#include <bit>
#include <random>

using namespace DealHelpers;

namespace Stress {

namespace {

QStringList sorted(QStringList codes)
{
    std::sort(codes.begin(), codes.end());
    return codes;
}

QString listText(const QStringList &codes)
{
    return QLatin1Char('[') + codes.join(QLatin1Char(' ')) + QLatin1Char(']');
}

// The nick a copy shows at one of its screen seats, from its own roster.
QString nickAtScreenSeat(const TmainFrm *v, int screenSeat)
{
    if (screenSeat < 1 || screenSeat > 4)
        return {};
    for (int s = 1; s <= 4; ++s) {
        const TuserRec &u = v->roster.user(s);
        if (!u.nick.isEmpty() && v->roster.relativeSeat(v->st.myNick, u.nick) == screenSeat)
            return u.nick;
    }
    return {};
}

} // namespace

QList<QStringList> legalThrows(TmainFrm *w, const QStringList &hand, const QStringList &table)
{
    QList<QStringList> out;
    const int n = int(hand.size());
    if (n == 0 || n > 13)
        return out;
    for (unsigned mask = 1; mask < (1u << n); ++mask) {
        const int k = std::popcount(mask);
        if (table.isEmpty() ? (k == 4 || k > 5) : k != table.size())
            continue;
        QStringList pick;
        for (int i = 0; i < n; ++i)
            if (mask & (1u << i))
                pick << hand.at(i);
        if (w->rules.isValidThrow(pick, k, table))
            out << pick;
    }
    return out;
}

QStringList chooseThrow(TmainFrm *w)
{
    const QStringList hand = handOf(w);
    const QStringList table = tableOf(w);
    QList<QStringList> options = legalThrows(w, hand, table);
    if (options.isEmpty())
        return {};
    if (table.isEmpty()) {
        // Lead with the lowest card, in the largest combination it belongs to.
        QString lowest = hand.first();
        for (const QString &c : hand)
            if (w->CardEng1.CardValue(c) < w->CardEng1.CardValue(lowest))
                lowest = c;
        qsizetype largest = 0;
        for (const QStringList &o : std::as_const(options))
            if (o.contains(lowest))
                largest = std::max(largest, o.size());
        QList<QStringList> kept;
        for (const QStringList &o : std::as_const(options))
            if (o.contains(lowest) && o.size() == largest)
                kept << o;
        options = kept;
    }
    QStringList best = options.first();
    for (const QStringList &o : std::as_const(options))
        if (w->rules.beatsTable(best, o))
            best = o;
    return best;
}

void stackHands(TmainFrm *host, const QHash<QString, QStringList> &hands, unsigned seed)
{
    QStringList rest;
    for (int suit = 1; suit <= 4; ++suit)
        for (int rank = 1; rank <= 13; ++rank)
            rest << cardCode(suit, rank);
    for (const QStringList &h : hands)
        for (const QString &c : h)
            rest.removeAll(c);
    for (;; ++seed) {
        QStringList shuffled = rest;
        std::mt19937 rng(seed);
        std::shuffle(shuffled.begin(), shuffled.end(), rng);
        QStringList order;
        QHash<int, QStringList> dealt;
        for (int k = 0; k < 13; ++k) {
            for (int s = 1; s <= 4; ++s) {
                const QString nick = host->roster.user(s).port >= 0 ? host->roster.user(s).nick : QString();
                const QString code = hands.contains(nick) ? hands[nick].at(k) : shuffled.takeFirst();
                order << code;
                dealt[s] << code;
            }
        }
        bool otherWinner = false;
        for (int s = 1; s <= 4; ++s)
            if (!hands.contains(host->roster.user(s).nick))
                otherWinner |= host->rules.hasFourTwos(dealt[s]) || host->rules.isThirteenRun(dealt[s]);
        if (!otherWinner) {
            host->CardEng1.stackDeck(order);
            return;
        }
    }
}

// ---------------------------------------------------------------------------------------------

void TableCheck::setCopies(const QList<TmainFrm *> &copies)
{
    m_copies = copies;
    for (SeatAccount &a : m_seats)
        a = SeatAccount{};
    TmainFrm *h = host();
    m_total = 0;
    if (h) {
        for (int s = 1; s <= 4; ++s) {
            const TuserRec &u = h->roster.user(s);
            if (u.nick.isEmpty() || u.port < 0)
                continue;
            m_seats[s].nick = u.nick;
            m_total += u.credit;
        }
    }
    m_table.clear();
    m_thrown.clear();
    m_lastThrower = 0;
    m_mover = 0;
    m_nextLeader = 0;
    m_inDeal = false;
    m_over = false;
    m_winner.clear();
    m_problem.clear();
    m_waiting = Waiting::Nothing;
}

TmainFrm *TableCheck::host() const
{
    for (TmainFrm *w : m_copies)
        if (w->st.hosting)
            return w;
    return nullptr;
}

TmainFrm *TableCheck::copyOf(const QString &nick) const
{
    for (TmainFrm *w : m_copies)
        if (w->st.myNick == nick)
            return w;
    return nullptr;
}

int TableCheck::seatOf(const QString &nick) const
{
    for (int s = 1; s <= 4; ++s)
        if (!nick.isEmpty() && m_seats[s].nick == nick)
            return s;
    return -1;
}

QString TableCheck::mover() const
{
    return TuserInfo::validSeat(m_mover) ? m_seats[m_mover].nick : QString();
}

QHash<QString, int> TableCheck::hostCredits() const
{
    QHash<QString, int> out;
    if (TmainFrm *h = host())
        for (int s = 1; s <= 4; ++s)
            if (!m_seats[s].nick.isEmpty())
                out.insert(m_seats[s].nick, h->roster.user(s).credit);
    return out;
}

int TableCheck::creditSum() const
{
    int sum = 0;
    const QHash<QString, int> credits = hostCredits();
    for (int c : credits)
        sum += c;
    return sum;
}

bool TableCheck::fail(const QString &why)
{
    m_problem = why;
    return false;
}

int TableCheck::nextSeat(int seat) const
{
    for (int i = 1; i <= 4; ++i) {
        const int s = (seat - 1 + i) % 4 + 1;
        if (!m_seats[s].nick.isEmpty())
            return s;
    }
    return 0;
}

void TableCheck::enterTurn(int seat)
{
    m_mover = seat;
    m_seats[seat].passShown = false;
    if (seat == m_lastThrower) {
        // Everybody else passed: the table is cleared and the thrower leads.
        m_table.clear();
        m_lastThrower = 0;
        for (SeatAccount &a : m_seats)
            a.passShown = false;
    }
}

void TableCheck::recordThrow(int seat, const QStringList &cards)
{
    SeatAccount &a = m_seats[seat];
    for (const QString &c : cards)
        a.hand.removeOne(c);
    m_thrown << cards;
    m_table = cards;
    if (cards.size() == 5)
        sortCodes(m_table, true);
    m_lastThrower = seat;
    ++m_moves;
    if (!a.hand.isEmpty()) {
        enterTurn(nextSeat(seat));
        return;
    }
    // The last card. Pass markers are not compared from here on: the winner's copy ignores the turn
    // notice the host still sends after the winning throw, the other copies show it.
    m_over = true;
    m_winner = a.nick;
    m_creditsAfter = m_creditsBefore;
    int pool = 0;
    for (const SeatAccount &s : m_seats) {
        if (s.nick.isEmpty())
            continue;
        const int loss = creditLoss(int(s.hand.size()));
        m_creditsAfter[s.nick] -= loss;
        pool += loss;
    }
    m_creditsAfter[m_winner] += pool;
}

void TableCheck::recordPass(int seat)
{
    m_seats[seat].passShown = true;
    ++m_moves;
    enterTurn(nextSeat(seat));
}

QString TableCheck::describeMove(const QString &nick, const QStringList &cards, bool automatic) const
{
    QString text = QStringLiteral("deal %1 move %2: %3 ").arg(m_deals + 1).arg(m_moves).arg(nick);
    if (cards.isEmpty())
        text += automatic ? QStringLiteral("passed automatically") : QStringLiteral("passed");
    else
        text += QStringLiteral("threw ") + listText(cards);
    return text;
}

QString TableCheck::viewProblem(TmainFrm *v) const
{
    const QString me = v->st.myNick;
    const int mySeat = seatOf(me);
    if (!TuserInfo::validSeat(mySeat))
        return QStringLiteral("holds no seat");
    if (v->st.gameOn == m_over)
        return m_over ? QStringLiteral("still plays the deal") : QStringLiteral("has no deal running");

    // The cards of every seat, and the own hand card by card.
    for (int s = 1; s <= 4; ++s) {
        const SeatAccount &a = m_seats[s];
        if (a.nick.isEmpty())
            continue;
        const int screen = v->roster.relativeSeat(me, a.nick);
        if (screen < 1)
            return QStringLiteral("does not seat %1").arg(a.nick);
        const int shown = backsShown(v, screen);
        if (shown != a.hand.size())
            return QStringLiteral("shows %1 cards for %2, who holds %3").arg(shown).arg(a.nick).arg(a.hand.size());
        if (!m_over && v->passLabel(screen)->isHidden() == a.passShown)
            return QStringLiteral("%1 the pass marker of %2").arg(a.passShown ? "hides" : "shows", a.nick);
    }
    const QStringList own = handOf(v);
    if (sorted(own) != sorted(m_seats[mySeat].hand))
        return QStringLiteral("holds %1, expected %2").arg(listText(own), listText(sorted(m_seats[mySeat].hand)));

    const QStringList table = tableOf(v);
    if (table != m_table)
        return QStringLiteral("shows %1 on the table, expected %2").arg(listText(table), listText(m_table));
    if (m_over)
        return {};
    const QString who = m_lastThrower ? letterSpaced(m_seats[m_lastThrower].nick) : QString();
    if (v->txtWhoThrow->text() != who)
        return QStringLiteral("names '%1' as thrower, expected '%2'").arg(v->txtWhoThrow->text(), who);

    const QString turn = nickAtScreenSeat(v, v->st.turnSeat);
    if (turn != mover())
        return QStringLiteral("shows '%1' to move, expected '%2'").arg(turn, mover());
    if (v->imgTurn->isHidden())
        return QStringLiteral("hides the turn marker");
    const bool mine = mySeat == m_mover;
    if (v->btnThrow->isEnabled() != mine || v->btnPass->isEnabled() != mine)
        return QStringLiteral("has Throw/Pass %1").arg(mine ? "disabled on its turn" : "enabled out of turn");
    if (v->txtPassCntDwn->isHidden() == mine)
        return QStringLiteral("%1 the countdown").arg(mine ? "hides" : "shows");
    return {};
}

QString TableCheck::endProblem() const
{
    TmainFrm *h = host();
    if (!h)
        return QStringLiteral("nobody hosts");
    const QHash<QString, int> credits = hostCredits();
    if (credits != m_creditsAfter) {
        QStringList parts;
        for (auto it = m_creditsAfter.begin(); it != m_creditsAfter.end(); ++it)
            parts << QStringLiteral("%1 %2 (expected %3)").arg(it.key()).arg(credits.value(it.key())).arg(it.value());
        return QStringLiteral("host credits ") + parts.join(QStringLiteral(", "));
    }
    if (creditSum() != m_total)
        return QStringLiteral("credits sum to %1, not %2").arg(creditSum()).arg(m_total);
    for (TmainFrm *v : m_copies) {
        const QString me = v->st.myNick;
        if (v->txtWhoThrow->text() != QStringLiteral(" ") + m_winner + QStringLiteral(" WIN !"))
            return me + QStringLiteral(": shows '%1' at the end").arg(v->txtWhoThrow->text());
        if (v->st.startSeat != v->roster.relativeSeat(me, m_winner))
            return me + QStringLiteral(": next deal led by screen seat %1").arg(v->st.startSeat);
        if (v->btnNew->isEnabled() != (me == m_winner))
            return me + QStringLiteral(": New Game %1").arg(me == m_winner ? "disabled for the winner" : "enabled");
        if (v->btnThrow->isEnabled() || v->btnPass->isEnabled())
            return me + QStringLiteral(": may still throw");
        for (auto it = m_creditsAfter.begin(); it != m_creditsAfter.end(); ++it) {
            const QString shown = v->pointLabel(v->roster.relativeSeat(me, it.key()))->text();
            if (shown != QString::number(it.value()))
                return me + QStringLiteral(": shows %1 credits for %2, expected %3").arg(shown, it.key()).arg(it.value());
        }
    }
    return {};
}

QString TableCheck::disagreement() const
{
    int seated = 0;
    for (const SeatAccount &a : m_seats)
        seated += a.nick.isEmpty() ? 0 : 1;
    if (seated != m_copies.size())
        return QStringLiteral("%1 seats for %2 copies").arg(seated).arg(m_copies.size());
    for (TmainFrm *v : m_copies)
        if (const QString p = viewProblem(v); !p.isEmpty())
            return v->st.myNick + QStringLiteral(": ") + p;

    // No card in two places: the own hands on the copies and the cards thrown so far.
    QSet<QString> seen;
    QStringList all = m_thrown;
    for (TmainFrm *v : m_copies)
        all << handOf(v);
    for (const QString &c : std::as_const(all)) {
        if (seen.contains(c))
            return QStringLiteral("card %1 is in two places").arg(c);
        seen.insert(c);
    }
    if (all.size() != 13 * seated)
        return QStringLiteral("%1 cards in play, expected %2").arg(all.size()).arg(13 * seated);
    return m_over ? endProblem() : QString();
}

bool TableCheck::waitAgreement(int ms)
{
    QString last;
    const bool ok = TableFixture::waitFor([&] {
        last = disagreement();
        return last.isEmpty();
    }, ms);
    m_problem = ok ? QString() : last;
    return ok;
}

bool TableCheck::startDeal(int ms)
{
    if (!beginDeal())
        return false;
    if (!TableFixture::waitFor([this] { return dealtEverywhere(); }, ms))
        return fail(QStringLiteral("deal %1 was not dealt").arg(m_deals + 1));
    takeDeal();
    if (!waitAgreement(ms))
        return fail(m_log.last() + QStringLiteral(": ") + m_problem);
    shown(false);
    return true;
}

bool TableCheck::beginDeal()
{
    TmainFrm *h = host();
    if (!h)
        return fail(QStringLiteral("nobody hosts"));
    TmainFrm *starter = nullptr;
    for (TmainFrm *v : m_copies) {
        if (!v->btnNew->isEnabled())
            continue;
        if (starter)
            return fail(QStringLiteral("both %1 and %2 may start the deal").arg(starter->st.myNick, v->st.myNick));
        starter = v;
    }
    if (!starter)
        return fail(QStringLiteral("nobody may start the deal"));
    const TmainFrm *expected = m_nextLeader ? copyOf(m_seats[m_nextLeader].nick) : h;
    if (starter != expected)
        return fail(QStringLiteral("%1 may start the deal, not %2").arg(starter->st.myNick, expected->st.myNick));

    m_creditsBefore = hostCredits();
    m_creditsAfter = m_creditsBefore;
    // A copy still showing the hand of a deal won as dealt would pass for dealt: each must start anew.
    m_serials.clear();
    for (TmainFrm *v : m_copies)
        m_serials.insert(v, v->flow->dealSerial());
    QTest::mouseClick(starter->btnNew, Qt::LeftButton);
    return true;
}

bool TableCheck::dealtEverywhere() const
{
    // Every copy holds thirteen cards and either knows who leads or the deal is already won.
    TmainFrm *h = host();
    if (!h || h->flow->dealing())
        return false;
    for (TmainFrm *v : m_copies) {
        if (v->flow->dealSerial() == m_serials.value(v) || handOf(v).size() != 13)
            return false;
        if (v->st.gameOn && v->st.turnSeat == 0)
            return false;
        if (!v->st.gameOn && !v->txtWhoThrow->text().endsWith(QStringLiteral(" WIN !")))
            return false;
    }
    return true;
}

void TableCheck::takeDeal()
{
    TmainFrm *h = host();
    m_table.clear();
    m_thrown.clear();
    m_lastThrower = 0;
    m_moves = 0;
    m_over = false;
    m_winner.clear();
    m_inDeal = true;
    for (int s = 1; s <= 4; ++s) {
        SeatAccount &a = m_seats[s];
        a.passShown = false;
        a.hand.clear();
        if (!a.nick.isEmpty())
            a.hand = handOf(copyOf(a.nick));
    }

    // A hand of four 2s or of every rank wins at once, everybody paying for thirteen cards.
    for (int s = 1; s <= 4; ++s) {
        const QStringList &hand = m_seats[s].hand;
        if (!hand.isEmpty() && (h->rules.hasFourTwos(hand) || h->rules.isThirteenRun(hand))) {
            m_over = true;
            m_winner = m_seats[s].nick;
        }
    }
    if (m_over) {
        m_creditsAfter = m_creditsBefore;
        int pool = 0;
        for (const SeatAccount &a : m_seats) {
            if (a.nick.isEmpty())
                continue;
            m_creditsAfter[a.nick] -= creditLoss(13);
            pool += creditLoss(13);
        }
        m_creditsAfter[m_winner] += pool;
        m_log << QStringLiteral("deal %1: %2 wins as dealt with %3")
                     .arg(m_deals + 1)
                     .arg(m_winner, listText(m_seats[seatOf(m_winner)].hand));
        return;
    }
    int leader = m_nextLeader;
    if (!leader) {
        // The lowest card leads the first deal after a change at the table.
        int best = 1000;
        for (int s = 1; s <= 4; ++s)
            for (const QString &c : std::as_const(m_seats[s].hand))
                if (h->CardEng1.CardValue(c) < best) {
                    best = h->CardEng1.CardValue(c);
                    leader = s;
                }
    }
    enterTurn(leader);
    m_log << QStringLiteral("deal %1: %2 leads").arg(m_deals + 1).arg(mover());
}

void TableCheck::shown(bool move)
{
    if (move) {
        m_lastMove = m_clock.elapsed();
        m_slowestMove = std::max(m_slowestMove, m_lastMove);
    }
    if (m_over) {
        m_nextLeader = seatOf(m_winner);
        ++m_deals;
    }
}

bool TableCheck::playMove(int ms)
{
    if (!m_inDeal || m_over)
        return fail(QStringLiteral("no deal to play"));
    if (!waitAgreement(ms))
        return fail(QStringLiteral("before ") + describeMove(mover(), {}, false) + QStringLiteral(": ") + m_problem);
    TmainFrm *m = copyOf(mover());
    if (!m)
        return fail(QStringLiteral("no copy plays for %1").arg(mover()));
    return perform(chooseThrow(m), ms);
}

bool TableCheck::playThrow(const QStringList &cards, int ms)
{
    if (!m_inDeal || m_over)
        return fail(QStringLiteral("no deal to play"));
    if (!waitAgreement(ms))
        return fail(QStringLiteral("before ") + describeMove(mover(), cards, false) + QStringLiteral(": ") + m_problem);
    // Raised by clicks, the cards are thrown in the order the hand holds them.
    QStringList ordered;
    if (TmainFrm *m = copyOf(mover()))
        for (const QString &c : handOf(m))
            if (cards.contains(c))
                ordered << c;
    if (ordered.size() != cards.size())
        return fail(describeMove(mover(), cards, false) + QStringLiteral(": not all in the hand"));
    return perform(ordered, ms);
}

bool TableCheck::automaticPass(int ms)
{
    if (!m_inDeal || m_over)
        return fail(QStringLiteral("no deal to play"));
    const QString nick = mover();
    recordPass(m_mover);
    m_log << describeMove(nick, {}, true);
    if (!waitAgreement(ms))
        return fail(m_log.last() + QStringLiteral(": ") + m_problem);
    return true;
}

bool TableCheck::followDeal(const QString &leader, int ms)
{
    TmainFrm *h = host();
    if (!h || seatOf(leader) < 0)
        return fail(QStringLiteral("no host, or %1 holds no seat").arg(leader));
    const bool dealt = TableFixture::waitFor([&] {
        for (TmainFrm *v : m_copies)
            if (!v->st.gameOn || v->st.turnSeat == 0 || handOf(v).size() != 13)
                return false;
        return !h->flow->dealing();
    }, ms);
    if (!dealt)
        return fail(QStringLiteral("deal %1 was not dealt").arg(m_deals + 1));
    m_creditsBefore = hostCredits();
    m_creditsAfter = m_creditsBefore;
    m_nextLeader = seatOf(leader);
    takeDeal();
    if (!waitAgreement(ms))
        return fail(m_log.last() + QStringLiteral(": ") + m_problem);
    shown(false);
    return true;
}

bool TableCheck::playMoves(int n)
{
    for (int i = 0; i < n; ++i) {
        if ((!m_inDeal || m_over) && !startDeal())
            return false;
        if (!playMove())
            return false;
    }
    return true;
}

bool TableCheck::perform(const QStringList &pick, int ms)
{
    if (!beginMove(pick))
        return false;
    if (!waitAgreement(ms))
        return fail(m_log.last() + QStringLiteral(": ") + m_problem);
    shown(true);
    return true;
}

bool TableCheck::beginMove(const QStringList &pick)
{
    const int seat = m_mover;
    TmainFrm *m = copyOf(m_seats[seat].nick);
    if (!m)
        return fail(QStringLiteral("no copy plays for %1").arg(mover()));
    if (!raisedOf(m).isEmpty())
        QTest::mouseClick(m->btnCardDown, Qt::LeftButton);

    const int beeps = m->beepCount();
    m_clock.start();
    bool automatic = false;
    if (pick.isEmpty()) {
        QTest::mouseClick(m->btnPass, Qt::LeftButton);
        recordPass(seat);
    } else {
        if (!clickCards(m, pick) || raisedOf(m) != pick)
            return fail(describeMove(m->st.myNick, pick, false) + QStringLiteral(": could not raise the cards, ")
                        + listText(raisedOf(m)) + QStringLiteral(" raised"));
        QTest::mouseClick(m->btnThrow, Qt::LeftButton);
        if (m->beepCount() != beeps)
            return fail(describeMove(m->st.myNick, pick, false) + QStringLiteral(": refused with a beep"));
        if (handOf(m).contains(pick.first())) {
            // The countdown ran out just before the click: the program passed for the player.
            if (m->btnThrow->isEnabled() || m->passLabel(1)->isHidden())
                return fail(describeMove(m->st.myNick, pick, false) + QStringLiteral(": the cards stayed in the hand"));
            QTest::mouseClick(m->btnCardDown, Qt::LeftButton);
            automatic = true;
            recordPass(seat);
        } else {
            recordThrow(seat, pick);
        }
    }
    m_log << describeMove(m->st.myNick, automatic ? QStringList() : pick, automatic);
    return true;
}

bool TableCheck::ready() const
{
    switch (m_waiting) {
    case Waiting::Nothing:
        return true;
    case Waiting::Deal:
        return dealtEverywhere();
    default:
        return disagreement().isEmpty();
    }
}

bool TableCheck::step()
{
    if (m_waiting == Waiting::Nothing) {
        m_clock.start();
        if (!m_inDeal || m_over) {
            if (!beginDeal())
                return false;
            m_waiting = Waiting::Deal;
            return true;
        }
        TmainFrm *m = copyOf(mover());
        if (!m)
            return fail(QStringLiteral("no copy plays for %1").arg(mover()));
        if (!beginMove(chooseThrow(m)))
            return false;
        m_waiting = Waiting::Move;
        return true;
    }
    const qint64 limit = m_waiting == Waiting::Move ? 15000 : 30000;
    if (m_waiting == Waiting::Deal) {
        if (!dealtEverywhere())
            return m_clock.elapsed() < limit || fail(QStringLiteral("deal %1 was not dealt").arg(m_deals + 1));
        takeDeal();
        m_waiting = Waiting::DealShown;
    }
    const QString problem = disagreement();
    if (!problem.isEmpty())
        return m_clock.elapsed() < limit || fail(m_log.last() + QStringLiteral(": ") + problem);
    shown(m_waiting == Waiting::Move);
    m_waiting = Waiting::Nothing;
    return true;
}

bool playTogether(const QList<TableCheck *> &tables, int deals, QString *problem)
{
    const auto done = [deals](const TableCheck *t) { return t->dealsPlayed() >= deals && t->idle(); };
    for (;;) {
        bool allDone = true;
        for (qsizetype i = 0; i < tables.size(); ++i) {
            if (done(tables[i]))
                continue;
            allDone = false;
            if (!tables[i]->step()) {
                *problem = QStringLiteral("table %1, %2").arg(i + 1).arg(tables[i]->problem());
                return false;
            }
        }
        if (allDone)
            return true;
        TableFixture::waitFor([&] {
            for (const TableCheck *t : tables)
                if (!done(t) && t->ready())
                    return true;
            return false;
        }, 100);
    }
}

QString TableCheck::waitModeProblem() const
{
    for (TmainFrm *v : m_copies) {
        const QString me = v->st.myNick + QStringLiteral(": ");
        if (v->st.gameOn || v->st.turnSeat != 0 || v->st.startSeat != 0)
            return me + QStringLiteral("still in a deal");
        if (v->txtWait->isHidden())
            return me + QStringLiteral("hides the waiting panel");
        if (!v->imgTurn->isHidden() || !tableOf(v).isEmpty() || !v->txtPassCntDwn->isHidden())
            return me + QStringLiteral("shows a turn, the countdown or cards on the table");
        for (int s = 1; s <= 4; ++s)
            if (!v->passLabel(s)->isHidden())
                return me + QStringLiteral("shows a pass marker");
        for (QPushButton *b : {v->btnThrow, v->btnPass, v->btnSortN, v->btnSortF, v->btnCardDown, v->btnStop})
            if (b->isEnabled())
                return me + b->text() + QStringLiteral(" enabled");
        const bool mayDeal = v->st.hosting && v->gHost->ClientCount() > 0;
        if (v->btnNew->isEnabled() != mayDeal)
            return me + QStringLiteral("New Game %1").arg(mayDeal ? "disabled" : "enabled");
    }
    return {};
}

bool TableCheck::waitWaitMode(int ms)
{
    QString last;
    const bool ok = TableFixture::waitFor([&] {
        last = waitModeProblem();
        return last.isEmpty();
    }, ms);
    m_problem = ok ? QString() : last;
    if (ok) {
        m_inDeal = false;
        m_over = false;
        m_nextLeader = 0;
    }
    return ok;
}

bool TableCheck::stopDeal()
{
    TmainFrm *h = host();
    if (!h || !h->btnStop->isEnabled())
        return fail(QStringLiteral("Stop Game is not enabled on the host"));
    QTest::mouseClick(h->btnStop, Qt::LeftButton);
    return waitWaitMode();
}

bool TableCheck::finishDeal(int maxMoves)
{
    while (!m_over) {
        if (m_moves >= maxMoves)
            return fail(QStringLiteral("deal %1 not over after %2 moves").arg(m_deals + 1).arg(m_moves));
        if (!playMove())
            return false;
    }
    return true;
}

} // namespace Stress

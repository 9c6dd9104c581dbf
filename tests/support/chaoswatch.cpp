#include "support/chaoswatch.h"
#include "bot/botplayer.h"
#include "client/clienttable.h"
#include "host/tablehost.h"
#include "support/faultproxy.h"
#include <QCoreApplication>
#include <QSet>
#include <QTimer>

namespace Stress {

namespace {
// A copy counts as left behind or astray only once its link has been quiet this long.
constexpr int kQuietMs = 2500;
} // namespace

bool ChaosWatch::View::sameAs(const View &copy, int seat) const
{
    return counts == copy.counts && table == copy.table && thrower == copy.thrower && passed == copy.passed
           && toMove == copy.toMove && hands[size_t(seat)] == copy.hands[size_t(seat)];
}

QString ChaosWatch::View::difference(const View &copy, int seat) const
{
    for (int s = 1; s <= 4; ++s)
        if (counts[size_t(s)] != copy.counts[size_t(s)])
            return QStringLiteral("seat %1 holds %2 cards, not %3").arg(s).arg(copy.counts[size_t(s)]).arg(counts[size_t(s)]);
    if (table != copy.table || thrower != copy.thrower)
        return QStringLiteral("the table shows %1 by seat %2, not %3 by seat %4")
            .arg(copy.table.join(' ')).arg(copy.thrower).arg(table.join(' ')).arg(thrower);
    if (passed != copy.passed)
        return QStringLiteral("the passes differ");
    if (toMove != copy.toMove)
        return QStringLiteral("seat %1 is to move, not %2").arg(copy.toMove).arg(toMove);
    if (hands[size_t(seat)] != copy.hands[size_t(seat)])
        return QStringLiteral("the own hand differs");
    return QStringLiteral("nothing");
}

ChaosWatch::ChaosWatch(TableHost &host, int holdMs, int stillMs)
    : m_host(host), m_holdMs(holdMs), m_stillMs(stillMs), m_tick(new QTimer(this))
{
    m_clock.start();
    m_tick->setInterval(50);
    connect(m_tick, &QTimer::timeout, this, &ChaosWatch::checkCopies);
    m_tick->start();
    // The host is looked at before every event: no state of its table goes unseen.
    QCoreApplication::instance()->installEventFilter(this);
}

ChaosWatch::~ChaosWatch()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

void ChaosWatch::addCopy(TBotPlayer *bot, FaultProxy *proxy)
{
    Copy c;
    c.bot = bot;
    c.proxy = proxy;
    m_copies.push_back(c);
    const size_t i = m_copies.size() - 1;
    ClientTable *t = bot->table();
    connect(t, &ClientTable::moved, this, [this, i] { check(m_copies[i]); });
    connect(t, &ClientTable::turnChanged, this, [this, i] { check(m_copies[i]); });
    // A copy that took an end for its own and is given the deal again saw no end of it.
    connect(t, &ClientTable::dealStarted, this, [this, i] { m_copies[i].endSeen.remove(m_host.dealsStarted()); });
    // The last end a copy shows counts; one learnt as the next leader only fills a gap.
    connect(t, &ClientTable::dealEnded, this, [this, i](int winner) { sawEnd(m_copies[i], winner, true); });
    connect(t, &ClientTable::leaderChanged, this, [this, i, t](int seat) {
        if (!t->inDeal())
            sawEnd(m_copies[i], seat, false);
    });
    // Every deal the copy checks must check out, faults or not; a seed the faults delayed is no fault.
    connect(t, &ClientTable::dealChecked, this, [this, t](const QString &line) {
        ++m_dealChecks;
        if (!line.contains(QLatin1String("checked: dealt as committed")))
            fail(t->myNick() + QStringLiteral(": ") + line);
    });
    connect(t, &ClientTable::connectionLost, this, [this, i] {
        // Ends told while the link was going down may never arrive; a rejoin rebuilds the copy's view.
        for (auto it = m_winners.cbegin(); it != m_winners.cend(); ++it)
            m_copies[i].endSeen.insert(it.key(), it.value());
    });
}

bool ChaosWatch::eventFilter(QObject *, QEvent *)
{
    sampleHost();
    return false;
}

void ChaosWatch::fail(const QString &what)
{
    if (m_problem.isEmpty())
        m_problem = QStringLiteral("after %1 ms: %2").arg(now()).arg(what);
}

void ChaosWatch::sampleHost()
{
    if (m_sampling)
        return;
    m_sampling = true;
    const TTable &t = m_host.table();
    const TuserInfo &roster = m_host.roster();
    for (int s = 1; s <= 4; ++s) {
        const bool away = !roster.user(s).nick.isEmpty() && roster.user(s).away;
        qint64 &since = m_awaySince[size_t(s)];
        if (away && since < 0) {
            since = now();
            ++m_aways;
        } else if (!away && since >= 0) {
            m_longestAway = qMax(m_longestAway, now() - since);
            since = -1;
        }
        if (away && now() - since > m_holdMs)
            fail(QStringLiteral("%1 is away longer than the hold").arg(roster.user(s).nick));
    }
    if (m_host.seatedCount() == 4)
        m_wasFull = true;
    else if (m_wasFull)
        fail(QStringLiteral("a player left the table, %1 seated").arg(m_host.seatedCount()));

    const int phase = int(m_host.phase());
    const int deal = m_host.dealsStarted();
    const QString key = QStringLiteral("%1/%2/%3/%4").arg(phase).arg(deal).arg(t.moves().size()).arg(t.toMove());
    if (key != m_key) {
        m_key = key;
        m_changedAt = now();
        if (m_host.phase() == TableHost::Phase::Playing) {
            View v;
            QSet<QString> cards;
            int held = 0;
            for (int s = 1; s <= 4; ++s) {
                v.counts[size_t(s)] = t.cardCount(s);
                v.passed[size_t(s)] = t.passed(s);
                v.hands[size_t(s)] = t.hand(s);
                held += int(v.hands[size_t(s)].size());
                for (const QString &c : std::as_const(v.hands[size_t(s)]))
                    cards.insert(c);
            }
            for (const TMoveRecord &m : t.moves()) {
                held += int(m.move.cards.size());
                for (const QString &c : m.move.cards)
                    cards.insert(c);
            }
            if (held != 52 || cards.size() != 52)
                fail(QStringLiteral("deal %1 has %2 cards in hands and played, %3 different").arg(deal).arg(held).arg(cards.size()));
            v.table = t.tableCards();
            v.thrower = t.thrower();
            v.toMove = t.toMove();
            v.at = now();
            m_history[deal].append(v);
            m_history.remove(deal - 3);
        }
        if (m_lastPhase == int(TableHost::Phase::Playing) && m_host.phase() == TableHost::Phase::DealOver) {
            const int winner = t.lastWinner();
            m_winners.insert(deal, winner);
            m_endedAt.insert(deal, now());
            int total = 0;
            for (int s = 1; s <= 4; ++s)
                total += roster.user(s).credit;
            if (total != 4000)
                fail(QStringLiteral("the credits add up to %1 after deal %2").arg(total).arg(deal));
            // A copy away at the end comes back to the next deal or between deals: the credits tell it.
            for (Copy &c : m_copies)
                if (!usable(c) && !c.endSeen.contains(deal))
                    c.endSeen.insert(deal, winner);
        }
        if (m_lastPhase == int(TableHost::Phase::Playing) && m_host.phase() == TableHost::Phase::Waiting)
            fail(QStringLiteral("deal %1 was called off").arg(deal));
        m_lastPhase = phase;
    }
    // A table with all its players never stands still: a turn's time runs out, the next deal comes.
    if (m_wasFull && now() - m_changedAt > m_stillMs)
        fail(QStringLiteral("the host's table stood still for %1 ms at %2").arg(now() - m_changedAt).arg(m_key));
    m_sampling = false;
}

bool ChaosWatch::usable(const Copy &c) const
{
    const ClientTable *t = c.bot->table();
    return t->mySeat() != 0 && t->connection() && t->connection()->isOpen() && !t->reconnecting();
}

bool ChaosWatch::quiet(const Copy &c, qint64 forMs) const
{
    return c.proxy->idle() && c.proxy->nowMs() - c.proxy->lastBusyMs() >= forMs;
}

ChaosWatch::View ChaosWatch::copyView(const Copy &c) const
{
    const ClientTable *ct = c.bot->table();
    const TTable &t = ct->table();
    View v;
    for (int s = 1; s <= 4; ++s) {
        v.counts[size_t(s)] = t.cardCount(s);
        v.passed[size_t(s)] = t.passed(s);
    }
    v.hands[size_t(ct->mySeat())] = ct->hand();
    v.table = t.tableCards();
    v.thrower = t.thrower();
    v.toMove = t.toMove();
    return v;
}

void ChaosWatch::checkCopies()
{
    sampleHost();
    for (Copy &c : m_copies)
        check(c);
    const int deal = m_host.dealsStarted();
    const int last = int(m_history.value(deal).size()) - 1;
    if (m_host.phase() != TableHost::Phase::Playing || last < 0 || deal * 1000 + last == m_agreedAt)
        return;
    for (const Copy &c : m_copies)
        if (!usable(c) || c.deal != deal || c.index != last)
            return;
    // Every connected copy has applied the host's latest move and holds the host's table.
    m_agreedAt = deal * 1000 + last;
    ++m_movesAgreed;
}

void ChaosWatch::check(Copy &c)
{
    sampleHost();
    if (!usable(c)) {
        c.unmatchedSince = -1;
        return;
    }
    const ClientTable *ct = c.bot->table();
    const int seat = ct->mySeat();
    const int hostDeal = m_host.dealsStarted();
    const bool hostPlays = m_host.phase() == TableHost::Phase::Playing;
    bool found = false;
    if (ct->inDeal()) {
        const View v = copyView(c);
        for (int d = hostDeal; d >= qMax(1, c.deal) && !found; --d) {
            const QList<View> &h = m_history[d];
            for (int k = int(h.size()) - 1; k >= (d == c.deal ? qMax(0, c.index) : 0); --k)
                if (h.at(k).sameAs(v, seat)) {
                    if (d != c.deal || k != c.index) {
                        // On to the next deal: the end of the last one is what the host said.
                        if (d != c.deal && c.deal != 0) {
                            const QString wrong = wrongEnd(c, c.deal);
                            if (!wrong.isEmpty())
                                fail(wrong);
                        }
                        c.deal = d;
                        c.index = k;
                        if (!c.dealsIn.contains(d))
                            c.dealsIn.append(d);
                    }
                    found = true;
                    break;
                }
        }
        if (!found && c.unmatchedSince >= 0 && now() - c.unmatchedSince > 2 * kQuietMs && quiet(c, kQuietMs)) {
            const QList<View> &h = m_history[hostDeal];
            fail(QStringLiteral("%1's table was never the host's (deal %2): %3")
                     .arg(c.bot->nick()).arg(hostDeal).arg(h.isEmpty() ? QStringLiteral("no deal") : h.last().difference(v, seat)));
        }
    }
    if (found) {
        c.unmatchedSince = -1;
        // The host's next state after the copy's: how long the copy has had it coming.
        const QList<View> &h = m_history[c.deal];
        const qint64 aheadSince = c.index + 1 < h.size() ? h.at(c.index + 1).at
                                  : c.deal < hostDeal   ? m_endedAt.value(c.deal, now())
                                                        : now();
        if (now() - aheadSince > 2 * kQuietMs && quiet(c, kQuietMs))
            fail(QStringLiteral("%1 stays at state %2 of deal %3 while the host is at %4")
                     .arg(c.bot->nick()).arg(c.index).arg(c.deal).arg(m_key));
        return;
    }
    // Between deals on both sides nothing is to be compared.
    if (!ct->inDeal() && !hostPlays) {
        c.unmatchedSince = -1;
        return;
    }
    if (c.unmatchedSince < 0)
        c.unmatchedSince = now();
    else if (!ct->inDeal() && now() - c.unmatchedSince > 2 * kQuietMs && quiet(c, kQuietMs))
        fail(QStringLiteral("%1 is left out of deal %2").arg(c.bot->nick()).arg(hostDeal));
}

void ChaosWatch::sawEnd(Copy &c, int winner, bool shown)
{
    if (c.deal != 0 && (shown || !c.endSeen.contains(c.deal)))
        c.endSeen.insert(c.deal, winner);
}

QString ChaosWatch::wrongEnd(const Copy &c, int deal) const
{
    if (!m_winners.contains(deal))
        return {};
    if (!c.endSeen.contains(deal))
        return QStringLiteral("%1 never saw the end of deal %2").arg(c.bot->nick()).arg(deal);
    if (c.endSeen.value(deal) != m_winners.value(deal))
        return QStringLiteral("%1 saw seat %2 win deal %3, the host seat %4")
            .arg(c.bot->nick()).arg(c.endSeen.value(deal)).arg(deal).arg(m_winners.value(deal));
    return {};
}

QString ChaosWatch::unsettled() const
{
    const bool hostPlays = m_host.phase() == TableHost::Phase::Playing;
    const int deal = m_host.dealsStarted();
    for (const Copy &c : m_copies) {
        const ClientTable *ct = c.bot->table();
        const QString who = c.bot->nick() + QStringLiteral(": ");
        if (!c.proxy->idle())
            return who + QStringLiteral("its link is still at fault");
        if (!usable(c))
            return who + QStringLiteral("not back at the table");
        if (hostPlays && (c.deal != deal || c.index != int(m_history.value(deal).size()) - 1))
            return who + QStringLiteral("behind the host");
        for (int s = 1; s <= 4; ++s)
            if (ct->credit(s) != m_host.roster().user(s).credit)
                return who + QStringLiteral("seat %1's credit is %2, not %3").arg(s).arg(ct->credit(s)).arg(m_host.roster().user(s).credit);
        for (int d : c.dealsIn)
            if (const QString wrong = wrongEnd(c, d); !wrong.isEmpty())
                return wrong;
    }
    return {};
}

bool ChaosWatch::settled() const
{
    return unsettled().isEmpty();
}

} // namespace Stress

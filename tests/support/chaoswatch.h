#pragma once
// Watches a table host and the copies of its players while the network misbehaves, and keeps the
// first thing that goes wrong: a copy whose table is none the host ever had (cards per seat, the
// table, the thrower, the passes, the player to move, its own hand), a copy left behind on a quiet
// link, a card held twice or lost, credits that do not add up, a deal called off or whose end a copy
// did not see, a player away longer than the hold, a table that stands still.
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>
#include <array>
#include <vector>

class TableHost;
class TBotPlayer;
class QTimer;

namespace Stress {

class FaultProxy;

class ChaosWatch : public QObject
{
public:
    ChaosWatch(TableHost &host, int holdMs, int stillMs);
    ~ChaosWatch() override;
    void addCopy(TBotPlayer *bot, FaultProxy *proxy);

    QString problem() const { return m_problem; }
    int dealChecks() const { return m_dealChecks; }
    int dealsWon() const { return int(m_winners.size()); }
    int movesAgreed() const { return m_movesAgreed; }
    qint64 longestAwayMs() const { return m_longestAway; }
    int aways() const { return m_aways; }
    // Every copy is back, caught up with the host and shows the host's credits.
    bool settled() const;
    // What still differs once settled() should hold.
    QString unsettled() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct View
    {
        std::array<int, 5> counts{};
        QStringList table;
        int thrower = 0;
        std::array<bool, 5> passed{};
        int toMove = 0;
        qint64 at = 0; // when the host came to it
        std::array<QStringList, 5> hands; // the host's; a copy fills only its own
        bool sameAs(const View &copy, int seat) const;
        QString difference(const View &copy, int seat) const;
    };
    struct Copy
    {
        TBotPlayer *bot = nullptr;
        FaultProxy *proxy = nullptr;
        int deal = 0;           // the host's deal it last matched
        int index = -1;         // and the host's state in it
        qint64 unmatchedSince = -1;
        QHash<int, int> endSeen; // deal -> winner seat as the copy saw it
        QList<int> dealsIn;      // deals it matched in
    };

    void sampleHost();
    void checkCopies();
    void check(Copy &c);
    View copyView(const Copy &c) const;
    bool quiet(const Copy &c, qint64 forMs) const;
    bool usable(const Copy &c) const;
    // shown: the copy told it as a deal's end; otherwise it learnt the next leader.
    void sawEnd(Copy &c, int winner, bool shown);
    QString wrongEnd(const Copy &c, int deal) const;
    void fail(const QString &what);
    qint64 now() const { return m_clock.elapsed(); }

    TableHost &m_host;
    int m_holdMs;
    int m_stillMs;
    QElapsedTimer m_clock;
    QTimer *m_tick;
    std::vector<Copy> m_copies;
    QHash<int, QList<View>> m_history; // deal -> the host's states, in order
    QHash<int, int> m_winners;         // deal -> winner seat
    QHash<int, qint64> m_endedAt;      // deal -> when the host ended it
    QString m_key;                     // the host's last sampled moment
    qint64 m_changedAt = 0;
    int m_lastPhase = 0;
    int m_agreedAt = -1; // the last state every copy was seen to hold
    int m_movesAgreed = 0;
    bool m_wasFull = false;
    std::array<qint64, 5> m_awaySince{-1, -1, -1, -1, -1};
    qint64 m_longestAway = 0;
    int m_aways = 0;
    QString m_problem;
    int m_dealChecks = 0;
    bool m_sampling = false;
};

} // namespace Stress

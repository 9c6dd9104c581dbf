#pragma once
// Plays deals at a live table through the buttons and card clicks with a simple legal strategy,
// keeps its own account of the deal (who holds which cards, what lies on the table, who moves,
// who passed) and checks after every move that every copy at the table shows exactly that:
// the same combination on the table, the same cards per seat, the same player to move, the same
// pass markers, and no card in two places; after every deal the same credits everywhere.
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>

class TmainFrm;

namespace Stress {

// Every throw the window's rules accept from this hand (in slot order; each throw keeps that order)
// onto this table: singles, pairs, triples and five-card hands.
QList<QStringList> legalThrows(TmainFrm *w, const QStringList &hand, const QStringList &table);
// The strategy: on a clear table the largest legal combination holding the lowest card, the cheapest
// of those; on a combination the cheapest throw that beats it; otherwise an empty list (pass).
QStringList chooseThrow(TmainFrm *w);
// The host's next deal gives these hands to these nicks (thirteen codes each, dealt in that order);
// the other seated players get the rest, shuffled so that none of them wins as dealt.
void stackHands(TmainFrm *host, const QHash<QString, QStringList> &hands, unsigned seed = 1);

class TableCheck
{
public:
    // The copies at the table, the host first or not; the seats and nicks come from the host's roster.
    // A new set of copies also forgets the last winner: after a change at the table the lowest card leads.
    void setCopies(const QList<TmainFrm *> &copies);
    QList<TmainFrm *> copies() const { return m_copies; }
    TmainFrm *host() const;
    TmainFrm *copyOf(const QString &nick) const;
    int seatOf(const QString &nick) const; // absolute seat at the host, -1 when not seated

    // Presses "New Game" where it is enabled (the host before the first deal, the last winner after one)
    // and waits until every copy holds its cards and agrees on the leader. False with problem() set.
    bool startDeal(int ms = 30000);
    // Plays one move of the player to move and waits until every copy shows it.
    bool playMove(int ms = 15000);
    // The same with a move the test chooses: these cards (raised by clicks), or a pass when empty.
    bool playThrow(const QStringList &cards, int ms = 15000);
    // The mover's countdown runs out and the program passes for the player: waits until every copy shows it.
    bool automaticPass(int ms = 10000);
    // A deal started without a click here (a quick winner's call, say): waits until every copy holds the
    // cards of a running deal with this player to lead, and takes it into the account.
    bool followDeal(const QString &leader, int ms = 30000);
    // Plays n moves, starting a new deal whenever one ends.
    bool playMoves(int n);
    // Plays moves until the deal ends, then checks the end on every copy and the credits.
    bool finishDeal(int maxMoves = 400);
    bool dealOver() const { return m_over; }
    bool inDeal() const { return m_inDeal; }

    // Why the copies do not show the account; empty when they all do.
    QString disagreement() const;
    // Why a copy is not in wait mode (no deal, the waiting panel, nobody to move, nothing to click
    // but "New Game" on the host); empty when every copy is.
    QString waitModeProblem() const;
    bool waitWaitMode(int ms = 5000);
    // Ends the deal with the host's "Stop Game" (answered Yes by the fixture) and waits for wait mode.
    bool stopDeal();
    // Waits for agreement, keeping the last reason as problem().
    bool waitAgreement(int ms);

    // Play that does not wait, for several tables at once: a step starts the next deal or move when the
    // last one shows on every copy, and otherwise only looks whether it does yet. False with problem()
    // when something went wrong, or a deal or move did not show in time.
    bool step();
    bool ready() const; // the next step would start something
    bool idle() const { return m_waiting == Waiting::Nothing; }

    QString problem() const { return m_problem; }
    QString winner() const { return m_winner; }
    QString mover() const;              // nick of the player to move in the account
    int movesThisDeal() const { return m_moves; }
    int dealsPlayed() const { return m_deals; }
    QStringList moveLog() const { return m_log; }
    // Longest time from a click to every copy showing its move, in milliseconds.
    qint64 slowestMoveMs() const { return m_slowestMove; }
    qint64 lastMoveMs() const { return m_lastMove; }

    // Credits as the host's roster holds them, and their sum over the seated players.
    QHash<QString, int> hostCredits() const;
    int creditSum() const;

private:
    enum class Waiting { Nothing, Deal, DealShown, Move };
    bool perform(const QStringList &pick, int ms);
    bool beginDeal();
    bool dealtEverywhere() const;
    void takeDeal();
    bool beginMove(const QStringList &pick);
    void shown(bool move); // the deal or move just started shows on every copy
    struct SeatAccount
    {
        QString nick;
        QStringList hand; // cards still held, any order
        bool passShown = false;
    };
    QString describeMove(const QString &nick, const QStringList &cards, bool automatic) const;
    int nextSeat(int seat) const;
    void enterTurn(int seat);
    void recordThrow(int seat, const QStringList &cards);
    void recordPass(int seat);
    QString viewProblem(TmainFrm *v) const;
    QString endProblem() const;
    bool fail(const QString &why);

    QList<TmainFrm *> m_copies;
    std::array<SeatAccount, 5> m_seats; // 1..4, empty nick for a free seat
    QStringList m_table;                // as the copies show it
    QStringList m_thrown;               // every card thrown this deal
    int m_lastThrower = 0;              // absolute seat, 0 after the table was cleared
    int m_mover = 0;                    // absolute seat
    int m_nextLeader = 0;               // absolute seat of the last winner, 0 when the lowest card leads
    bool m_inDeal = false;
    bool m_over = false;
    QString m_winner;
    QHash<QString, int> m_creditsBefore;
    QHash<QString, int> m_creditsAfter;
    int m_total = 0; // sum of the credits when the copies were set
    int m_moves = 0;
    int m_deals = 0;
    QStringList m_log;
    QString m_problem;
    qint64 m_slowestMove = 0;
    qint64 m_lastMove = 0;
    QElapsedTimer m_clock; // since the click that started the deal or move
    QHash<TmainFrm *, int> m_serials; // deal serials of the copies before the deal
    Waiting m_waiting = Waiting::Nothing;
};

// Plays deals at several tables at once until each has played this many: each table takes its next step
// as soon as its last one shows on every copy. False at the first problem, named in *problem.
bool playTogether(const QList<TableCheck *> &tables, int deals, QString *problem);

} // namespace Stress

#pragma once
// Computer players at the tables of a server. A while after a person sits at a table with free seats,
// computer players take them (in-process connections, port 0 on the wire), and the table deals once it
// is full. A person who comes later takes a computer player's seat between deals: one of them leaves
// so that the person can sit. A table with no person left loses its computer players, and closes.
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>

class ServerTables;
class TableHost;
class TableBots;

class ServerBots : public QObject
{
    Q_OBJECT
public:
    // Watches every table the tables open from now on.
    explicit ServerBots(ServerTables *tables, QObject *parent = nullptr);
    ~ServerBots() override;

    // How long a table with a person and free seats waits for more people (default 30 s).
    void setWaitMs(int ms) { m_waitMs = qMax(0, ms); }
    int waitMs() const { return m_waitMs; }
    void setLevel(int level) { m_level = level; }
    int level() const { return m_level; }
    // The pause before each move of a computer player (default 1 s).
    void setMoveDelayMs(int ms) { m_moveDelayMs = qMax(0, ms); }
    int moveDelayMs() const { return m_moveDelayMs; }
    void setNextDealDelayMs(int ms) { m_nextDealDelayMs = qMax(0, ms); }

    // Whether a computer player sits in that seat.
    bool isComputer(const TableHost *host, int seat) const;
    // The nicks of the computer players seated at that table.
    QStringList computerNicks(const TableHost *host) const;
    // A computer player could leave its seat to a person now: no deal is running and one is seated
    // that is not leaving already.
    bool mayMakeRoom(const TableHost *host) const;
    // One computer player leaves; seated() runs once the table has seen it go. False when none can.
    bool makeRoom(TableHost *host, std::function<void()> seated);

private:
    void watch(TableHost *host);
    TableBots *botsOf(const TableHost *host) const;

    QPointer<ServerTables> m_serverTables;
    QHash<const TableHost *, TableBots *> m_tables;
    int m_waitMs = 30000;
    int m_level = 4;
    int m_moveDelayMs = 1000;
    int m_nextDealDelayMs = 4000;
    friend class TableBots;
};

#pragma once
// The table's four seats: who sits where, how to reach them, their credits, and the turn cursor.
#include <QString>
#include <array>

struct TuserRec
{
    QString nick;
    QString IP;
    qint32 port = -1; // wire identity; 0 for the host's own seat; -1 marks a free seat
    qint32 credit = 0;
    bool alive = false;
    bool away = false; // its connection dropped during a deal; the host holds the seat for a while
};

class TuserInfo
{
public:
    TuserInfo();

    bool setSeat(const TuserRec &rec, int seat);
    bool removeByNick(const QString &nick);
    int seatOfNick(const QString &nick) const;
    // The seat of a connection; a seat whose connection is away has none.
    int seatOfPort(int port) const;
    int firstFreeSeat() const;
    int seatCount() const;
    bool isFull() const;
    void clearAll();
    void clearSeat(int seat);
    int nextSeat();
    int relativeSeatByPort(int viewerPort, int viewedPort) const;
    int relativeSeat(const QString &viewerNick, const QString &viewedNick) const;

    static bool validSeat(int seat) { return seat >= 1 && seat <= 4; }
    // Seat record 1..4; a number outside 1..4 yields a detached free record, never an index.
    TuserRec &user(int seat);
    const TuserRec &user(int seat) const;

    qint32 turnCursor = 0;

private:
    std::array<TuserRec, 4> users;
    TuserRec m_outside;
};

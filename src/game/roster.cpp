#include "game/roster.h"

TuserInfo::TuserInfo()
{
    clearAll();
}

bool TuserInfo::setSeat(const TuserRec &rec, int seat)
{
    if (!validSeat(seat) || user(seat).port != -1)
        return false;
    user(seat) = rec;
    return true;
}

bool TuserInfo::removeByNick(const QString &nick)
{
    const int seat = seatOfNick(nick);
    if (seat < 1)
        return false;
    clearSeat(seat);
    return true;
}

int TuserInfo::seatOfNick(const QString &nick) const
{
    // a free seat's empty nick is nobody's
    if (nick.isEmpty())
        return -1;
    for (int s = 1; s <= 4; ++s) {
        if (user(s).nick == nick)
            return s;
    }
    return -1;
}

int TuserInfo::seatOfPort(int port) const
{
    // -1 marks a free seat, it is nobody's identity
    if (port < 0)
        return -1;
    for (int s = 1; s <= 4; ++s) {
        if (user(s).port == port && !user(s).away)
            return s;
    }
    return -1;
}

int TuserInfo::firstFreeSeat() const
{
    for (int s = 1; s <= 4; ++s) {
        if (user(s).port == -1)
            return s;
    }
    return -1;
}

int TuserInfo::seatCount() const
{
    int n = 0;
    for (const TuserRec &u : users)
        n += u.port >= 0 ? 1 : 0;
    return n;
}

bool TuserInfo::isFull() const
{
    return firstFreeSeat() == -1;
}

void TuserInfo::clearAll()
{
    for (int s = 1; s <= 4; ++s)
        clearSeat(s);
}

void TuserInfo::clearSeat(int seat)
{
    if (validSeat(seat))
        users[size_t(seat - 1)] = TuserRec{};
}

int TuserInfo::nextSeat()
{
    if (turnCursor < 0 || turnCursor > 4)
        turnCursor = 0;
    // four steps: a lone occupied seat keeps the turn instead of handing it to a free seat
    for (int step = 0; step < 4; ++step) {
        turnCursor = turnCursor >= 4 ? 1 : turnCursor + 1;
        const TuserRec &u = user(turnCursor);
        if (!u.nick.isEmpty() && u.port >= 0)
            break;
    }
    return turnCursor;
}

int TuserInfo::relativeSeatByPort(int viewerPort, int viewedPort) const
{
    const int a = seatOfPort(viewerPort);
    const int b = seatOfPort(viewedPort);
    if (a < 1 || b < 1)
        return 0;
    return 1 + (((b - a) % 4) + 4) % 4;
}

int TuserInfo::relativeSeat(const QString &viewerNick, const QString &viewedNick) const
{
    const int a = seatOfNick(viewerNick);
    const int b = seatOfNick(viewedNick);
    if (a < 1 || b < 1)
        return 0;
    return 1 + (((b - a) % 4) + 4) % 4;
}

TuserRec &TuserInfo::user(int seat)
{
    if (validSeat(seat))
        return users[size_t(seat - 1)];
    m_outside = TuserRec{};
    return m_outside;
}

const TuserRec &TuserInfo::user(int seat) const
{
    static const TuserRec freeSeat;
    return validSeat(seat) ? users[size_t(seat - 1)] : freeSeat;
}

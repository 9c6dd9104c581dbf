#include "game/heldseats.h"
#include "game/roster.h"
#include <QRandomGenerator>
#include <QTimer>

THeldSeats::THeldSeats()
{
    for (int seat = 1; seat <= 4; ++seat) {
        QTimer *timer = new QTimer(this);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, [this, seat] {
            if (expired)
                expired(seat);
        });
        m_seats[size_t(seat)].timer = timer;
    }
}

THeldSeats::~THeldSeats() = default;

QString THeldSeats::issueKey(int seat, const QString &shown)
{
    if (!TuserInfo::validSeat(seat))
        return {};
    QRandomGenerator *source = QRandomGenerator::system();
    const quint64 high = source->generate64();
    const quint64 low = source->generate64();
    const QString key = QStringLiteral("%1%2").arg(high, 16, 16, QLatin1Char('0')).arg(low, 16, 16, QLatin1Char('0'));
    m_seats[size_t(seat)].key = key;
    m_seats[size_t(seat)].shownKey = shown;
    return key;
}

bool THeldSeats::keyMatches(int seat, const QString &key) const
{
    if (!TuserInfo::validSeat(seat))
        return false;
    const Seat &s = m_seats[size_t(seat)];
    return sameKey(s.key, key) || sameKey(s.shownKey, key);
}

bool THeldSeats::sameKey(const QString &mine, const QString &key)
{
    if (mine.isEmpty() || key.size() != mine.size())
        return false;
    // Every character compared whatever the first difference: the time taken tells nothing.
    ushort difference = 0;
    for (qsizetype i = 0; i < mine.size(); ++i)
        difference |= ushort(mine.at(i).unicode() ^ key.at(i).unicode());
    return difference == 0;
}

void THeldSeats::hold(int seat)
{
    if (TuserInfo::validSeat(seat))
        m_seats[size_t(seat)].timer->start(m_holdMs);
}

bool THeldSeats::isHeld(int seat) const
{
    return TuserInfo::validSeat(seat) && m_seats[size_t(seat)].timer->isActive();
}

bool THeldSeats::anyHeld() const
{
    for (int seat = 1; seat <= 4; ++seat)
        if (isHeld(seat))
            return true;
    return false;
}

void THeldSeats::release(int seat)
{
    if (TuserInfo::validSeat(seat))
        m_seats[size_t(seat)].timer->stop();
}

void THeldSeats::forget(int seat)
{
    if (!TuserInfo::validSeat(seat))
        return;
    m_seats[size_t(seat)].timer->stop();
    m_seats[size_t(seat)].key.clear();
    m_seats[size_t(seat)].shownKey.clear();
}

void THeldSeats::clear()
{
    for (int seat = 1; seat <= 4; ++seat)
        forget(seat);
}

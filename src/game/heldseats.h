#pragma once
// The host's seat keys and held seats. Every seated guest gets a key of its own, the only proof of
// identity a rejoin accepts; a seat whose connection drops during a deal is held for a while, and
// expired() tells when that time is over without the player coming back.
#include <QObject>
#include <QString>
#include <array>
#include <functional>

class QTimer;

class THeldSeats : public QObject
{
public:
    THeldSeats();
    ~THeldSeats() override;

    // A new key for the seat (128 bits from the system's entropy source, as hex); the last one is void,
    // except shown: the key its player came back with stays good too until the player shows another,
    // since the new one may be lost with the connection that carried it.
    QString issueKey(int seat, const QString &shown = {});
    bool keyMatches(int seat, const QString &key) const;
    // The seat's connection dropped: held from now until release(), forget() or expiry.
    void hold(int seat);
    bool isHeld(int seat) const;
    bool anyHeld() const;
    // The player is back: the hold ends, the key stays until a new one is issued.
    void release(int seat);
    // The player left for good: no hold, no key.
    void forget(int seat);
    void clear();

    void setHoldMs(int ms) { m_holdMs = ms; }
    int holdMs() const { return m_holdMs; }
    std::function<void(int seat)> expired;

private:
    static bool sameKey(const QString &mine, const QString &key);
    struct Seat
    {
        QString key;
        QString shownKey; // the last key its player proved to have
        QTimer *timer = nullptr;
    };
    std::array<Seat, 5> m_seats; // 1..4
    int m_holdMs = 60000;
};

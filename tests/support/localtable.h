#pragma once
// A table host with players that follow it through their own client models over in-process pairs:
// the whole game without a socket or a window. Players may play by themselves (the weakest single
// that beats the table, the lowest card on a clear table, else a pass), and every copy can be
// compared with the host's table.
#include "client/clienttable.h"
#include "host/tablehost.h"
#include <array>
#include <memory>
#include <vector>

namespace Stress {

class LocalTable : public QObject
{
public:
    // The first nick is the owner's when owned (seat 1); the others join in order.
    explicit LocalTable(const QStringList &nicks, bool owned = false);
    ~LocalTable() override;
    // Another player joins (its copy is started); the owner sits in seat 1.
    ClientTable *join(const QString &nick, bool owner = false);

    TableHost host;
    std::vector<std::unique_ptr<ClientTable>> players;
    ClientTable *player(const QString &nick) const;
    ClientTable *playerAt(int seat) const; // by the host's roster

    void setAutoPlay(bool on) { m_autoPlay = on; }
    // What a copy shows that differs from the host: cards per seat, the table, the thrower, the
    // passes, the player to move. Empty when every seated copy agrees.
    QString disagreement() const;
    bool allSeated() const;
    // Hands won as dealt so far: such a claim may cross the leader's first move, which is refused.
    int dealtWins() const { return m_dealtWins; }

private:
    void playFor(ClientTable *p);
    bool m_autoPlay = false;
    int m_dealtWins = 0;
};

// The host's next deck that deals seat s the 13 codes hands[s], round by round as the host draws them.
QStringList stackedDeck(const std::array<QStringList, 5> &hands);

// The weakest single of the hand that beats the table, the lowest card on a clear table; empty: pass.
QStringList weakestSingle(const ClientTable &p);

} // namespace Stress

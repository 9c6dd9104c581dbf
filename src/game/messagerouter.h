#pragma once
// Game messages: sending to the table and routing what arrives to its handler.
#include <QString>
#include <QStringList>

class TGameContext;
enum class Refusal;
struct TThrowClaim;

class TMessageRouter
{
public:
    explicit TMessageRouter(TGameContext &w) : w(w) {}

    // Host: to every client; client: to the host. Nothing while neither hosting nor connected.
    void sendToTable(const QString &tag, const QString &v1 = {}, const QString &v2 = {}, const QString &v3 = {},
                     const QString &v4 = {}, const QString &v5 = {}, const QString &v6 = {});
    void gHostDataArrived(const QString &fromIP, int fromPort, const QString &tag, const QString &v1,
                          const QString &v2, const QString &v3, const QString &v4, const QString &v5,
                          const QString &v6);
    void gClientDataArrived(const QString &fromIP, int fromPort, const QString &tag, const QString &v1,
                            const QString &v2, const QString &v3, const QString &v4, const QString &v5,
                            const QString &v6);
    // The common handler of game and chat tags; on the host, relays after handling.
    void dispatchGameMessage(const QString &fromIP, int fromPort, const QString &tag, const QString &v1,
                             const QString &v2, const QString &v3, const QString &v4, const QString &v5,
                             const QString &v6);

private:
    bool hostActive() const;
    // The nick seated on a client connection of the host; empty when the connection holds no seat.
    QString nickOfConnection(int fromPort) const;
    // A parsed throw or pass: applied, then passed on to the other clients unchanged (on the host).
    void applyThrow(const TThrowClaim &claim, int fromPort, const QStringList &values);
    // A false claim: not relayed, nothing moves; the host's player and the hub log are told.
    void refuse(const QString &nick, const QString &what, Refusal why);
    void relay(int fromPort, const QString &tag, const QString &v1, const QString &v2, const QString &v3,
               const QString &v4, const QString &v5, const QString &v6);
    TGameContext &w;
};

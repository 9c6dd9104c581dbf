#pragma once
// One end of a connection between a table's host and a player's copy: a TCP connection through the
// hub, or an in-process pair. Whoever holds it sends messages and hears of each arriving message
// once; the connection itself is the player's identity inside the program.
#include "hub/wire.h"
#include <QObject>
#include <QString>

class Connection : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // A player's end: connects (again); opened() or closed() follows. Ends that are born open ignore it.
    virtual void open() {}
    virtual void send(const HubMessage &message) = 0;
    void send(const QString &tag, const QString &v1 = {}, const QString &v2 = {}, const QString &v3 = {},
              const QString &v4 = {}, const QString &v5 = {}, const QString &v6 = {})
    {
        send(HubMessage{tag, {v1, v2, v3, v4, v5, v6}});
    }
    // Ends the connection; closed() follows unless it was closed already.
    virtual void close() = 0;
    // Ends it once what was sent has left (a refusal the other side should read).
    virtual void closeWhenSent() { close(); }
    virtual bool isOpen() const = 0;
    // The host's end: the connection holds a seat and is no longer closed for staying unseated.
    virtual void markSeated() {}
    // Both ends agreed to send at once: from now on no pacing on this connection (in-process ends
    // have none).
    virtual void setUnpaced() {}

    // The other side's address, as the host shows it ("127.0.0.1" in-process).
    virtual QString peerAddress() const = 0;
    // The port that names this connection's player on the wire: the guest's remote port as the host
    // sees it, which a guest reads as its own local port; 0 in-process, which no TCP connection has.
    virtual int wirePort() const = 0;

signals:
    void opened();
    void message(const HubMessage &message);
    // error is empty for an orderly close.
    void closed(const QString &error);
};

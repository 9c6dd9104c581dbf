#pragma once
// One connection of the host's hub, shared by the files that implement the hub.
#include "hub/chatlimit.h"
#include "hub/hubserver.h"
#include "hub/sendqueue.h"
#include "hub/wire.h"
#include <QDeadlineTimer>
#include <QPointer>
#include <QTcpSocket>

struct TwsHUBsvr::Conn
{
    QPointer<QTcpSocket> socket;
    const QTcpSocket *id = nullptr; // the socket as accepted: its key in the hub's look-up
    QString ip;
    int port = 0;
    FrameReader reader;
    TSendQueue queue;
    QDeadlineTimer sendAt;     // when the next waiting message may leave
    QDeadlineTimer quietUntil; // the pause after the last send attempts
    TChatLimit chat;
    bool seated = false;
    bool overflowed = false;   // past a cap: closed once the running handler is done
    bool closeWhenSent = false;
    bool unpaced = false;
};

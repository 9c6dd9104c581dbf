#pragma once
// A client's side of the table: the host's handshake and refusals, and getting back to the host
// after losing it in the middle of a deal.
#include "game/reconnector.h"
#include <QString>
#include <functional>

class TGameContext;

class TClientSide
{
public:
    explicit TClientSide(TGameContext &w);

    // Handles "[PING]", "[REQVER]", "[REQINFO]", "[WAITMODE]", "[ONGAME]", "[FULL]", "[DIFFVER]", "[CHNICK]",
    // "[SEATKEY]"; false for any other tag, which then goes to the common dispatcher.
    bool handleTag(const QString &tag, const QString &v1);
    // After each message: a rejoin is complete once the host has seated this player again.
    void afterMessage();

    // The connection to the host ended without this copy asking for it. True when a seated player
    // in a deal (or a failed attempt to get back) goes on trying: the table stays as it is and the
    // caller does nothing more; false when the connection is over for good.
    bool connectionLost();
    bool reconnecting() const { return m_reconnect.active() || m_rejoining; }
    // The player leaves: no more attempts, no key to come back with.
    void stopReconnecting();
    // Called when the attempts are over without success.
    std::function<void()> gaveUp;
    TReconnector &reconnector() { return m_reconnect; }

private:
    void refuse(const QString &text, bool error);
    TGameContext &w;
    TReconnector m_reconnect;
    bool m_rejoining = false; // "[REJOIN]" sent, the seat not yet back
};

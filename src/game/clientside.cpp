#include "game/clientside.h"

#include "game/dealend.h"
#include "game/gameflow.h"
#include "game/gamecontext.h"
#include "game/protocol.h"
#include "game/tableview.h"
#include "hub/hubclient.h"

TClientSide::TClientSide(TGameContext &w) : w(w)
{
    m_reconnect.attempt = [this] {
        m_rejoining = false;
        this->w.gClient->setActive(true);
    };
    m_reconnect.abandon = [this] {
        // Closing reports the loss, which schedules the next attempt.
        if (this->w.gClient->Active() || this->w.gClient->LocalPort() != 0)
            this->w.gClient->setActive(false);
        else
            m_reconnect.attemptFailed();
    };
    m_reconnect.gaveUp = [this] {
        m_rejoining = false;
        this->w.st.seatKey.clear();
        if (this->w.gClient->Active())
            this->w.gClient->setActive(false);
        if (gaveUp)
            gaveUp();
    };
}

bool TClientSide::handleTag(const QString &tag, const QString &v1)
{
    if (tag == Tag::PING) {
        w.gClient->Send(Tag::PONG, w.st.myNick, {}, {});
    } else if (tag == Tag::REQVER) {
        w.gClient->Send(Tag::CHKVER, kVersionText, {}, {});
    } else if (tag == Tag::REQINFO) {
        w.st.myPort = w.gClient->LocalPort();
        if (m_reconnect.active() && !w.st.seatKey.isEmpty()) {
            w.flow->forgetTable();
            m_rejoining = true;
            w.gClient->Send(Tag::REJOIN, w.st.myNick, w.st.seatKey, {});
        } else {
            w.gClient->Send(Tag::REQJOIN, w.st.myNick, {}, {});
            w.enterWaitMode();
        }
    } else if (tag == Tag::SEATKEY) {
        if (!w.st.hosting)
            w.st.seatKey = v1;
    } else if (tag == Tag::WAITMODE) {
        w.enterWaitMode();
    } else if (tag == Tag::ONGAME) {
        refuse(QStringLiteral(" Game is started, try later !"), false);
    } else if (tag == Tag::FULL) {
        refuse(QStringLiteral(" Game is Full, try later !"), false);
    } else if (tag == Tag::DIFFVER) {
        refuse(QStringLiteral(" Different version between server and client detected ! "), true);
    } else if (tag == Tag::CHNICK) {
        refuse(m_rejoining ? QStringLiteral(" The host no longer holds your seat !")
                           : QStringLiteral(" Nick Collision ! Please change your nick !"),
               true);
    } else {
        return false;
    }
    return true;
}

void TClientSide::afterMessage()
{
    if (!m_rejoining || !TuserInfo::validSeat(w.roster.seatOfNick(w.st.myNick)))
        return;
    m_rejoining = false;
    m_reconnect.stop();
}

bool TClientSide::connectionLost()
{
    if (m_reconnect.active()) {
        m_rejoining = false;
        m_reconnect.attemptFailed(); // or gives up, which gaveUp reports
        return true;
    }
    const bool inDeal = w.st.gameOn || w.table.inDeal() || w.flow->receivingDeal() || w.dealEnd->ending();
    if (w.st.hosting || w.st.seatKey.isEmpty() || !inDeal)
        return false;
    // Nothing can be sent while away: the own countdown stops with the connection.
    w.flow->endOwnTurn();
    w.view->setStatusText(QStringLiteral(" Reconnecting to ") + w.gClient->Host() + QStringLiteral(" : ")
                          + QString::number(w.gClient->Port()) + QStringLiteral(" ..."));
    m_reconnect.start();
    return true;
}

void TClientSide::stopReconnecting()
{
    m_reconnect.stop();
    m_rejoining = false;
    w.st.seatKey.clear();
}

void TClientSide::refuse(const QString &text, bool error)
{
    // No way back after a refusal; the connection is closed before the player reads why.
    stopReconnecting();
    w.gClient->setActive(false);
    w.view->showMessage(error ? TBoxKind::Error : TBoxKind::Information, text);
}

#include "game/clientside.h"

#include "game/protocol.h"
#include "hub/hubclient.h"
#include "game/gamecontext.h"
#include "game/tableview.h"

bool TClientSide::handleTag(const QString &tag, const QString &v1)
{
    Q_UNUSED(v1);

    if (tag == Tag::PING) {
        w.gClient->Send(Tag::PONG, w.st.myNick, {}, {});
    } else if (tag == Tag::REQVER) {
        w.gClient->Send(Tag::CHKVER, kVersionText, {}, {});
    } else if (tag == Tag::REQINFO) {
        w.gClient->Send(Tag::REQJOIN, w.st.myNick, {}, {});
        w.st.myPort = w.gClient->LocalPort();
        w.enterWaitMode();
    } else if (tag == Tag::WAITMODE) {
        w.enterWaitMode();
    } else if (tag == Tag::ONGAME) {
        refuse(QStringLiteral(" Game is started, try later !"), false);
    } else if (tag == Tag::FULL) {
        refuse(QStringLiteral(" Game is Full, try later !"), false);
    } else if (tag == Tag::DIFFVER) {
        refuse(QStringLiteral(" Different version between server and client detected ! "), true);
    } else if (tag == Tag::CHNICK) {
        refuse(QStringLiteral(" Nick Collision ! Please change your nick !"), true);
    } else {
        return false;
    }
    return true;
}

void TClientSide::refuse(const QString &text, bool error)
{
    // The connection is closed before the player reads why.
    w.gClient->setActive(false);
    w.view->showMessage(error ? TBoxKind::Error : TBoxKind::Information, text);
}

#include "ui/homehosting.h"
#include "client/clienttable.h"
#include "net/hubdialer.h"
#include "portmap/hostingstatus.h"
#include "portmap/invitation.h"
#include "ui/chatpanel.h"
#include "ui/mainfrm.h"
#include "ui/tablesession.h"
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QSettings>

namespace {
const QString kOpenPortKey = QStringLiteral("CONNECTION/OPENPORT");
bool routersAsked = true;
}

void THomeHosting::askRouters(bool ask) { routersAsked = ask; }

THomeHosting::THomeHosting(TmainFrm &w) : QObject(&w), w(w)
{
    mnuInvite = w.Connection1->addAction(QStringLiteral("Copy &Invitation"));
    mnuInvite->setObjectName(QStringLiteral("mnuInvite"));
    mnuInvite->setEnabled(false);
    // Enabled while hosting or at a table: exactly when Disconnect is.
    connect(w.mnuDisconn, &QAction::changed, this, [this] { mnuInvite->setEnabled(this->w.mnuDisconn->isEnabled()); });
    connect(mnuInvite, &QAction::triggered, this, &THomeHosting::copyInvitation);

    OpenPortOnRouter1 = w.Settings1->addAction(QStringLiteral("&Open Port On Router"));
    OpenPortOnRouter1->setObjectName(QStringLiteral("OpenPortOnRouter1"));
    OpenPortOnRouter1->setCheckable(true);
    OpenPortOnRouter1->setChecked(true);

    connect(w.session, &TableSession::portMapped, this, &THomeHosting::routerAnswered);
}

bool THomeHosting::openPort() const { return routersAsked && OpenPortOnRouter1->isChecked(); }

void THomeHosting::loadSetting()
{
    const QSettings s(w.settingsPath(), QSettings::IniFormat);
    OpenPortOnRouter1->setChecked(s.value(kOpenPortKey, 1).toInt() != 0);
}

void THomeHosting::saveSetting()
{
    // Kept only when turned off: a file without the key means the default, on.
    QSettings s(w.settingsPath(), QSettings::IniFormat);
    if (OpenPortOnRouter1->isChecked())
        s.remove(kOpenPortKey);
    else
        s.setValue(kOpenPortKey, 0);
}

void THomeHosting::routerAnswered(const PortMapResult &result)
{
    const QString line = hostingText(w.session->hostAddress(), w.session->listeningPort(), result);
    w.setStatusText(line);
    w.chat->onSystem(line.trimmed());
}

QString THomeHosting::invitation() const
{
    const TableSession *s = w.session;
    Invitation inv;
    if (s->hosting()) {
        const PortMapper *m = s->portMapper();
        const bool opened = m && m->result().outcome == PortMapResult::Outcome::Opened;
        inv.host = opened ? m->result().externalAddress : s->hostAddress();
        inv.port = opened ? m->result().externalPort : s->listeningPort();
    } else if (s->active() && s->dialer()) {
        inv.host = s->dialer()->host().trimmed();
        inv.port = s->dialer()->port();
        // Seated at a table of a server of many tables: the invitation leads there.
        if (s->client())
            inv.table = s->client()->tableName();
    }
    return inv.host.isEmpty() || inv.port <= 0 ? QString() : invitationLink(inv);
}

void THomeHosting::copyInvitation()
{
    const QString link = invitation();
    if (link.isEmpty())
        return;
    QGuiApplication::clipboard()->setText(link);
    w.chat->onSystem(QStringLiteral("Invitation copied: ") + link);
}

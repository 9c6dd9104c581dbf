#include "ui/turnnotifier.h"
#include "client/clienttable.h"
#include "net/connection.h"
#include "net/hubdialer.h"
#include "ui/mainfrm.h"
#include "ui/tablesession.h"
#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QMenu>
#include <QVariantMap>

TTurnNotifier::TTurnNotifier(TmainFrm &w) : QObject(&w), w(w)
{
    m_action = new QAction(QStringLiteral("&Notify On Turn"), w.Settings1);
    m_action->setObjectName(QStringLiteral("NotifyOnTurn1"));
    m_action->setCheckable(true);
    m_action->setChecked(true);
    w.Settings1->insertAction(w.ChatDialog1, m_action);

    m_desktop = systemDesktop(w);
    connect(w.session, &TableSession::clientCreated, this, &TTurnNotifier::bind);
}

TTurnNotifier::Desktop TTurnNotifier::systemDesktop(TmainFrm &w)
{
    return {[&w] { return w.isActiveWindow(); }, [&w] { QApplication::alert(&w); },
            [](const QString &summary, const QString &body) { sendDesktopNotification(summary, body); }};
}

bool TTurnNotifier::enabled() const { return m_action->isChecked(); }

void TTurnNotifier::setEnabled(bool on) { m_action->setChecked(on); }

QString TTurnNotifier::tableText() const
{
    const TableSession *s = w.session;
    if (!s || !s->active())
        return {};
    if (s->hosting())
        return s->hostAddress() + QLatin1Char(':') + QString::number(s->listeningPort());
    if (const HubDialer *d = s->dialer())
        return d->host() + QLatin1Char(':') + QString::number(d->port());
    return {};
}

void TTurnNotifier::bind(ClientTable *c)
{
    m_wasMine = false;
    connect(c, &ClientTable::turnChanged, this, &TTurnNotifier::turnChanged);
    // A new deal, or one ended or stopped, starts the watch afresh.
    connect(c, &ClientTable::dealEnded, this, [this] { m_wasMine = false; });
    for (auto signal : {&ClientTable::dealStarted, &ClientTable::waitMode})
        connect(c, signal, this, [this] { m_wasMine = false; });
}

void TTurnNotifier::turnChanged()
{
    const ClientTable *c = w.client();
    const bool mine = c && c->inDeal() && c->myTurn();
    const bool reached = mine && !m_wasMine;
    m_wasMine = mine;
    if (!reached || !enabled() || (m_desktop.windowActive && m_desktop.windowActive()))
        return;
    if (m_desktop.alert)
        m_desktop.alert();
    if (m_desktop.notify)
        m_desktop.notify(QStringLiteral("Your turn"), tableText());
}

bool TTurnNotifier::sendDesktopNotification(const QString &summary, const QString &body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                                       QStringLiteral("/org/freedesktop/Notifications"),
                                                       QStringLiteral("org.freedesktop.Notifications"),
                                                       QStringLiteral("Notify"));
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout
    call << QStringLiteral("Quadrix") << uint(0) << QStringLiteral("quadrix") << summary << body << QStringList()
         << QVariantMap() << int(-1);
    // No answer is awaited: without a notification service the bus's error reply is simply dropped.
    return bus.send(call);
}

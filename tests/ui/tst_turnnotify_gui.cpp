// The turn's call: the attention request and the desktop notification come only when the turn
// reaches the player while the window is inactive and Settings > Notify On Turn is on; the setting
// is kept; the notification reaches a stand-in notification service on a private session bus.
#include "client/clienttable.h"
#include "host/tablehost.h"
#include "support/dealhelpers.h"
#include "support/tablefixture.h"
#include "ui/mainfrm.h"
#include "ui/tablesession.h"
#include "ui/turnnotifier.h"
#include <QAction>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace DealHelpers;

namespace {

const char *const kOnPrivateBus = "QUADRIX_TEST_PRIVATE_BUS";

// The first turn of a deal goes to the holder of the lowest card, here the window's player.
bool dealToAnn(TmainFrm *w)
{
    if (TableHost *host = w->tableHost(); host && host->phase() == TableHost::Phase::Playing)
        host->stopDeal();
    if (!TableFixture::waitFor([w] { return !w->client()->inDeal(); }))
        return false;
    return dealHands(w, {{1, {"43", "13", "23", "15"}}})
           && TableFixture::waitFor([w] { return w->client()->myTurn(); });
}

// Ann hosts, three players that never move sit with her, and her turn waits.
QList<ClientTable *> seatAnn(TableFixture &fx, TmainFrm *w)
{
    if (!fx.host(w, QStringLiteral("Ann")))
        return {};
    w->BeepOnTurn1->setChecked(false);
    w->client()->setCountdownTickMs(600000);
    return seatQuietPlayers(w, {QStringLiteral("Bob"), QStringLiteral("Cid"), QStringLiteral("Dan")});
}

} // namespace

// The stand-in for the desktop's notification service: it keeps what it is asked to show.
class NotificationStandIn : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList shown;
public slots:
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &, int)
    {
        shown << summary + QLatin1Char('|') + body;
        return uint(shown.size());
    }
};

class TestTurnNotify : public QObject
{
    Q_OBJECT

private slots:
    void onlyInactiveAndOn()
    {
        if (qEnvironmentVariableIsSet(kOnPrivateBus))
            QSKIP("run by notificationOnPrivateBus");
        TableFixture fx;
        TmainFrm *w = fx.newWindow();
        QVERIFY(w->turnNotifier->action()->isChecked()); // on by default
        const QList<ClientTable *> quiet = seatAnn(fx, w);
        QCOMPARE(quiet.size(), 3);
        bool active = false;
        int alerts = 0;
        QStringList notes;
        w->turnNotifier->setDesktop({[&] { return active; }, [&] { ++alerts; },
                                     [&](const QString &s, const QString &b) { notes << s + '|' + b; }});

        QVERIFY(dealToAnn(w));
        QCOMPARE(alerts, 1);
        const QString table = QStringLiteral(":") + QString::number(w->session->listeningPort());
        QCOMPARE(notes.size(), 1);
        QVERIFY2(notes.first().startsWith(QStringLiteral("Your turn|")) && notes.first().endsWith(table),
                 qPrintable(notes.first()));

        active = true;
        QVERIFY(dealToAnn(w));
        QCOMPARE(alerts, 1);

        active = false;
        w->turnNotifier->action()->trigger(); // Settings > Notify On Turn: off
        QVERIFY(dealToAnn(w));
        QCOMPARE(alerts, 1);
        QCOMPARE(notes.size(), 1);
        qDeleteAll(quiet);

        // The setting comes back with the next start.
        TmainFrm *again = fx.reopenWindow(w);
        QVERIFY(!again->turnNotifier->enabled());
        QFile ini(again->settingsPath());
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(ini.readAll().contains("NOTIFYONTURN=0"));
    }

    // Starts this program again on a bus of its own, where the test below does the work.
    void notificationOnPrivateBus()
    {
        if (qEnvironmentVariableIsSet(kOnPrivateBus)) {
            onPrivateBus();
            return;
        }
        const QString runner = QStandardPaths::findExecutable(QStringLiteral("dbus-run-session"));
        QVERIFY2(!runner.isEmpty(), "dbus-run-session is missing (scripts/setup.sh installs it)");
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kOnPrivateBus), QStringLiteral("1"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(runner, {QStringLiteral("--"), QCoreApplication::applicationFilePath(),
                             QStringLiteral("notificationOnPrivateBus")});
        QVERIFY(child.waitForFinished(60000));
        const QByteArray out = child.readAll();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, out.constData());
        QVERIFY2(out.contains("PASS   : TestTurnNotify::notificationOnPrivateBus()"), out.constData());
    }

private:
    void onPrivateBus()
    {
        // Without the service the notification goes nowhere, and nothing complains.
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        TTurnNotifier::sendDesktopNotification(QStringLiteral("nobody"), QStringLiteral("listens"));

        QDBusConnection service = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("stand-in"));
        NotificationStandIn standIn;
        QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &standIn,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(QStringLiteral("org.freedesktop.Notifications")));

        TableFixture fx;
        TmainFrm *w = fx.newWindow();
        const QList<ClientTable *> quiet = seatAnn(fx, w);
        QCOMPARE(quiet.size(), 3);
        int alerts = 0;
        // The window's own way to the desktop (the fixture's windows are kept quiet).
        w->turnNotifier->setDesktop(TTurnNotifier::systemDesktop(*w));
        w->turnNotifier->desktop().windowActive = [] { return false; };
        w->turnNotifier->desktop().alert = [&] { ++alerts; };
        QVERIFY(dealToAnn(w));
        QTRY_COMPARE(standIn.shown.size(), 1);
        QCOMPARE(standIn.shown.first(), QStringLiteral("Your turn|") + w->turnNotifier->tableText());
        QCOMPARE(alerts, 1);
        qDeleteAll(quiet);
        QDBusConnection::disconnectFromBus(QStringLiteral("stand-in"));
    }
};

QTEST_MAIN(TestTurnNotify)
#include "tst_turnnotify_gui.moc"

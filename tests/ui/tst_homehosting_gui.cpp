// The window's side of hosting from home: invitations pasted into the host field, the router's
// answer in the status bar and once in the chat log, Copy Invitation, and the kept open-port choice.
#include "client/clienttable.h"
#include "server/tableserver.h"
#include "support/tablefixture.h"
#include "ui/frmsetting.h"
#include "ui/homehosting.h"
#include "ui/invitationinput.h"
#include "ui/mainfrm.h"
#include "ui/tablesession.h"
#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>

class TestHomeHosting : public QObject
{
    Q_OBJECT
private slots:
    void pastedInvitationFillsTheDialog()
    {
        TableFixture t;
        TmainFrm *w = t.newWindow();
        TfrmSetting *d = w->frmSetting;
        d->mnuSettingClick();
        QGuiApplication::clipboard()->setText(QStringLiteral("quadrix://[2001:db8::5]:4100"));
        d->txtHOST->clear();
        d->txtHOST->paste();
        QCOMPARE(d->txtHOST->text(), QStringLiteral("2001:db8::5"));
        QCOMPARE(d->txtPort->text(), QStringLiteral("4100"));
        QVERIFY(d->btnConnect->isDefault());
        QVERIFY(!w->session->active()); // nothing connects before CONNECT

        QGuiApplication::clipboard()->setText(QStringLiteral("quadrix://host:70000"));
        d->txtHOST->selectAll();
        d->txtHOST->paste();
        QVERIFY(d->invitationInput->lblInvitation->isVisible());
        QVERIFY(d->invitationInput->lblInvitation->text().contains(QStringLiteral("from 1 to 65535")));
        QCOMPARE(d->txtPort->text(), QStringLiteral("4100"));
        QVERIFY(!d->btnConnect->isEnabled());
        QVERIFY(!w->session->active());

        d->hide(); // as a link given on the command line
        d->invitationInput->open(QStringLiteral("quadrix://cards.example.org:5110/Friday"));
        QVERIFY(d->isVisible());
        QCOMPARE(d->txtHOST->text(), QStringLiteral("cards.example.org"));
        QVERIFY(!d->invitationInput->lblInvitation->text().contains(QStringLiteral("Not an invitation")));
    }

    void routerAnswerIsShownOnceAndInvitationCopied()
    {
        TableFixture t;
        TmainFrm *w = t.newWindow();
        QVERIFY(t.host(w, QStringLiteral("Hank")));
        const int port = w->session->listeningPort();
        PortMapResult r;
        r.outcome = PortMapResult::Outcome::Refused;
        r.reason = QStringLiteral("it is not allowed to open ports");
        emit w->session->portMapped(r);
        QVERIFY(w->statusText().startsWith(QStringLiteral(" Hosting as %1 @ %2 - Players outside this network cannot join: ")
                                               .arg(w->session->hostAddress())
                                               .arg(port)));
        QCOMPARE(w->chatLog->toPlainText().count(QStringLiteral("cannot join")), 1);

        w->homeHosting->mnuInvite->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("quadrix://%1:%2").arg(w->session->hostAddress()).arg(port));
    }

    void aNamedTableIsJoinedKeptAndInvitedTo()
    {
        TableServer server;
        QVERIFY(server.listen(0));
        TableFixture t;
        TmainFrm *w = t.newWindow();
        const QString dir = t.programDirOf(w);
        TfrmSetting *d = w->frmSetting;
        d->mnuSettingClick();
        d->txtNick->setText(QStringLiteral("Ann"));
        d->txtHOST->setText(QStringLiteral("127.0.0.1"));
        d->txtPort->setText(QString::number(server.port()));
        d->txtTable->setText(QStringLiteral("Friday"));
        d->btnConnect->click();
        QVERIFY(t.waitFor([&] { return w->client() && w->client()->tableName() == QStringLiteral("Friday"); }));
        w->homeHosting->mnuInvite->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("quadrix://127.0.0.1:%1/Friday").arg(server.port()));

        TmainFrm *again = t.reopenWindow(w);
        QFile ini(dir + QStringLiteral("Quadrix.INI"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(ini.readAll().contains("TABLE=Friday"));
        QCOMPARE(again->frmSetting->txtTable->text(), QStringLiteral("Friday"));
    }

    void openPortChoiceIsKept()
    {
        TableFixture t;
        TmainFrm *w = t.newWindow();
        QVERIFY(w->homeHosting->OpenPortOnRouter1->isChecked()); // on by default
        w->homeHosting->OpenPortOnRouter1->trigger();
        TmainFrm *again = t.reopenWindow(w);
        QVERIFY(!again->homeHosting->OpenPortOnRouter1->isChecked());
        again->homeHosting->OpenPortOnRouter1->trigger();
        QVERIFY(t.reopenWindow(again)->homeHosting->OpenPortOnRouter1->isChecked());
    }
};

QTEST_MAIN(TestHomeHosting)
#include "tst_homehosting_gui.moc"

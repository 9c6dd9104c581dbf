// The connection dialog: its form, the port check, CONNECT and HOST, Disconnect, and the settings file.
#include "client/clienttable.h"
#include "game/protocol.h"
#include "host/tablehost.h"
#include "support/tablefixture.h"
#include "ui/frmsetting.h"
#include "ui/mainfrm.h"
#include "ui/tablesession.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QTcpServer>
#include <QTest>

#include <algorithm>

namespace {

QString fileText(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

// The section line first, then the key lines in name order; blanks around lines and empty lines left out.
QStringList fileLines(const QString &path)
{
    QStringList out;
    for (const QString &line : fileText(path).split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty())
            out.append(line.trimmed());
    }
    if (out.size() > 1)
        std::sort(out.begin() + 1, out.end());
    return out;
}

// A port nothing listens on right now, chosen by the system.
int freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void dialogForm();
    void nickTypingIsLimitedButLoadedNickShownWhole();
    void validPort_data();
    void validPort();
    void connectRefusesBlankNickOrHost_data();
    void connectRefusesBlankNickOrHost();
    void connectTakesNickAndHostEvenWhenRefused();
    void connectStoresPortAsDecimal();
    void hostStartsListeningOnTypedPort();
    void hostRefusesBadPort();
    void disconnectEndsHostingAndConnection();
    void loadsWhateverTheFileHolds_data();
    void loadsWhateverTheFileHolds();
    void unwritableFileIsReported();
};

void TestSettings::dialogForm()
{
    TableFixture t;
    TmainFrm *w = t.newWindow();
    TfrmSetting *d = w->frmSetting;
    QCOMPARE(d->windowTitle(), QStringLiteral(" Connection"));
    QCOMPARE(d->size(), QSize(195, 153));
    QCOMPARE(d->minimumSize(), d->maximumSize());
    QVERIFY(d->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(!d->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(d->txtNick->geometry(), QRect(56, 15, 121, 21));
    QCOMPARE(d->txtHOST->geometry(), QRect(56, 39, 121, 21));
    QCOMPARE(d->txtPort->geometry(), QRect(56, 63, 121, 21));
    QCOMPARE(d->txtTable->geometry(), QRect(56, 87, 121, 21));
    QCOMPARE(d->btnConnect->geometry(), QRect(22, 120, 81, 25));
    QCOMPARE(d->btnHost->geometry(), QRect(102, 120, 75, 25));
    QCOMPARE(d->btnConnect->text(), QStringLiteral("CONNECT"));
    QCOMPARE(d->btnHost->text(), QStringLiteral("HOST"));
    QCOMPARE(d->Label1->text(), QStringLiteral("Nick"));
    QCOMPARE(d->Label2->text(), QStringLiteral("Host"));
    QCOMPARE(d->Label3->text(), QStringLiteral("Port"));
    QCOMPARE(d->Label4->text(), QStringLiteral("Table"));

    // Tab order: nick, host, port, table, CONNECT, HOST.
    const QList<QWidget *> order{d->txtNick, d->txtHOST, d->txtPort, d->txtTable, d->btnConnect, d->btnHost};
    for (int i = 0; i + 1 < order.size(); ++i) {
        QWidget *next = order[i]->nextInFocusChain();
        while (next && !(next->focusPolicy() & Qt::TabFocus))
            next = next->nextInFocusChain();
        QCOMPARE(next, order[i + 1]);
    }

    // The Connect item shows it without blocking the table; closing only hides it.
    QVERIFY(!d->isVisible());
    w->mnuSetting->trigger();
    QVERIFY(d->isVisible());
    QVERIFY(!d->isModal());
    QVERIFY(w->frameGeometry().contains(d->frameGeometry().center()));
    d->close();
    QVERIFY(!d->isVisible());
    QCOMPARE(w->frmSetting, d);
    w->mnuSetting->trigger();
    QVERIFY(d->isVisible());
}

void TestSettings::nickTypingIsLimitedButLoadedNickShownWhole()
{
    const QString longNick = QStringLiteral("Maximilian_the_Great");
    TableFixture t;
    TmainFrm *w = t.newWindowWithSettings("[CONNECTION]\nNICK=" + longNick.toLatin1() + "\n");
    QLineEdit *nick = w->frmSetting->txtNick;
    QCOMPARE(nick->text(), longNick);
    QCOMPARE(w->frmSetting->nick(), longNick);

    // A long nick can be shortened key by key, but not lengthened.
    w->frmSetting->show();
    nick->setFocus();
    nick->end(false);
    QTest::keyClick(nick, Qt::Key_Backspace);
    QCOMPARE(nick->text(), longNick.chopped(1));
    QTest::keyClicks(nick, QStringLiteral("xy"));
    QCOMPARE(nick->text(), longNick.chopped(1));

    nick->clear();
    QTest::keyClicks(nick, QStringLiteral("abcdefghijklmn"));
    QCOMPARE(nick->text(), QStringLiteral("abcdefghij"));
}

void TestSettings::validPort_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("valid");

    QTest::newRow("plain") << "110" << "110" << true;
    QTest::newRow("leading blanks") << "   2000" << "2000" << true;
    QTest::newRow("digits then letters") << "8080abc" << "8080" << true;
    QTest::newRow("no digits") << "http" << "0" << false;
    QTest::newRow("empty") << "" << "0" << false;
    QTest::newRow("dollar hex") << "$1F90" << "8080" << true;
    QTest::newRow("0x hex") << "0x50" << "80" << true;
    QTest::newRow("leading zeros") << "00110" << "110" << true;
    QTest::newRow("lowest") << "1" << "1" << true;
    QTest::newRow("highest") << "65535" << "65535" << true;
    QTest::newRow("zero") << "0" << "0" << false;
    QTest::newRow("above range") << "70000" << "70000" << false;
    QTest::newRow("just above") << "65536" << "65536" << false;
    QTest::newRow("negative") << "-5" << "-5" << false;
    QTest::newRow("minus stopped early") << "-5x" << "5" << true;
}

void TestSettings::validPort()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(bool, valid);

    TableFixture t;
    TmainFrm *w = t.newWindow();
    w->frmSetting->txtPort->setText(typed);
    QCOMPARE(w->frmSetting->validPort(), valid);
    QCOMPARE(w->frmSetting->txtPort->text(), shown);
    if (valid) {
        QVERIFY(t.messagesOf(w).isEmpty());
    } else {
        QCOMPARE(t.messagesOf(w).size(), 1);
        QCOMPARE(t.messagesOf(w)[0].text, QStringLiteral("Port must be within 1-65535 !"));
        QCOMPARE(t.messagesOf(w)[0].icon, QMessageBox::Warning);
        QCOMPARE(t.messagesOf(w)[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
}

void TestSettings::connectRefusesBlankNickOrHost_data()
{
    QTest::addColumn<QString>("nick");
    QTest::addColumn<QString>("host");
    QTest::newRow("empty nick") << "" << "127.0.0.1";
    QTest::newRow("blank nick") << "   " << "127.0.0.1";
    QTest::newRow("empty host") << "Ann" << "";
    QTest::newRow("blank host") << "Ann" << "  ";
}

void TestSettings::connectRefusesBlankNickOrHost()
{
    QFETCH(QString, nick);
    QFETCH(QString, host);

    TableFixture t;
    TmainFrm *w = t.newWindow();
    w->mnuSetting->trigger();
    w->frmSetting->txtNick->setText(nick);
    w->frmSetting->txtHOST->setText(host);
    w->frmSetting->txtPort->setText(QStringLiteral("nonsense")); // not even looked at
    w->frmSetting->btnConnect->click();

    QCOMPARE(t.messageTextsOf(w), QStringList(QStringLiteral(" NICK & HOST cannot be blank !")));
    QCOMPARE(t.messagesOf(w)[0].icon, QMessageBox::Critical);
    QCOMPARE(w->frmSetting->txtPort->text(), QStringLiteral("nonsense"));
    QVERIFY(!w->session->active());
    QVERIFY(w->frmSetting->isVisible());
    // Taken before the check.
    QCOMPARE(w->frmSetting->nick(), nick);
    QCOMPARE(w->frmSetting->host(), host);
}

void TestSettings::connectTakesNickAndHostEvenWhenRefused()
{
    TableFixture t;
    TmainFrm *w = t.newWindow();
    const QString dir = t.programDirOf(w);
    w->mnuSetting->trigger();
    w->frmSetting->txtNick->setText(QStringLiteral("Zoe"));
    w->frmSetting->txtHOST->setText(QStringLiteral("tablehost"));
    w->frmSetting->txtPort->setText(QStringLiteral("99999"));
    w->frmSetting->btnConnect->click();
    QCOMPARE(t.messageTextsOf(w), QStringList(QStringLiteral("Port must be within 1-65535 !")));
    QVERIFY(!w->session->active());
    QVERIFY(w->frmSetting->isVisible());

    // Ending the program keeps the refused nick and host, and the port that was last in use.
    TmainFrm *again = t.reopenWindow(w);
    QCOMPARE(fileLines(dir + QStringLiteral("Quadrix.INI")),
             QStringList({QStringLiteral("[CONNECTION]"), QStringLiteral("HOST=tablehost"), QStringLiteral("NICK=Zoe"),
                          QStringLiteral("PORT=110")}));
    QCOMPARE(again->frmSetting->txtNick->text(), QStringLiteral("Zoe"));
    QCOMPARE(again->frmSetting->txtHOST->text(), QStringLiteral("tablehost"));
    QCOMPARE(again->frmSetting->txtPort->text(), QStringLiteral("110"));
    QCOMPARE(again->frmSetting->nick(), QStringLiteral("Zoe"));
    QCOMPARE(again->frmSetting->host(), QStringLiteral("tablehost"));
    QCOMPARE(again->frmSetting->port(), 110);
}

void TestSettings::connectStoresPortAsDecimal()
{
    TableFixture t;
    TmainFrm *h = t.newWindow();
    QVERIFY(t.host(h, QStringLiteral("Hank")));
    TmainFrm *g = t.newWindow();
    const QString dir = t.programDirOf(g);
    g->mnuSetting->trigger();
    g->frmSetting->txtNick->setText(QStringLiteral("Ann"));
    g->frmSetting->txtHOST->setText(QStringLiteral("127.0.0.1"));
    g->frmSetting->txtPort->setText(QStringLiteral("$") + QString::number(t.hostPort(), 16).toUpper());
    g->frmSetting->btnConnect->click();
    QCOMPARE(g->frmSetting->txtPort->text(), QString::number(t.hostPort()));
    QVERIFY(!g->frmSetting->isVisible());
    QVERIFY(g->session->active());
    QVERIFY(t.waitFor([&] { return h->tableHost()->roster().seatOfNick(QStringLiteral("Ann")) == 3 && t.tableShown(); }));
    QVERIFY(!g->mnuSetting->isEnabled());
    QVERIFY(g->mnuDisconn->isEnabled());

    // A second CONNECT while connected does nothing.
    g->frmSetting->txtNick->setText(QStringLiteral("Other"));
    g->frmSetting->btnConnect->click();
    QCOMPARE(g->client()->myNick(), QStringLiteral("Ann"));
    QCOMPARE(g->client()->mySeat(), 3);
    QCOMPARE(h->tableHost()->roster().seatCount(), 2);

    t.reopenWindow(g);
    QVERIFY(fileLines(dir + QStringLiteral("Quadrix.INI")).contains(QStringLiteral("PORT=") + QString::number(t.hostPort())));
    QVERIFY(fileLines(dir + QStringLiteral("Quadrix.INI")).contains(QStringLiteral("NICK=Ann")));
}

void TestSettings::hostStartsListeningOnTypedPort()
{
    const int port = freePort();
    QVERIFY(port > 0);
    TableFixture t;
    TmainFrm *w = t.newWindow();
    const QString dir = t.programDirOf(w);
    w->mnuSetting->trigger();
    w->frmSetting->txtNick->setText(QStringLiteral("Hank"));
    w->frmSetting->txtHOST->setText(QStringLiteral("somewhere"));
    w->frmSetting->txtPort->setText(QStringLiteral(" 0") + QString::number(port));
    w->frmSetting->btnHost->click();
    QCOMPARE(w->frmSetting->txtPort->text(), QString::number(port));
    QVERIFY(w->session->hosting());
    QVERIFY(!w->frmSetting->isVisible());
    QCOMPARE(w->session->listeningPort(), port);
    QCOMPARE(w->frmSetting->port(), port);
    QCOMPARE(w->frmSetting->host(), QStringLiteral("somewhere"));
    QVERIFY(t.waitFor([&] { return w->client()->mySeat() == 1; }));
    QCOMPARE(w->client()->myNick(), QStringLiteral("Hank"));
    QCOMPARE(w->client()->myPort(), 0);

    // HOST again while hosting changes nothing.
    w->frmSetting->txtPort->setText(QStringLiteral("1"));
    w->frmSetting->btnHost->click();
    QCOMPARE(w->session->listeningPort(), port);

    t.reopenWindow(w);
    QCOMPARE(fileLines(dir + QStringLiteral("Quadrix.INI")),
             QStringList({QStringLiteral("[CONNECTION]"), QStringLiteral("HOST=somewhere"), QStringLiteral("NICK=Hank"),
                          QStringLiteral("PORT=") + QString::number(port)}));
}

void TestSettings::hostRefusesBadPort()
{
    TableFixture t;
    TmainFrm *w = t.newWindow();
    w->mnuSetting->trigger();
    w->frmSetting->txtPort->setText(QStringLiteral("x"));
    w->frmSetting->btnHost->click();
    QCOMPARE(t.messageTextsOf(w), QStringList(QStringLiteral("Port must be within 1-65535 !")));
    QCOMPARE(w->frmSetting->txtPort->text(), QStringLiteral("0"));
    QVERIFY(!w->session->active());
    QVERIFY(w->frmSetting->isVisible());
}

void TestSettings::disconnectEndsHostingAndConnection()
{
    TableFixture t;
    TmainFrm *h = t.newWindow();
    QVERIFY(t.host(h, QStringLiteral("Hank")));
    TmainFrm *g = t.join(QStringLiteral("Ann"));
    QVERIFY(g);

    g->mnuDisconn->trigger();
    QVERIFY(t.waitFor([&] { return !g->session->active(); }));
    // As before the rewiring, the guest's own end is told like any lost connection.
    QCOMPARE(t.messagesOf(g).size(), 1);
    QVERIFY(t.messageTextsOf(g)[0].startsWith(QStringLiteral(" Disconnected from 127.0.0.1 : ")));
    QCOMPARE(g->statusText(), QLatin1Char(' ') + t.messageTextsOf(g)[0]);
    QVERIFY(!g->mnuDisconn->isEnabled());
    QVERIFY(g->mnuSetting->isEnabled());
    QVERIFY(t.waitFor([&] { return h->tableHost()->roster().seatCount() == 1; }));

    TmainFrm *g2 = t.join(QStringLiteral("Bob"));
    QVERIFY(g2);
    h->mnuDisconn->trigger();
    QVERIFY(!h->session->active());
    QVERIFY(!h->mnuDisconn->isEnabled());
    QVERIFY(h->mnuSetting->isEnabled());
    QCOMPARE(h->statusText(), QStringLiteral(" Connection closed."));
    QCOMPARE(h->nickLabel(1)->text(), kEmptySeatText);
    // The guest loses its connection and is told so.
    QVERIFY(t.waitFor([&] { return !g2->session->active(); }));
    QVERIFY(t.messageTextsOf(g2).value(0).startsWith(QStringLiteral(" Disconnected from 127.0.0.1 : ")));
}

void TestSettings::loadsWhateverTheFileHolds_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("nick"); // "*" for the computer's name
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");

    QTest::newRow("missing") << false << QByteArray() << "*" << "localhost" << 110;
    QTest::newRow("empty") << true << QByteArray() << "*" << "localhost" << 110;
    QTest::newRow("full") << true << QByteArray("[CONNECTION]\r\nNICK=Zoe\r\nHOST=10.1.2.3\r\nPORT=2500\r\n")
                          << "Zoe" << "10.1.2.3" << 2500;
    QTest::newRow("other section only") << true << QByteArray("[OTHER]\nNICK=Zoe\nPORT=2500\n") << "*"
                                        << "localhost" << 110;
    QTest::newRow("truncated in a key") << true << QByteArray("[CONNECTION]\nNICK=Zoe\nHO") << "Zoe"
                                        << "localhost" << 110;
    QTest::newRow("truncated in the section") << true << QByteArray("[CONNEC") << "*" << "localhost" << 110;
    QTest::newRow("present but empty values") << true << QByteArray("[CONNECTION]\nNICK=\nHOST=\nPORT=\n") << ""
                                              << "" << 110;
    QTest::newRow("port not a number") << true << QByteArray("[CONNECTION]\nPORT=abc\n") << "*" << "localhost" << 110;
    QTest::newRow("port with letters") << true << QByteArray("[CONNECTION]\nPORT=12ab\n") << "*" << "localhost"
                                       << 110;
    QTest::newRow("port above range") << true << QByteArray("[CONNECTION]\nPORT=70000\n") << "*" << "localhost"
                                       << 110;
    QTest::newRow("port zero") << true << QByteArray("[CONNECTION]\nPORT=0\n") << "*" << "localhost" << 110;
    QTest::newRow("port negative") << true << QByteArray("[CONNECTION]\nPORT=-5\n") << "*" << "localhost" << 110;
    QTest::newRow("port huge") << true << QByteArray("[CONNECTION]\nPORT=99999999999999999999\n") << "*"
                               << "localhost" << 110;
    QTest::newRow("nick with comma") << true << QByteArray("[CONNECTION]\nNICK=a,b\n") << "a,b" << "localhost" << 110;
    const QByteArray longNick(5000, 'n');
    QTest::newRow("very long nick") << true << QByteArray("[CONNECTION]\nNICK=" + longNick + "\n")
                                    << QString::fromLatin1(longNick) << "localhost" << 110;
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk.append(char((i * 7919 + 13) % 256));
    QTest::newRow("binary junk") << true << junk << "*" << "localhost" << 110;
}

void TestSettings::loadsWhateverTheFileHolds()
{
    QFETCH(bool, present);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, nick);
    QFETCH(QString, host);
    QFETCH(int, port);

    TableFixture t;
    TmainFrm *w = present ? t.newWindowWithSettings(bytes) : t.newWindow();
    if (nick == QStringLiteral("*"))
        nick = QSysInfo::machineHostName();
    QCOMPARE(w->frmSetting->txtNick->text(), nick);
    QCOMPARE(w->frmSetting->txtHOST->text(), host);
    QCOMPARE(w->frmSetting->txtPort->text(), QString::number(port));
    QCOMPARE(w->frmSetting->nick(), nick);
    QCOMPARE(w->frmSetting->host(), host);
    QCOMPARE(w->frmSetting->port(), port);
    QVERIFY(t.messagesOf(w).isEmpty());

    // Whatever was read is written back as a sound file.
    const QString dir = t.programDirOf(w);
    TmainFrm *again = t.reopenWindow(w);
    QVERIFY(QFile::exists(dir + QStringLiteral("Quadrix.INI")));
    QCOMPARE(again->frmSetting->txtNick->text(), nick);
    QCOMPARE(again->frmSetting->txtHOST->text(), host);
    QCOMPARE(again->frmSetting->port(), port);
}

void TestSettings::unwritableFileIsReported()
{
    TableFixture t;
    TmainFrm *w = t.newWindow();
    // A directory where the file should be: not writable by anybody, whatever the user's rights.
    QVERIFY(QDir().mkpath(w->settingsPath()));
    QVERIFY(!w->frmSetting->saveSettings());
    // Ending the program tells the user, naming the file.
    w->close();
    QCOMPARE(t.messagesOf(w).size(), 1);
    QVERIFY(t.messagesOf(w)[0].text.contains(w->settingsPath()));
    t.closeWindow(w);
    TmainFrm *ok = t.newWindow();
    QVERIFY(ok->frmSetting->saveSettings());
    QVERIFY(QFileInfo(ok->settingsPath()).isFile());
    QCOMPARE(QFileInfo(ok->settingsPath()).fileName(), QStringLiteral("Quadrix.INI"));
}

QTEST_MAIN(TestSettings)
#include "tst_settings_gui.moc"

// The host under load, over real loopback sockets: a guest program floods the chat during a deal
// while the host pings; strangers hold every connection without taking a seat; a guest comes over IPv6.
#include "game/protocol.h"
#include "hub/hubclient.h"
#include "hub/hubserver.h"
#include "support/rawpeer.h"
#include "support/tablecheck.h"
#include "support/tablefixture.h"
#include "ui/frmsetting.h"
#include "ui/mainfrm.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTcpSocket>
#include <QTest>
#include <QTextEdit>

using Stress::RawPeer;
using Stress::TableCheck;

namespace {

QStringList linesOf(TmainFrm *w, const QString &start)
{
    QStringList out;
    for (const QString &line : w->chatLog->toPlainText().split(QLatin1Char('\n')))
        if (line.startsWith(start))
            out << line;
    return out;
}

} // namespace

class TestHostLoad : public QObject
{
    Q_OBJECT

private slots:
    void chatFloodDuringDealAndPing();
    void silentConnectionsMakeRoom();
    void guestJoinsOverIpv6();
};

void TestHostLoad::chatFloodDuringDealAndPing()
{
    TableFixture fx;
    const QList<TmainFrm *> copies = fx.seatTable({"Ann", "Bob", "Cid", "Dan"});
    QCOMPARE(copies.size(), 4);
    TmainFrm *host = copies.first();
    TmainFrm *dan = copies.last();
    TableCheck check;
    check.setCopies(copies);
    QVERIFY2(check.startDeal(), qPrintable(check.problem()));
    qint64 normalMs = 0;
    for (int n = 0; n < 4; ++n) {
        QVERIFY2(check.playMove(), qPrintable(check.problem()));
        normalMs = std::max(normalMs, check.lastMoveMs());
    }

    // Dan's program writes 1500 lines at once, past its own send pump.
    QByteArray burst;
    QStringList heard;
    for (int n = 1; n <= 1500; ++n) {
        const QString line = QStringLiteral("flood line %1").arg(n);
        burst += BuildFrame(Tag::CHAT, "Dan", line, {}, {}, {}, {}, false, 0);
        if (n <= 10)
            heard << QStringLiteral("<Dan> ") + line;
    }
    TableFixture::clientSocketOf(dan)->write(burst);
    QVERIFY(TableFixture::waitFor([&] { return linesOf(host, "<Dan>").size() >= 10; }));

    // A move while the relayed lines still wait for the guests: it goes ahead of them.
    QVERIFY(host->gHost->queuedMessages() > 0);
    QVERIFY2(check.playMove(), qPrintable(check.problem()));
    qInfo("a move during the flood took %lld ms, the slowest of four before it %lld ms", check.lastMoveMs(), normalMs);
    QVERIFY2(check.lastMoveMs() <= 2 * normalMs,
             qPrintable(QStringLiteral("%1 ms, normally %2 ms").arg(check.lastMoveMs()).arg(normalMs)));

    host->Timer1->setInterval(2000);
    host->btnPing->click();
    QVERIFY(TableFixture::waitFor([&] { return host->btnPing->isEnabled(); }, 5000));
    QCOMPARE(host->roster.seatCount(), 4);
    QVERIFY2(check.playMove(), qPrintable(check.problem()));

    // Ten lines reached the others, the rest nobody; Dan was told once.
    QVERIFY(TableFixture::waitFor([&] { return host->gHost->queuedMessages() == 0; }));
    for (TmainFrm *w : copies.mid(0, 3))
        QCOMPARE(linesOf(w, "<Dan>"), heard);
    QCOMPARE(linesOf(dan, "[*] Too many lines").size(), 1);
}

void TestHostLoad::silentConnectionsMakeRoom()
{
    TableFixture fx;
    TmainFrm *host = fx.newWindow();
    QVERIFY(fx.host(host, "Ann"));
    host->gHost->setSeatTimeoutMs(1000);
    RawPeer silent[3];
    for (RawPeer &p : silent)
        QVERIFY(p.connectTo(fx.hostPort()));
    QCOMPARE(host->gHost->ClientCount(), 3);
    QVERIFY(TableFixture::waitFor([&] {
        return silent[0].closed() && silent[1].closed() && silent[2].closed();
    }, 5000));

    TmainFrm *bob = fx.join("Bob");
    QVERIFY(bob);
    // A stranger who came after Bob is gone again, Bob is still seated.
    RawPeer late;
    QVERIFY(late.connectTo(fx.hostPort()));
    QVERIFY(TableFixture::waitFor([&] { return late.closed(); }, 5000));
    QCOMPARE(host->roster.seatOfNick("Bob"), 3);
    QVERIFY(bob->gClient->Active());
}

void TestHostLoad::guestJoinsOverIpv6()
{
    TableFixture fx;
    TmainFrm *host = fx.newWindow();
    QVERIFY(fx.host(host, "Ann"));
    TmainFrm *bob = fx.newWindow();
    bob->frmSetting->txtNick->setText("Bob");
    bob->frmSetting->txtHOST->setText("::1");
    bob->frmSetting->txtPort->setText(QString::number(fx.hostPort()));
    bob->frmSetting->btnConnect->click();
    QVERIFY(TableFixture::waitFor([&] { return host->roster.seatOfNick("Bob") == 3 && fx.tableShown(); }));
    QCOMPARE(host->roster.user(3).IP, QStringLiteral("::1"));

    // An IPv4 guest is announced with its plain address.
    TmainFrm *cid = fx.join("Cid");
    QVERIFY(cid);
    QCOMPARE(host->roster.user(2).IP, QStringLiteral("127.0.0.1"));
    QStringList announced;
    for (const Delivered &d : fx.clientReceived(bob))
        if (d.tag() == Tag::USER && d.value(1) == Tag::JOIN)
            announced << d.value(2) + QLatin1Char('@') + d.value(3);
    QCOMPARE(announced, QStringList({"Bob@::1", "Ann@" + host->st.hostIP, "Cid@127.0.0.1"}));
}

QTEST_MAIN(TestHostLoad)
#include "tst_hostload_gui.moc"

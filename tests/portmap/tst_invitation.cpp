// Invitation links: every valid form survives a round trip, and each bad one is refused with its reason.
#include "portmap/hostingstatus.h"
#include "portmap/invitation.h"
#include <QTest>

class TestInvitation : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("table");
        QTest::newRow("name") << "quadrix://cards.example.org:110" << "cards.example.org" << 110 << "";
        QTest::newRow("single label") << "quadrix://gamebox:65535" << "gamebox" << 65535 << "";
        QTest::newRow("ipv4") << "quadrix://198.51.100.1:5000" << "198.51.100.1" << 5000 << "";
        QTest::newRow("ipv6") << "quadrix://[2001:db8::1]:1" << "2001:db8::1" << 1 << "";
        QTest::newRow("table") << "quadrix://cards.example.org:110/Friday_night-2" << "cards.example.org" << 110
                               << "Friday_night-2";
        QTest::newRow("ipv6 table") << "quadrix://[2001:db8::1]:7000/t" << "2001:db8::1" << 7000 << "t";
    }
    void roundTrip()
    {
        QFETCH(QString, link);
        QString why;
        const std::optional<Invitation> inv = parseInvitation(QStringLiteral("  ") + link + QStringLiteral("\n"), &why);
        QVERIFY2(inv, qPrintable(why));
        QTEST(inv->host, "host");
        QTEST(inv->port, "port");
        QTEST(inv->table, "table");
        QCOMPARE(invitationLink(*inv), link);
        QVERIFY(parseInvitation(QStringLiteral("QUADRIX://") + link.mid(10)));
    }

    void refusal_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("why");
        QTest::newRow("scheme") << "http://host:110" << "starts with quadrix://";
        QTest::newRow("no port") << "quadrix://host" << "names no port";
        QTest::newRow("empty host") << "quadrix://:110" << "names no host";
        QTest::newRow("user part") << "quadrix://me@host:110" << "neither a name nor an address";
        QTest::newRow("port 0") << "quadrix://host:0" << "from 1 to 65535";
        QTest::newRow("port 65536") << "quadrix://host:65536" << "from 1 to 65535";
        QTest::newRow("port letters") << "quadrix://host:11x" << "from 1 to 65535";
        QTest::newRow("bare ipv6") << "quadrix://2001:db8::1:110" << "brackets";
        QTest::newRow("bad ipv6") << "quadrix://[nothost]:110" << "not an IPv6";
        QTest::newRow("open bracket") << "quadrix://[2001:db8::1:110" << "closing bracket";
        QTest::newRow("table chars") << "quadrix://host:110/bad.name" << "letters, digits";
        QTest::newRow("table long") << "quadrix://host:110/" + QString(33, QLatin1Char('t')) << "at most 32";
        QTest::newRow("empty table") << "quadrix://host:110/" << "letters, digits";
        QTest::newRow("more path") << "quadrix://host:110/t/u" << "more parts";
        QTest::newRow("query") << "quadrix://host:110?x=1" << "more parts";
        QTest::newRow("fragment") << "quadrix://host:110/t#x" << "more parts";
    }
    void refusal()
    {
        QFETCH(QString, link);
        QFETCH(QString, why);
        QString said;
        QVERIFY(!parseInvitation(link, &said));
        QVERIFY2(said.contains(why), qPrintable(said));
    }

    void statusTexts()
    {
        const QString in = QStringLiteral("192.168.1.20");
        QCOMPARE(hostingText(in, 110), QStringLiteral(" Hosting as 192.168.1.20 @ 110 ..."));
        PortMapResult r;
        r.outcome = PortMapResult::Outcome::Opened;
        r.externalAddress = QStringLiteral("198.51.100.1");
        r.externalPort = 4000;
        QCOMPARE(hostingText(in, 110, r), QStringLiteral(" Hosting as 198.51.100.1 @ 4000 (the router opened the port)"));
        const QString cannot = QStringLiteral(" Hosting as 192.168.1.20 @ 110 - Players outside this network cannot join: ");
        r.outcome = PortMapResult::Outcome::Refused;
        r.reason = QStringLiteral("it is not allowed to open ports");
        QCOMPARE(hostingText(in, 110, r),
                 cannot + "the router refused to open the port (it is not allowed to open ports); open TCP port 110 on "
                          "the router by hand (forward it to 192.168.1.20), or play on a server.");
        r.outcome = PortMapResult::Outcome::BehindAnotherRouter;
        for (const char *outside : {"10.1.2.3", "172.31.0.1", "192.168.0.1", "100.127.255.254"}) {
            r.externalAddress = QString::fromLatin1(outside);
            QVERIFY(hostingText(in, 110, r).startsWith(cannot + "the router's outside address " + outside + " is itself private"));
        }
        // A machine with a public address of its own needs no router.
        r.outcome = PortMapResult::Outcome::NoGateway;
        QCOMPARE(hostingText(QStringLiteral("198.51.100.9"), 110, r), QStringLiteral(" Hosting as 198.51.100.9 @ 110"));
        QVERIFY(hostingText(QStringLiteral("100.64.0.1"), 110, r).startsWith(QStringLiteral(" Hosting as 100.64.0.1 @ 110 - Players")));
    }
};

QTEST_GUILESS_MAIN(TestInvitation)
#include "tst_invitation.moc"

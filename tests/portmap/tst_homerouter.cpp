// A home network made of namespaces: inside 10.231.0.0/24 (quadrix-server --open-port runs there),
// a router with the outside address 198.51.100.1, and outside 198.51.100.0/24 (a guest runs there).
// miniupnpd refuses to forward on an outside address of a documentation range (it says "Port
// forwarding is impossible"), so it plays the refusing router; the router that forwards is a UPnP
// gateway written here, which answers discovery, description and control as one does and forwards
// with nftables.
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUdpSocket>
#include <QNetworkInterface>
#include <fcntl.h>
#include <utility>
#include <sched.h>
#include <unistd.h>

namespace {

const QString kSuffix = QString::number(::getpid());
const QString kRouter = QStringLiteral("qxr") + kSuffix, kInside = QStringLiteral("qxi") + kSuffix,
              kOutside = QStringLiteral("qxo") + kSuffix;
const QString kRouterIn = QStringLiteral("qxri") + kSuffix, kRouterOut = QStringLiteral("qxro") + kSuffix;

bool run(const QString &program, const QStringList &args, QByteArray *out = nullptr)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(5000))
        return false;
    if (out)
        *out = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool inRouter(const QStringList &args, QByteArray *out = nullptr)
{
    return run(QStringLiteral("ip"), QStringList{QStringLiteral("netns"), QStringLiteral("exec"), kRouter} + args, out);
}

QByteArray soap(const QByteArray &action, const QByteArray &args)
{
    return "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body><u:" + action
         + "Response xmlns:u=\"urn:schemas-upnp-org:service:WANIPConnection:1\">" + args + "</u:" + action
         + "Response></s:Body></s:Envelope>";
}

QByteArray arg(const QByteArray &body, const char *name)
{
    const QRegularExpression re(QStringLiteral("<%1>([^<]*)</%1>").arg(QLatin1String(name)));
    return re.match(QString::fromLatin1(body)).captured(1).toLatin1();
}

// The forwarding router: SSDP on 239.255.255.250:1900, description and control over HTTP, the
// mapping as a DNAT rule. Runs on a thread that entered the router's namespace.
class UpnpGateway : public QThread
{
public:
    QStringList actions; // read after the thread ended
    ~UpnpGateway() override
    {
        quit();
        wait();
    }
protected:
    void run() override
    {
        const int ns = ::open(qPrintable(QStringLiteral("/run/netns/") + kRouter), O_RDONLY);
        if (ns < 0 || ::setns(ns, CLONE_NEWNET) != 0)
            return;
        ::close(ns);
        QTcpServer http;
        http.listen(QHostAddress(QStringLiteral("10.231.0.1")), 0);
        QUdpSocket ssdp;
        ssdp.bind(QHostAddress::AnyIPv4, 1900, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
        ssdp.joinMulticastGroup(QHostAddress(QStringLiteral("239.255.255.250")), QNetworkInterface::interfaceFromName(kRouterIn));
        QObject::connect(&ssdp, &QUdpSocket::readyRead, [&] {
            while (ssdp.hasPendingDatagrams()) {
                QHostAddress from;
                quint16 port = 0;
                QByteArray m(2048, '\0');
                m.truncate(ssdp.readDatagram(m.data(), m.size(), &from, &port));
                const QByteArray st = QRegularExpression(QStringLiteral("(?im)^ST:\\s*(\\S+)")).match(QString::fromLatin1(m)).captured(1).toLatin1();
                if (!m.startsWith("M-SEARCH") || !st.contains("InternetGatewayDevice"))
                    continue;
                ssdp.writeDatagram("HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=120\r\nST: " + st
                                       + "\r\nUSN: uuid:0f1e2d3c-0000-4000-8000-000000000001::" + st
                                       + "\r\nEXT:\r\nSERVER: Linux UPnP/1.1 TestGateway/1\r\nLOCATION: http://10.231.0.1:"
                                       + QByteArray::number(http.serverPort()) + "/rootDesc.xml\r\n\r\n",
                                   from, port);
            }
        });
        QObject::connect(&http, &QTcpServer::newConnection, [&] {
            QTcpSocket *c = http.nextPendingConnection();
            QObject::connect(c, &QTcpSocket::readyRead, c, [this, c] { answer(c); });
        });
        exec();
    }

private:
    void answer(QTcpSocket *c)
    {
        const QByteArray all = c->peek(1 << 16);
        const qsizetype end = all.indexOf("\r\n\r\n");
        const int length = QRegularExpression(QStringLiteral("(?im)^Content-Length:\\s*(\\d+)")).match(QString::fromLatin1(all.left(end))).captured(1).toInt();
        if (end < 0 || all.size() < end + 4 + length)
            return;
        c->readAll();
        const QByteArray body = all.mid(end + 4, length);
        const QByteArray action = QRegularExpression(QStringLiteral("#(\\w+)")).match(QString::fromLatin1(all.left(end))).captured(1).toLatin1();
        QByteArray reply;
        if (all.startsWith("GET")) {
            const auto service = [](const char *type, const char *name) {
                return QByteArray("<serviceList><service><serviceType>urn:schemas-upnp-org:service:") + type
                     + "</serviceType><serviceId>urn:upnp-org:serviceId:" + name + "</serviceId><controlURL>/ctl/" + name
                     + "</controlURL><eventSubURL>/evt/" + name + "</eventSubURL><SCPDURL>/" + name
                     + ".xml</SCPDURL></service></serviceList>";
            };
            const auto device = [](const char *type) {
                return QByteArray("<device><deviceType>urn:schemas-upnp-org:device:") + type + "</deviceType>";
            };
            reply = "<?xml version=\"1.0\"?><root xmlns=\"urn:schemas-upnp-org:device-1-0\"><specVersion><major>1</major>"
                    "<minor>0</minor></specVersion>" + device("InternetGatewayDevice:1") + "<deviceList>" + device("WANDevice:1")
                  + service("WANCommonInterfaceConfig:1", "CmnIfCfg") + "<deviceList>" + device("WANConnectionDevice:1")
                  + service("WANIPConnection:1", "IPConn") + "</device></deviceList></device></deviceList></device></root>";
        } else {
            actions << QString::fromLatin1(action);
            QByteArray args;
            if (action == "GetStatusInfo")
                args = "<NewConnectionStatus>Connected</NewConnectionStatus><NewLastConnectionError>ERROR_NONE"
                       "</NewLastConnectionError><NewUptime>100</NewUptime>";
            else if (action == "GetExternalIPAddress")
                args = "<NewExternalIPAddress>198.51.100.1</NewExternalIPAddress>";
            else if (action == "AddPortMapping") {
                m_port = arg(body, "NewExternalPort");
                m_client = arg(body, "NewInternalClient");
                inRouter({QStringLiteral("nft"), QStringLiteral("add rule inet qxtest prerouting ip daddr 198.51.100.1 tcp dport %1 dnat ip to %2:%1")
                                                     .arg(QString::fromLatin1(m_port), QString::fromLatin1(m_client))});
            } else if (action == "GetSpecificPortMappingEntry")
                args = "<NewInternalPort>" + m_port + "</NewInternalPort><NewInternalClient>" + m_client
                     + "</NewInternalClient><NewEnabled>1</NewEnabled><NewPortMappingDescription>Quadrix"
                       "</NewPortMappingDescription><NewLeaseDuration>3600</NewLeaseDuration>";
            else if (action == "DeletePortMapping")
                inRouter({QStringLiteral("nft"), QStringLiteral("flush chain inet qxtest prerouting")});
            reply = soap(action, args);
        }
        c->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=\"utf-8\"\r\nConnection: close\r\nContent-Length: "
                 + QByteArray::number(reply.size()) + "\r\n\r\n" + reply);
        c->disconnectFromHost();
    }
    QByteArray m_port, m_client;
};

} // namespace

class TestHomeRouter : public QObject
{
    Q_OBJECT
    QProcess server;
    QByteArray log;
    bool m_made = false;

    // Starts quadrix-server --open-port inside; returns its port once the router's answer is logged.
    int startServer()
    {
        log.clear();
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.start(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("exec"), kInside, QStringLiteral(QUADRIX_SERVER_PATH),
                                            QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--open-port")});
        server.waitForStarted();
        const bool answered = QTest::qWaitFor([&] {
            log += server.readAllStandardOutput();
            return log.contains("Hosting as");
        }, 8000);
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Listening on port (\\d+)")).match(QString::fromLatin1(log));
        return answered ? m.captured(1).toInt() : 0;
    }
    void stopServer()
    {
        server.terminate(); // SIGTERM: `ip netns exec` became the server
        QVERIFY(server.waitForFinished(8000));
    }

private slots:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("Network namespaces need root; this run is not root.");
        if (QStandardPaths::findExecutable(QStringLiteral("miniupnpd"), {"/usr/sbin", "/usr/bin"}).isEmpty()
            || QStandardPaths::findExecutable(QStringLiteral("nft"), {"/usr/sbin", "/usr/bin"}).isEmpty())
            QSKIP("miniupnpd or nft is missing (scripts/setup.sh installs them).");
        if (!run(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("add"), kRouter}))
            QSKIP("ip netns add failed: this system does not let the test make network namespaces.");
        m_made = true;
        const QString ip = QStringLiteral("ip");
        const QList<QStringList> steps = {
            {"netns", "add", kInside}, {"netns", "add", kOutside},
            {"link", "add", kRouterIn, "netns", kRouter, "type", "veth", "peer", "name", "qxir" + kSuffix, "netns", kInside},
            {"link", "add", kRouterOut, "netns", kRouter, "type", "veth", "peer", "name", "qxor" + kSuffix, "netns", kOutside},
            {"-n", kRouter, "addr", "add", "10.231.0.1/24", "dev", kRouterIn},
            {"-n", kRouter, "addr", "add", "198.51.100.1/24", "dev", kRouterOut},
            {"-n", kInside, "addr", "add", "10.231.0.2/24", "dev", "qxir" + kSuffix},
            {"-n", kOutside, "addr", "add", "198.51.100.2/24", "dev", "qxor" + kSuffix},
            {"-n", kRouter, "link", "set", kRouterIn, "up"}, {"-n", kRouter, "link", "set", kRouterOut, "up"},
            {"-n", kInside, "link", "set", "qxir" + kSuffix, "up"}, {"-n", kOutside, "link", "set", "qxor" + kSuffix, "up"},
            {"-n", kInside, "link", "set", "lo", "up"}, {"-n", kRouter, "link", "set", "lo", "up"},
            {"-n", kInside, "route", "add", "default", "via", "10.231.0.1"},
            {"netns", "exec", kRouter, "sysctl", "-qw", "net.ipv4.ip_forward=1"}};
        for (const QStringList &s : steps)
            QVERIFY2(run(ip, s), qPrintable(s.join(QLatin1Char(' '))));
        if (!inRouter({QStringLiteral("nft"), QStringLiteral("add table inet qxtest; add chain inet qxtest prerouting "
                                                             "{ type nat hook prerouting priority -100; }")})) {
            cleanupTestCase();
            QSKIP("nft cannot make a table in the router's namespace: this kernel or container has no nftables.");
        }
    }

    void cleanup()
    {
        if (server.state() != QProcess::NotRunning) {
            server.kill();
            server.waitForFinished();
        }
    }

    void cleanupTestCase()
    {
        if (std::exchange(m_made, false))
            for (const QString &ns : {kRouter, kInside, kOutside})
                run(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("del"), ns});
    }

    void guestFromOutsideIsSeatedThroughTheOpenedPort()
    {
        UpnpGateway gateway;
        gateway.start();
        const int port = startServer();
        QVERIFY2(port > 0, log.constData());
        QVERIFY2(log.contains(QStringLiteral("Hosting as 198.51.100.1 @ %1 (the router opened the port)").arg(port).toLatin1()),
                 log.constData());

        QProcess guest;
        guest.start(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("exec"), kOutside, QStringLiteral(QUADRIX_BOT_PATH),
                                           QStringLiteral("--host"), QStringLiteral("198.51.100.1"), QStringLiteral("--port"),
                                           QString::number(port), QStringLiteral("--nick"), QStringLiteral("Outsider")});
        QVERIFY(QTest::qWaitFor([&] {
            log += server.readAllStandardOutput();
            return QRegularExpression(QStringLiteral("Outsider sat down in seat \\d from 198\\.51\\.100\\.2")).match(QString::fromLatin1(log)).hasMatch();
        }, 8000));
        QByteArray rules;
        QVERIFY(inRouter({QStringLiteral("nft"), QStringLiteral("list chain inet qxtest prerouting")}, &rules));
        QVERIFY(rules.contains("dnat"));

        stopServer();
        guest.kill();
        guest.waitForFinished();
        gateway.quit();
        gateway.wait();
        QCOMPARE(gateway.actions.last(), QStringLiteral("DeletePortMapping"));
        QVERIFY(inRouter({QStringLiteral("nft"), QStringLiteral("list chain inet qxtest prerouting")}, &rules));
        QVERIFY2(!rules.contains("dnat"), rules.constData());
    }

    void silentRouterCostsAtMostTheDiscoveryTime()
    {
        QElapsedTimer clock;
        clock.start();
        const int port = startServer(); // nothing answers on the router
        QVERIFY2(log.contains("cannot join: no router answered"), log.constData());
        QVERIFY2(clock.elapsed() < 3500, qPrintable(QString::number(clock.elapsed()))); // 2 s, and starting up
        QVERIFY(port > 0);
        stopServer();
    }

    void refusingRouterIsSaidPlainly()
    {
        QTemporaryDir dir;
        QFile conf(dir.filePath(QStringLiteral("miniupnpd.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(QStringLiteral("ext_ifname=%1\nlistening_ip=%2\nport=0\nenable_natpmp=yes\nenable_upnp=yes\nsecure_mode=yes\n"
                                  "uuid=0f1e2d3c-0000-4000-8000-000000000002\nallow 1024-65535 10.231.0.0/24 1024-65535\n"
                                  "deny 0-65535 0.0.0.0/0 0-65535\n")
                       .arg(kRouterOut, kRouterIn)
                       .toLatin1());
        conf.close();
        QProcess miniupnpd;
        miniupnpd.setProcessChannelMode(QProcess::MergedChannels);
        miniupnpd.start(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("exec"), kRouter, QStringLiteral("miniupnpd"),
                                               QStringLiteral("-d"), QStringLiteral("-f"), conf.fileName(), QStringLiteral("-P"),
                                               dir.filePath(QStringLiteral("pid"))});
        QVERIFY(QTest::qWaitFor([&] { return miniupnpd.readAll().contains("Listening for NAT-PMP"); }, 5000));

        const int port = startServer();
        QVERIFY2(port > 0, log.constData());
        QVERIFY2(log.contains(QStringLiteral("Hosting as 10.231.0.2 @ %1 - Players outside this network cannot join: the router "
                                             "refused to open the port").arg(port).toLatin1()),
                 log.constData());
        stopServer();
        miniupnpd.terminate();
        miniupnpd.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestHomeRouter)
#include "tst_homerouter.moc"

// quadrix-server: one table without a window. Players join it as they join a player's table; the
// server deals when the table is full and after each deal, and keeps the table running by itself.
#include "app/terminationsignals.h"
#include "host/tablehost.h"
#include "hub/hubserver.h"
#include "net/hublistener.h"
#include "portmap/hostingstatus.h"
#include "portmap/portmapper.h"
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>
#include <cstdio>

namespace {

void logLine(const QString &line)
{
    const QString stamped = QDateTime::currentDateTime().toString(Qt::ISODate) + QLatin1Char(' ') + line;
    std::fputs(qPrintable(stamped + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

// The players are told, their queues get a moment to empty, then the table closes.
void shutDown(TableHost &host, HubListener &listener)
{
    static bool ending = false;
    if (ending)
        return;
    ending = true;
    logLine(QStringLiteral("Shutting down"));
    host.tableClosing();
    host.announce(QStringLiteral("[*] The server is shutting down."));
    auto *poll = new QTimer(&host);
    QObject::connect(poll, &QTimer::timeout, &host, [&listener] {
        static int waited = 0;
        waited += 50;
        if (listener.hub()->queuedMessages() > 0 && waited < 1500)
            return;
        listener.close();
        QCoreApplication::quit();
    });
    poll->start(50);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quadrix-server"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.11"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Quadrix v1.11 table server: one table of four seats, without a window. Players join it from\n"
        "Connection > Connect (or quadrix-bot) as they join a player's table. The first deal starts two\n"
        "seconds after the fourth player sits down; the winner of a deal starts the next one, or the server\n"
        "does ten seconds after the deal ended. One line per event goes to the standard output."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOpt(QStringLiteral("port"),
                                     QStringLiteral("Port to listen on; 0 picks a free one (default 110)."),
                                     QStringLiteral("port"), QStringLiteral("110"));
    parser.addOption(portOpt);
    const QCommandLineOption openPortOpt(QStringLiteral("open-port"),
                                         QStringLiteral("Ask the router (NAT-PMP or UPnP) to forward the port to this machine "
                                                        "while the server runs."));
    parser.addOption(openPortOpt);
    parser.process(app);

    bool ok = false;
    const int port = parser.value(portOpt).trimmed().toInt(&ok);
    if (!ok || port < 0 || port > 65535) {
        std::fputs("quadrix-server: --port wants a number from 0 to 65535\n", stderr);
        return 2;
    }

    HubListener listener;
    TableHost host;
    // More connections than seats: a player coming back may connect before its old connection is seen gone.
    listener.hub()->setMaxClient(8);
    QObject::connect(&listener, &HubListener::newConnection, &host, &TableHost::addConnection);
    QObject::connect(&host, &TableHost::noted, &host, &logLine);
    if (!listener.listen(port)) {
        std::fputs(qPrintable(QStringLiteral("quadrix-server: ") + listener.errorText() + QLatin1Char('\n')), stderr);
        return 1;
    }
    logLine(QStringLiteral("Listening on port %1").arg(listener.port()));
    // Destroyed after the event loop ends, also for a termination signal: the mapping goes with it.
    PortMapper mapper;
    if (parser.isSet(openPortOpt)) {
        QObject::connect(&mapper, &PortMapper::finished, &host, [&listener](const PortMapResult &result) {
            logLine(hostingText(listener.localAddress(), listener.port(), result).trimmed());
        });
        mapper.open(quint16(listener.port()));
    }
    watchTerminationSignals(&host, [&host, &listener] { shutDown(host, listener); });
    return app.exec();
}

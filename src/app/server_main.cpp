// quadrix-server: many tables without a window on one port. Players join it as they join a player's
// table; the server seats each at a table with room (or at the table it names), deals when a table
// is full and after each deal, and keeps every table running by itself.
#include "app/serverctl.h"
#include "app/terminationsignals.h"
#include "portmap/hostingstatus.h"
#include "net/hublistener.h"
#include "portmap/portmapper.h"
#include "server/servercontrol.h"
#include "server/serverbots.h"
#include "server/servertables.h"
#include "server/tableserver.h"
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>

namespace {

void logLine(const QString &line)
{
    const QString stamped = QDateTime::currentDateTime().toString(Qt::ISODate) + QLatin1Char(' ') + line;
    std::fputs(qPrintable(stamped + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

bool numberOption(const QCommandLineParser &parser, const QCommandLineOption &option, int low, int high, int *value)
{
    bool ok = false;
    *value = parser.value(option).trimmed().toInt(&ok);
    if (ok && *value >= low && *value <= high)
        return true;
    std::fputs(qPrintable(QStringLiteral("quadrix-server: --%1 wants a number from %2 to %3\n")
                              .arg(option.names().constFirst())
                              .arg(low)
                              .arg(high)),
               stderr);
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quadrix-server"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.11"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Quadrix v1.11 table server: many tables of four seats on one port, without a window. Players join\n"
        "it from Connection > Connect (or quadrix-bot) as they join a player's table: each sits at the first\n"
        "public table with a free seat and no deal running (a new one opens when none has room), or at the\n"
        "table it names. A table's first deal starts two seconds after its fourth player sits down; the winner\n"
        "of a deal starts the next one, or the server does ten seconds after the deal ended. Computer players\n"
        "take the free seats of a table --bots-after seconds after a person sat down there; a person who comes\n"
        "later takes a computer player's seat between deals, and a table with no person left closes. One line\n"
        "per event goes to the standard output."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOpt(QStringLiteral("port"),
                                     QStringLiteral("Port to listen on; 0 picks a free one (default 110)."),
                                     QStringLiteral("port"), QStringLiteral("110"));
    const QCommandLineOption tablesOpt(QStringLiteral("tables"),
                                       QStringLiteral("Tables the server holds at most (default 64)."),
                                       QStringLiteral("N"), QStringLiteral("64"));
    const QCommandLineOption perAddressOpt(QStringLiteral("max-per-address"),
                                           QStringLiteral("Connections allowed from one address (default 8)."),
                                           QStringLiteral("N"), QStringLiteral("8"));
    const QCommandLineOption openPortOpt(QStringLiteral("open-port"),
                                         QStringLiteral("Ask the router (NAT-PMP or UPnP) to forward the port to this machine "
                                                        "while the server runs."));
    const QCommandLineOption botsAfterOpt(QStringLiteral("bots-after"),
                                          QStringLiteral("Seconds a table with a person and free seats waits before computer "
                                                         "players take them (default 30)."),
                                          QStringLiteral("S"), QStringLiteral("30"));
    const QCommandLineOption botLevelOpt(QStringLiteral("bot-level"),
                                         QStringLiteral("Strength of the computer players, 1 to 4 (default 4)."),
                                         QStringLiteral("L"), QStringLiteral("4"));
    const QCommandLineOption botDelayOpt(QStringLiteral("bot-delay"),
                                         QStringLiteral("Pause before each move of a computer player (default 1000 ms)."),
                                         QStringLiteral("MS"), QStringLiteral("1000"));
    const QCommandLineOption controlOpt(QStringLiteral("control-socket"),
                                        QStringLiteral("The operator's control socket (default: quadrix-server-PORT.sock in "
                                                       "$XDG_RUNTIME_DIR, or in /run/quadrix without it; empty: none)."),
                                        QStringLiteral("path"));
    const QCommandLineOption ctlOpt(QStringLiteral("ctl"),
                                    QStringLiteral("Send a command to the server running on that port or control socket and "
                                                   "print its answer: status, say TEXT, kick TABLE NICK, drain."));
    parser.addOptions({portOpt, tablesOpt, perAddressOpt, openPortOpt, botsAfterOpt, botLevelOpt, botDelayOpt, controlOpt, ctlOpt});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("With --ctl: the command and its arguments."),
                                 QStringLiteral("[COMMAND [ARGS]]"));
    parser.process(app);

    int port = 0;
    int tables = 0;
    int perAddress = 0;
    int botsAfter = 0;
    int botLevel = 0;
    int botDelay = 0;
    if (!numberOption(parser, portOpt, 0, 65535, &port) || !numberOption(parser, tablesOpt, 1, 10000, &tables) ||
        !numberOption(parser, perAddressOpt, 1, 10000, &perAddress) ||
        !numberOption(parser, botsAfterOpt, 0, 86400, &botsAfter) || !numberOption(parser, botLevelOpt, 1, 4, &botLevel) ||
        !numberOption(parser, botDelayOpt, 0, 60000, &botDelay))
        return 2;
    const auto controlPath = [&](int listening) {
        return parser.isSet(controlOpt) ? parser.value(controlOpt) : defaultControlSocketPath(listening);
    };
    if (parser.isSet(ctlOpt))
        return runServerControl(controlPath(port), parser.positionalArguments());
    if (!parser.positionalArguments().isEmpty()) {
        std::fputs("quadrix-server: a command needs --ctl before it\n", stderr);
        return 2;
    }

    TableServer server(tables, perAddress);
    ServerBots bots(server.tables());
    bots.setWaitMs(botsAfter * 1000);
    bots.setLevel(botLevel);
    bots.setMoveDelayMs(botDelay);
    QObject::connect(&server, &TableServer::noted, &server, &logLine);
    QObject::connect(&server, &TableServer::done, &app, &QCoreApplication::quit);
    if (!server.listen(port)) {
        std::fputs(qPrintable(QStringLiteral("quadrix-server: ") + server.errorText() + QLatin1Char('\n')), stderr);
        return 1;
    }
    logLine(QStringLiteral("Listening on port %1").arg(server.port()));
    ServerControl control(&server);
    if (const QString path = controlPath(server.port()); !path.isEmpty()) {
        if (!control.listen(path)) {
            std::fputs(qPrintable(QStringLiteral("quadrix-server: ") + control.errorText() + QLatin1Char('\n')), stderr);
            return 1;
        }
        logLine(QStringLiteral("Control socket %1").arg(control.path()));
    }
    // Destroyed after the event loop ends, also for a termination signal: the mapping goes with it.
    PortMapper mapper;
    if (parser.isSet(openPortOpt)) {
        QObject::connect(&mapper, &PortMapper::finished, &server, [&server](const PortMapResult &result) {
            logLine(hostingText(server.listener()->localAddress(), server.port(), result).trimmed());
        });
        mapper.open(quint16(server.port()));
    }
    watchTerminationSignals(&server, [&server] { server.shutDown(); });
    return app.exec();
}

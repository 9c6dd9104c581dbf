// quadrix-server: many tables without a window on one port. Players join it as they join a player's
// table; the server seats each at a table with room (or at the table it names), deals when a table
// is full and after each deal, and keeps every table running by itself.
#include "app/terminationsignals.h"
#include "portmap/hostingstatus.h"
#include "net/hublistener.h"
#include "portmap/portmapper.h"
#include "app/serverctl.h"
#include "server/serverbots.h"
#include "server/serverconfig.h"
#include "server/servercontrol.h"
#include "server/servertables.h"
#include "server/tableserver.h"
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <cstdio>

namespace {

LogLevel shownLevel = LogLevel::Info;

void logLine(const QString &line)
{
    const QString stamped = QDateTime::currentDateTime().toString(Qt::ISODate) + QLatin1Char(' ') + line;
    std::fputs(qPrintable(stamped + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

void logAt(const QString &line, LogLevel level)
{
    if (level <= shownLevel)
        logLine(line);
}

// What may change while the server runs, from the settings to the running server.
void applyLive(TableServer &server, const ServerConfig &config)
{
    shownLevel = config.logLevel;
    if (ServerBots *bots = server.tables()->bots()) {
        bots->setWaitMs(config.botsAfterS * 1000);
        bots->setLevel(config.botLevel);
        bots->setMoveDelayMs(config.botDelayMs);
    }
    server.setMaxPerAddress(config.maxPerAddress);
    server.setChatLimit(config.chatLines, config.chatWindowS * 1000);
    server.setGreeting(config.motd);
}

void reload(TableServer &server, ServerConfig &config)
{
    QStringList ignored;
    if (!config.reload(&ignored)) {
        logAt(QStringLiteral("The settings were not read again, nothing changed: ") + config.error(), LogLevel::Error);
        return;
    }
    applyLive(server, config);
    QString line = QStringLiteral("Settings read again from ") + (config.file().isEmpty() ? QStringLiteral("the command line") : config.file());
    if (!ignored.isEmpty())
        line += QStringLiteral("; a restart is needed for ") + ignored.join(QStringLiteral(", ")) + QStringLiteral(", kept as they were");
    logAt(line, ignored.isEmpty() ? LogLevel::Info : LogLevel::Warning);
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
        "of a deal starts the next one, or the server does ten seconds after the deal ended. One line per\n"
        "event goes to the standard output. Every option can also be set in the settings file; the command\n"
        "line wins. SIGHUP reads the file again."));
    parser.addHelpOption();
    parser.addVersionOption();
    ServerConfig::addOptions(parser);
    const QCommandLineOption ctlOpt(QStringLiteral("ctl"),
                                    QStringLiteral("Send a command to the running server's control socket (found from the same "
                                                   "settings) and print its answer: status, say TEXT, kick TABLE NICK, drain."));
    parser.addOption(ctlOpt);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("With --ctl: the command and its arguments."),
                                 QStringLiteral("[COMMAND [ARGS]]"));
    parser.process(app);

    ServerConfig config;
    if (!config.load(parser)) {
        std::fputs(qPrintable(QStringLiteral("quadrix-server: ") + config.error() + QLatin1Char('\n')), stderr);
        return 2;
    }
    if (parser.isSet(ctlOpt)) {
        // The socket of the server these settings describe: the first place where one exists.
        const QStringList places = config.controlSocketCandidates();
        QString path = places.value(0);
        for (const QString &place : places)
            if (QFileInfo::exists(place)) {
                path = place;
                break;
            }
        return runServerControl(path, parser.positionalArguments());
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fputs("quadrix-server: a command needs --ctl before it\n", stderr);
        return 2;
    }

    TableServer server(config.tables, config.maxPerAddress);
    // Destroyed before the server: its players leave the tables first.
    ServerBots bots(server.tables());
    applyLive(server, config);
    QObject::connect(&server, &TableServer::noted, &server, &logAt);
    QObject::connect(&server, &TableServer::done, &app, &QCoreApplication::quit);
    if (!server.listen(config.port, config.bindAddress())) {
        std::fputs(qPrintable(QStringLiteral("quadrix-server: ") + server.errorText() + QLatin1Char('\n')), stderr);
        return 1;
    }
    // Always shown: it says where players find the server.
    logLine(config.bind.isEmpty() ? QStringLiteral("Listening on port %1").arg(server.port())
                                  : QStringLiteral("Listening on %1 port %2").arg(config.bind).arg(server.port()));
    ServerControl control(&server);
    if (const QString path = config.controlSocketCandidates(server.port()).value(0); !path.isEmpty()) {
        if (!control.listen(path)) {
            std::fputs(qPrintable(QStringLiteral("quadrix-server: ") + control.errorText() + QLatin1Char('\n')), stderr);
            return 1;
        }
        logLine(QStringLiteral("Control socket %1").arg(control.path()));
    }
    if (!config.file().isEmpty())
        logAt(QStringLiteral("Settings from ") + config.file(), LogLevel::Info);
    // Destroyed after the event loop ends, also for a termination signal: the mapping goes with it.
    PortMapper mapper;
    if (config.openPort) {
        QObject::connect(&mapper, &PortMapper::finished, &server, [&server](const PortMapResult &result) {
            logLine(hostingText(server.listener()->localAddress(), server.port(), result).trimmed());
        });
        mapper.open(quint16(server.port()));
    }
    watchTerminationSignals(&server, [&server] { server.shutDown(); });
    watchReloadSignal(&server, [&server, &config] { reload(server, config); });
    return app.exec();
}

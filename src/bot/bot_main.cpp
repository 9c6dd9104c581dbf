// quadrix-bot: computer players that join a hosted table as any player's copy does.
#include "bot/botplayer.h"
#include "client/clienttable.h"
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>
#include <memory>
#include <vector>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quadrix-bot"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.11"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Computer players for a Quadrix table: each joins the host as a player's copy does, plays its "
        "turns after a short pause, and asks for the next deal when it has won one. The program ends "
        "when every player it started has left the table; its exit code is 1 when none of them was ever "
        "seated."));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption hostOpt(QStringLiteral("host"), QStringLiteral("Address or name of the host (default 127.0.0.1)."),
                               QStringLiteral("host"), QStringLiteral("127.0.0.1"));
    QCommandLineOption portOpt(QStringLiteral("port"), QStringLiteral("Port the host listens on (default 110)."),
                               QStringLiteral("port"), QStringLiteral("110"));
    QCommandLineOption nickOpt(QStringLiteral("nick"),
                               QStringLiteral("Nick of the player; with --count above 1 a number is added to it "
                                              "(default Bot)."),
                               QStringLiteral("nick"), QStringLiteral("Bot"));
    QCommandLineOption countOpt(QStringLiteral("count"), QStringLiteral("Number of players to start, 1 to 3 (default 1)."),
                                QStringLiteral("n"), QStringLiteral("1"));
    QCommandLineOption levelOpt(QStringLiteral("level"),
                                QStringLiteral("Strength: 1 plays greedily, 2 plans its hand, 3 also counts cards "
                                               "and looks ahead, 4 searches sampled deals for about 150 ms a move "
                                               "(default %1).")
                                    .arg(TBotPlayer::kDefaultLevel),
                                QStringLiteral("level"), QString::number(TBotPlayer::kDefaultLevel));
    QCommandLineOption delayOpt(QStringLiteral("delay"),
                                QStringLiteral("Pause before each move in milliseconds (default 1000)."),
                                QStringLiteral("ms"), QStringLiteral("1000"));
    QCommandLineOption nextOpt(QStringLiteral("next-deal-delay"),
                               QStringLiteral("Pause before asking for the next deal after a win, in milliseconds "
                                              "(default 4000)."),
                               QStringLiteral("ms"), QStringLiteral("4000"));
    QCommandLineOption quietOpt(QStringLiteral("quiet"), QStringLiteral("Print only why each player left."));
    parser.addOptions({hostOpt, portOpt, nickOpt, countOpt, levelOpt, delayOpt, nextOpt, quietOpt});
    parser.process(app);

    QTextStream err(stderr);
    auto number = [&](const QCommandLineOption &opt, int low, int high, int *out) {
        bool ok = false;
        const int v = parser.value(opt).trimmed().toInt(&ok);
        if (!ok || v < low || v > high) {
            err << "quadrix-bot: --" << opt.names().first() << " wants a number from " << low << " to " << high
                << "\n";
            return false;
        }
        *out = v;
        return true;
    };
    int port = 0, count = 0, level = 0, delay = 0, nextDelay = 0;
    if (!number(portOpt, 1, 65535, &port) || !number(countOpt, 1, 3, &count) || !number(levelOpt, 1, 4, &level)
        || !number(delayOpt, 0, 600000, &delay) || !number(nextOpt, 0, 600000, &nextDelay))
        return 2;
    const QString host = parser.value(hostOpt).trimmed();
    const QString nick = parser.value(nickOpt).trimmed();
    if (host.isEmpty() || nick.isEmpty()) {
        err << "quadrix-bot: --host and --nick must not be empty\n";
        return 2;
    }
    const bool quiet = parser.isSet(quietOpt);

    std::vector<std::unique_ptr<TBotPlayer>> bots;
    int running = count;
    bool anySeated = false;
    for (int i = 0; i < count; ++i) {
        const QString name = count == 1 ? nick : nick + QString::number(i + 1);
        auto bot = std::make_unique<TBotPlayer>(host, port, name, level, delay);
        bot->setNextDealDelay(nextDelay);
        TBotPlayer *b = bot.get();
        if (!quiet)
            QObject::connect(b, &TBotPlayer::note, [&err](const QString &text) {
                err << text << "\n";
                err.flush();
            });
        QObject::connect(b, &TBotPlayer::seated, &app, [&anySeated] { anySeated = true; });
        QObject::connect(b->table(), &ClientTable::dealChecked, &app, [b](const QString &line) {
            QTextStream out(stdout);
            out << b->nick() << ": " << line << "\n";
        });
        QObject::connect(b, &TBotPlayer::finished, &app, [&, b](const QString &reason) {
            if (quiet)
                err << b->nick() << ":" << reason << "\n";
            err << b->nick() << ": won " << b->dealsWon() << " of " << b->dealsPlayed() << " deals, credit "
                << b->credit() << "\n";
            err.flush();
            if (--running == 0)
                QTimer::singleShot(0, &app, &QCoreApplication::quit);
        });
        // one after another, so the host seats them in a steady order
        QTimer::singleShot(300 * i, b, &TBotPlayer::start);
        bots.push_back(std::move(bot));
    }
    const int rc = app.exec();
    // no player ever sat down: the host was not there or refused them all
    return rc != 0 ? rc : (anySeated ? 0 : 1);
}

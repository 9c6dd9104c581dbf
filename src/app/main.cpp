// Quadrix: opens the table window and runs until it is closed.
#include "ui/mainfrm.h"
#include "ui/pictures.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <csignal>
#include <cstdio>
#include <optional>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

// Only async-signal-safe work here: the message loop picks the byte up.
void onTerminate(int)
{
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[0], &b, 1);
}

void watchTerminationSignals(TmainFrm &window)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    ::fcntl(signalPipe[0], F_SETFL, O_NONBLOCK);
    ::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
    auto *notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char buf[16];
        while (::read(signalPipe[1], buf, sizeof buf) > 0) {
        }
        window.closeUnattended(); // like the close button (the settings are saved), but without a box
    });
    struct sigaction sa = {};
    sa.sa_handler = onTerminate;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
}

// --help and --version are answered on the terminal, without a display; every other argument is
// ignored as before. The exit code when the program is to end here.
std::optional<int> answerCommandLine(int argc, char *argv[])
{
    if (argc < 2)
        return std::nullopt;
    QCoreApplication app(argc, argv); // the parser takes the program's name from it
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Quadrix v1.11: a card game for four players at one table over TCP. One copy hosts the table,\n"
        "the others join it (Connection > Connect); computer players fill empty seats.\n\n"
        "The nick, host and port are kept in Quadrix.INI beside the program, or, when that folder\n"
        "cannot be written, in %1.")
                                         .arg(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.parse(QCoreApplication::arguments());
    // The toolkit's own options are not taken either: --help-all shows the same.
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::fputs("Quadrix v1.11\n", stdout);
        return 0;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("quadrix")); // names the user's folders
    if (const std::optional<int> answered = answerCommandLine(argc, argv))
        return *answered;

    // Only the program name reaches the toolkit: arguments change nothing.
    int qtArgc = argc > 0 ? 1 : 0;
    char *qtArgv[] = {argc > 0 ? argv[0] : nullptr, nullptr};
    QApplication app(qtArgc, qtArgv);
    QGuiApplication::setDesktopFileName(QStringLiteral(QUADRIX_APP_ID));
    QApplication::setApplicationDisplayName(QStringLiteral("Quadrix v1.11"));
    QApplication::setWindowIcon(windowIcon());

    TmainFrm window; // creates the settings dialog as well
    watchTerminationSignals(window);

    window.adjustSize();
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
    window.show();
    const int rc = app.exec();
    window.FormDestroy(); // already done by the close; here for a loop ended otherwise
    return rc;
}

// Quadrix: opens the table window and runs until it is closed.
#include "ui/mainfrm.h"
#include "ui/pictures.h"
#include "app/terminationsignals.h"
#include "portmap/invitation.h"
#include "ui/frmsetting.h"
#include "ui/invitationinput.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <optional>

namespace {

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
    parser.addPositionalArgument(QStringLiteral("invitation"),
                                 QStringLiteral("A quadrix://HOST:PORT link: opens the connection dialog filled in."),
                                 QStringLiteral("[quadrix://HOST:PORT]"));
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

// The first argument that is meant as an invitation link (a click on a link passes it so).
QString invitationArgument(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i)
        if (const QString arg = QString::fromLocal8Bit(argv[i]); looksLikeInvitation(arg))
            return arg;
    return {};
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
    // Like the close button (the settings are saved), but without a box.
    watchTerminationSignals(&window, [&window] { window.closeUnattended(); });

    window.adjustSize();
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
    window.show();
    // After the settings are loaded on the first show, so the link's host and port stay in the dialog.
    if (const QString link = invitationArgument(argc, argv); !link.isEmpty())
        QTimer::singleShot(0, &window, [&window, link] { window.frmSetting->invitationInput->open(link); });
    const int rc = app.exec();
    window.FormDestroy(); // already done by the close; here for a loop ended otherwise
    return rc;
}

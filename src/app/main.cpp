// Quadrix: opens the table window and runs until it is closed.
#include "ui/mainfrm.h"
#include "ui/pictures.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>

#include <csignal>
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
        window.close(); // a signal ends the program like the close button: the settings are saved
    });
    struct sigaction sa = {};
    sa.sa_handler = onTerminate;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
}

} // namespace

int main(int argc, char *argv[])
{
    // The program takes no parameters: only the program name reaches the toolkit.
    int qtArgc = argc > 0 ? 1 : 0;
    char *qtArgv[] = {argc > 0 ? argv[0] : nullptr, nullptr};
    QApplication app(qtArgc, qtArgv);
    QApplication::setApplicationName(QStringLiteral("Quadrix v1.11"));
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

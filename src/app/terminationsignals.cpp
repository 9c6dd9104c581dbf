#include "app/terminationsignals.h"
#include <QHash>
#include <QPointer>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

struct Watch {
    QPointer<QObject> context;
    std::function<void()> handler;
};

QHash<int, Watch> &watches()
{
    static QHash<int, Watch> all;
    return all;
}

// Only async-signal-safe work here: the event loop picks the signal's number up.
void onSignal(int signal)
{
    const char b = char(signal);
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[0], &b, 1);
}

bool openPipe(QObject *context)
{
    if (signalPipe[0] >= 0)
        return true;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return false;
    ::fcntl(signalPipe[0], F_SETFL, O_NONBLOCK);
    ::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
    auto *notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [] {
        char buf[16];
        ssize_t n = 0;
        while ((n = ::read(signalPipe[1], buf, sizeof buf)) > 0)
            for (ssize_t i = 0; i < n; ++i) {
                // Copied: a handler may watch another signal.
                const Watch w = watches().value(buf[i]);
                if (w.context && w.handler)
                    w.handler();
            }
    });
    return true;
}

void watch(QObject *context, std::initializer_list<int> numbers, std::function<void()> handler)
{
    if (!openPipe(context))
        return;
    for (int signal : numbers) {
        watches().insert(signal, Watch{context, handler});
        struct sigaction sa = {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        ::sigaction(signal, &sa, nullptr);
    }
}

} // namespace

void watchTerminationSignals(QObject *context, std::function<void()> handler)
{
    watch(context, {SIGTERM, SIGINT}, std::move(handler));
}

void watchReloadSignal(QObject *context, std::function<void()> handler)
{
    watch(context, {SIGHUP}, std::move(handler));
}

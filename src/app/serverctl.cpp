#include "app/serverctl.h"
#include "server/servercommands.h"
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <cstdio>

namespace {
constexpr int kConnectMs = 2000;
constexpr int kAnswerMs = 10000;

int failWith(int status, const QString &line)
{
    std::fputs(qPrintable(QStringLiteral("quadrix-server: ") + line + QLatin1Char('\n')), stderr);
    return status;
}
} // namespace

int runServerControl(const QString &socketPath, const QStringList &words)
{
    const QString line = controlLine(words);
    QString why;
    // Checked here as well: a mistyped command fails without a server.
    if (!parseControlCommand(line, &why))
        return failWith(2, why);
    if (socketPath.isEmpty())
        return failWith(1, QStringLiteral("no control socket: give --control-socket PATH"));
    if (!QFileInfo::exists(socketPath))
        return failWith(1, QStringLiteral("no server: %1 does not exist").arg(socketPath));
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(kConnectMs))
        return failWith(1, QStringLiteral("no server answers on %1: %2").arg(socketPath, socket.errorString()));
    socket.write(line.toUtf8() + '\n');
    socket.flush();
    // The server closes the connection after its answer.
    QByteArray reply;
    const QDeadlineTimer deadline(kAnswerMs);
    while (!deadline.hasExpired() && socket.waitForReadyRead(int(deadline.remainingTime())))
        reply += socket.readAll();
    reply += socket.readAll();
    const ControlAnswer answer = decodeControlAnswer(reply);
    if (!answer.ok)
        return failWith(1, answer.text);
    std::fputs(qPrintable(answer.text + QLatin1Char('\n')), stdout);
    return 0;
}

#include "server/servercontrol.h"
#include "server/servercommands.h"
#include "server/tableserver.h"
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
constexpr qint64 kMaxLineBytes = 4096;
constexpr int kClientWaitMs = 5000;

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Whether something accepts connections on that socket now (a stale one refuses them).
bool answers(const QByteArray &path, int *error)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    *error = connected ? 0 : errno;
    ::close(fd);
    return connected;
}
} // namespace

ServerControl::ServerControl(TableServer *server, QObject *parent)
    : QObject(parent), m_server(server), m_local(new QLocalServer(this))
{
    connect(m_local, &QLocalServer::newConnection, this, &ServerControl::onNewConnection);
}

ServerControl::~ServerControl()
{
    // Removes the socket file: the next server finds the place free.
    m_local->close();
}

bool ServerControl::fail(const QString &why)
{
    m_error = why;
    return false;
}

bool ServerControl::listen(const QString &path)
{
    m_path = QFileInfo(path).absoluteFilePath();
    const QByteArray file = QFile::encodeName(m_path);
    const QByteArray folder = QFile::encodeName(QFileInfo(m_path).absolutePath());
    if (file.size() >= qsizetype(sizeof(sockaddr_un::sun_path)))
        return fail(QStringLiteral("the control socket's path %1 is too long").arg(m_path));

    struct stat st = {};
    if (::stat(folder.constData(), &st) != 0 && (errno != ENOENT || ::mkdir(folder.constData(), 0700) != 0 ||
                                                  ::stat(folder.constData(), &st) != 0))
        return fail(QStringLiteral("cannot make the folder %1: %2").arg(QFile::decodeName(folder), systemError()));
    if (!S_ISDIR(st.st_mode))
        return fail(QStringLiteral("%1 is no folder").arg(QFile::decodeName(folder)));
    if (st.st_uid != ::geteuid() && st.st_uid != 0)
        return fail(QStringLiteral("the folder %1 belongs to another user").arg(QFile::decodeName(folder)));
    // In a sticky folder others may not remove or rename what is ours.
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) && !(st.st_mode & S_ISVTX))
        return fail(QStringLiteral("others may write to the folder %1").arg(QFile::decodeName(folder)));

    if (::lstat(file.constData(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode))
            return fail(QStringLiteral("%1 is in the way and is no socket").arg(m_path));
        int error = 0;
        if (answers(file, &error))
            return fail(QStringLiteral("another server answers on %1").arg(m_path));
        if (st.st_uid != ::geteuid() || error != ECONNREFUSED)
            return fail(QStringLiteral("the socket %1 is in the way and is not ours to remove").arg(m_path));
        // Left behind by a server that ended without closing it.
        QLocalServer::removeServer(m_path);
    }
    m_local->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_local->listen(m_path))
        return fail(QStringLiteral("cannot listen on %1: %2").arg(m_path, m_local->errorString()));
    if (::chmod(file.constData(), S_IRUSR | S_IWUSR) != 0) {
        m_local->close();
        return fail(QStringLiteral("cannot make %1 private: %2").arg(m_path, systemError()));
    }
    return true;
}

void ServerControl::onNewConnection()
{
    while (QLocalSocket *socket = m_local->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadable(socket); });
        // A client that says nothing does not keep its connection.
        QTimer::singleShot(kClientWaitMs, socket, [socket] { socket->abort(); });
    }
}

void ServerControl::onReadable(QLocalSocket *socket)
{
    if (socket->state() != QLocalSocket::ConnectedState)
        return;
    const ControlAnswer tooLong{false, QStringLiteral("a command is one line of at most %1 bytes").arg(kMaxLineBytes)};
    ControlAnswer answer;
    if (socket->canReadLine()) {
        const QByteArray line = socket->readLine(kMaxLineBytes + 1);
        answer = line.endsWith('\n') ? runControlLine(*m_server, QString::fromUtf8(line).trimmed()) : tooLong;
    } else if (socket->bytesAvailable() > kMaxLineBytes) {
        answer = tooLong;
    } else {
        return;
    }
    socket->write(encodeControlAnswer(answer));
    socket->disconnectFromServer();
}

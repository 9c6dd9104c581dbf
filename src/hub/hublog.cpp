#include "hub/hublog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QStandardPaths>
#include <QTime>

namespace {

// False when the file could not be opened; a failed write is not retried elsewhere.
bool appendLine(const QString &path, const QByteArray &line)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return false;
    file.write(line);
    return true;
}

} // namespace

void AppendLog(const QString &fileName, const QString &entry)
{
    // The log is a by-product: whatever goes wrong here must not reach the caller.
    if (fileName.isEmpty())
        return;
    const QString line = QLatin1Char('[') + QTime::currentTime().toString(QStringLiteral("hh:mm:ss"))
                         + QStringLiteral("] ") + entry + QLatin1Char('\n');
    const QByteArray bytes = line.toLatin1();
    if (appendLine(fileName, bytes) || !QFileInfo(fileName).isRelative())
        return;
    // The working folder cannot be written (an installed program started from a system folder).
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (!userFolder.isEmpty() && QDir().mkpath(userFolder))
        appendLine(QDir(userFolder).filePath(fileName), bytes);
}

QString LogLine(const char *kind, QStringList fields)
{
    static const QString hidden = QStringLiteral("********");
    const QString tag = fields.value(0);
    const int secret = tag == QLatin1String("[SEATKEY]") ? 1 : tag == QLatin1String("[REJOIN]") ? 2 : 0;
    if (secret > 0 && secret < fields.size() && !fields.at(secret).isEmpty())
        fields[secret] = hidden;
    return QLatin1String(kind) + fields.join(QLatin1Char(','));
}

QString SocketErrorText(int kind)
{
    switch (kind) {
    case eeGeneral:
        return QStringLiteral("The socket received an error message that does not"
                              " fit into any of the following categories.");
    case eeSend:
        return QStringLiteral("An error occurred when trying to write to the socket connection.");
    case eeReceive:
        return QStringLiteral("An error occurred when trying to read from the socket connection.");
    case eeConnect:
        return QStringLiteral("A connection request that was already accepted could not be completed.");
    case eeDisconnect:
        return QStringLiteral("An error occurred when trying to close a connection.");
    case eeAccept:
        return QStringLiteral("A problem occurred when trying to accept a client connection request.");
    default:
        return QString();
    }
}

QString PreferredLocalAddress(const QStringList &addresses)
{
    // Private ranges are told by their first digits only, as the users know them.
    static const char *const skipped[] = {"10.", "172.", "192."};
    QString last;
    for (const QString &address : addresses) {
        last = address;
        bool skip = false;
        for (const char *prefix : skipped)
            skip = skip || address.startsWith(QLatin1String(prefix));
        if (!skip)
            break;
    }
    return last;
}

namespace {

QStringList systemAddresses()
{
    QStringList list;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &iface : interfaces) {
        const auto flags = iface.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning)
            || (flags & QNetworkInterface::IsLoopBack))
            continue;
        const auto entries = iface.addressEntries();
        for (const QNetworkAddressEntry &entry : entries) {
            const QHostAddress ip = entry.ip();
            if (ip.protocol() == QAbstractSocket::IPv4Protocol && !ip.isLoopback())
                list.append(ip.toString());
        }
    }
    // A machine without a network still has itself to show.
    if (list.isEmpty())
        list.append(QStringLiteral("127.0.0.1"));
    return list;
}

std::function<QStringList()> &provider()
{
    static std::function<QStringList()> p = systemAddresses;
    return p;
}

} // namespace

QString PreferredLocalAddress() { return PreferredLocalAddress(provider()()); }

void setLocalAddressProvider(std::function<QStringList()> p)
{
    provider() = p ? std::move(p) : std::function<QStringList()>(systemAddresses);
}

int SocketErrorKindOf(QAbstractSocket::SocketError error, bool wasConnected)
{
    switch (error) {
    case QAbstractSocket::RemoteHostClosedError:
        return -1;
    case QAbstractSocket::HostNotFoundError:
        return eeLookup;
    case QAbstractSocket::ConnectionRefusedError:
    case QAbstractSocket::ProxyConnectionRefusedError:
    case QAbstractSocket::ProxyConnectionClosedError:
    case QAbstractSocket::ProxyConnectionTimeoutError:
    case QAbstractSocket::ProxyNotFoundError:
    case QAbstractSocket::ProxyAuthenticationRequiredError:
    case QAbstractSocket::ProxyProtocolError:
        return eeConnect;
    case QAbstractSocket::SocketTimeoutError:
    case QAbstractSocket::NetworkError:
        return wasConnected ? eeReceive : eeConnect;
    case QAbstractSocket::DatagramTooLargeError:
        return eeSend;
    default:
        return eeGeneral;
    }
}

#include "portmap/invitation.h"
#include <QHostAddress>
#include <QRegularExpression>

namespace {

const QString kScheme = QStringLiteral("quadrix://");
constexpr int kTableNameLimit = 32;

std::optional<Invitation> refuse(QString *why, const QString &text)
{
    if (why)
        *why = text;
    return std::nullopt;
}

} // namespace

QString invitationLink(const Invitation &inv)
{
    const bool v6 = inv.host.contains(QLatin1Char(':'));
    QString link = kScheme + (v6 ? QLatin1Char('[') + inv.host + QLatin1Char(']') : inv.host) + QLatin1Char(':')
                 + QString::number(inv.port);
    if (!inv.table.isEmpty())
        link += QLatin1Char('/') + inv.table;
    return link;
}

bool looksLikeInvitation(const QString &text)
{
    return text.trimmed().startsWith(QStringLiteral("quadrix:"), Qt::CaseInsensitive);
}

std::optional<Invitation> parseInvitation(const QString &link, QString *why)
{
    const QString text = link.trimmed();
    if (!text.startsWith(kScheme, Qt::CaseInsensitive))
        return refuse(why, QStringLiteral("An invitation starts with quadrix://"));
    QString rest = text.mid(kScheme.size());
    Invitation inv;

    // The host: [IPv6] or a name / IPv4 address up to the colon before the port.
    qsizetype hostEnd = 0;
    if (rest.startsWith(QLatin1Char('['))) {
        hostEnd = rest.indexOf(QLatin1Char(']'));
        if (hostEnd < 0)
            return refuse(why, QStringLiteral("The IPv6 address of the invitation has no closing bracket."));
        inv.host = rest.mid(1, hostEnd - 1);
        if (QHostAddress(inv.host).protocol() != QAbstractSocket::IPv6Protocol || inv.host.contains(QLatin1Char('%')))
            return refuse(why, QStringLiteral("The address in brackets is not an IPv6 address."));
        ++hostEnd;
    } else {
        if (rest.section(QLatin1Char('/'), 0, 0).count(QLatin1Char(':')) > 1)
            return refuse(why, QStringLiteral("An IPv6 address goes in brackets: quadrix://[ADDRESS]:PORT"));
        hostEnd = rest.indexOf(QLatin1Char(':'));
        if (hostEnd < 0)
            return refuse(why, QStringLiteral("The invitation names no port (quadrix://HOST:PORT)."));
        inv.host = rest.left(hostEnd);
        static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?"
                                                            "(\\.[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?)*$"));
        if (inv.host.isEmpty())
            return refuse(why, QStringLiteral("The invitation names no host."));
        if (!name.match(inv.host).hasMatch())
            return refuse(why, QStringLiteral("The host of the invitation is neither a name nor an address."));
        if (inv.host.size() > 253)
            return refuse(why, QStringLiteral("The host name of the invitation is too long."));
    }
    rest = rest.mid(hostEnd);
    if (!rest.startsWith(QLatin1Char(':')))
        return refuse(why, rest.isEmpty() ? QStringLiteral("The invitation names no port (quadrix://HOST:PORT).")
                                          : QStringLiteral("An IPv6 address goes in brackets: quadrix://[ADDRESS]:PORT"));
    rest = rest.mid(1);

    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    const QString port = slash < 0 ? rest : rest.left(slash);
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    static const QRegularExpression trailing(QStringLiteral("^[0-9]+[?#]"));
    if (trailing.match(port).hasMatch())
        return refuse(why, QStringLiteral("The invitation has more parts than quadrix://HOST:PORT/TABLE."));
    if (!digits.match(port).hasMatch() || port.toInt() < 1 || port.toInt() > 65535)
        return refuse(why, QStringLiteral("The port of the invitation must be a number from 1 to 65535."));
    inv.port = port.toInt();

    if (slash >= 0) {
        inv.table = rest.mid(slash + 1);
        static const QRegularExpression tableName(QStringLiteral("^[A-Za-z0-9_-]+$"));
        if (inv.table.contains(QLatin1Char('/')) || inv.table.contains(QLatin1Char('?'))
            || inv.table.contains(QLatin1Char('#')))
            return refuse(why, QStringLiteral("The invitation has more parts than quadrix://HOST:PORT/TABLE."));
        if (!tableName.match(inv.table).hasMatch() || inv.table.size() > kTableNameLimit)
            return refuse(why, QStringLiteral("A table name holds only letters, digits, - and _ (at most %1).")
                                   .arg(kTableNameLimit));
    }
    return inv;
}

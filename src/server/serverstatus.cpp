#include "server/serverstatus.h"
#include "host/tablehost.h"
#include "server/serverbots.h"
#include "server/servertables.h"
#include "server/tableserver.h"
#include <QJsonArray>

namespace {
QString phaseName(TableHost::Phase phase)
{
    switch (phase) {
    case TableHost::Phase::Waiting:
        return QStringLiteral("waiting");
    case TableHost::Phase::Playing:
        return QStringLiteral("playing");
    case TableHost::Phase::DealOver:
        return QStringLiteral("deal over");
    }
    return {};
}

QJsonObject tableStatus(const TableServer &server, const TableHost *host)
{
    QJsonArray seats;
    for (int s = 1; s <= 4; ++s) {
        const TuserRec &u = host->roster().user(s);
        if (u.nick.isEmpty() || u.port < 0)
            continue;
        const ServerBots *bots = server.tables()->bots();
        const bool computer = bots && bots->isComputer(host, s);
        seats.append(QJsonObject{{QStringLiteral("seat"), s},
                                 {QStringLiteral("nick"), u.nick},
                                 {QStringLiteral("address"), u.IP},
                                 {QStringLiteral("credits"), u.credit},
                                 {QStringLiteral("away"), u.away},
                                 {QStringLiteral("player"), computer ? QStringLiteral("computer") : QStringLiteral("person")}});
    }
    return QJsonObject{{QStringLiteral("name"), server.tables()->nameOf(host)},
                       {QStringLiteral("phase"), phaseName(host->phase())},
                       {QStringLiteral("deals"), host->dealsStarted()},
                       {QStringLiteral("seats"), seats}};
}
} // namespace

QJsonObject serverStatus(const TableServer &server)
{
    QJsonArray tables;
    for (const TableHost *host : server.tables()->hosts())
        tables.append(tableStatus(server, host));
    return QJsonObject{
        {QStringLiteral("port"), server.port()},
        {QStringLiteral("uptime"), server.uptimeMs() / 1000},
        {QStringLiteral("draining"), server.draining()},
        {QStringLiteral("connections"), server.connectionCount()},
        {QStringLiteral("tables"), tables},
        {QStringLiteral("peaks"), QJsonObject{{QStringLiteral("tables"), server.tables()->peak()},
                                              {QStringLiteral("connections"), server.peakConnections()}}}};
}

#pragma once
// What a server is doing, for its operator: uptime, every table with its seats, connections and peaks.
#include <QJsonObject>

class TableServer;

QJsonObject serverStatus(const TableServer &server);

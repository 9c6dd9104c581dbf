#include "server/servercommands.h"
#include "host/tablehost.h"
#include "server/servertables.h"
#include "server/serverstatus.h"
#include "server/tableserver.h"
#include <QJsonDocument>

namespace {
const QString kUsage = QStringLiteral("commands: status, say TEXT, kick TABLE NICK, drain");

// The first word and the rest of the text, both trimmed.
std::pair<QString, QString> firstWord(const QString &text)
{
    const QString t = text.trimmed();
    const qsizetype blank = t.indexOf(QLatin1Char(' '));
    if (blank < 0)
        return {t, {}};
    return {t.left(blank), t.mid(blank + 1).trimmed()};
}

std::optional<ControlCommand> failed(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return std::nullopt;
}
} // namespace

std::optional<ControlCommand> parseControlCommand(const QString &line, QString *error)
{
    for (const QChar c : line)
        if (c.category() == QChar::Other_Control)
            return failed(error, QStringLiteral("a command is one line of printable text"));
    const auto [word, rest] = firstWord(line);
    ControlCommand c;
    if (word == QLatin1String("status") || word == QLatin1String("drain")) {
        if (!rest.isEmpty())
            return failed(error, word + QStringLiteral(" takes no arguments"));
        c.kind = word == QLatin1String("status") ? ControlCommand::Kind::Status : ControlCommand::Kind::Drain;
    } else if (word == QLatin1String("say")) {
        if (rest.isEmpty())
            return failed(error, QStringLiteral("say wants a text: say TEXT"));
        c.kind = ControlCommand::Kind::Say;
        c.text = rest;
    } else if (word == QLatin1String("kick")) {
        const auto [table, nick] = firstWord(rest);
        if (table.isEmpty() || nick.isEmpty())
            return failed(error, QStringLiteral("kick wants a table and a nick: kick TABLE NICK"));
        c.kind = ControlCommand::Kind::Kick;
        c.table = table;
        c.text = nick;
    } else if (word.isEmpty()) {
        return failed(error, QStringLiteral("no command; ") + kUsage);
    } else {
        return failed(error, QStringLiteral("unknown command \"%1\"; ").arg(word) + kUsage);
    }
    return c;
}

QString controlLine(const QStringList &words)
{
    return words.join(QLatin1Char(' '));
}

ControlAnswer runControlCommand(TableServer &server, const ControlCommand &command)
{
    const QList<TableHost *> hosts = server.tables()->hosts();
    switch (command.kind) {
    case ControlCommand::Kind::Status:
        return {true, QString::fromUtf8(QJsonDocument(serverStatus(server)).toJson(QJsonDocument::Indented)).trimmed()};
    case ControlCommand::Kind::Say:
        for (TableHost *host : hosts)
            host->announce(QStringLiteral("[*] ") + command.text);
        emit server.noted(QStringLiteral("Said to every table: %1").arg(command.text));
        return {true, QStringLiteral("said at %1 tables").arg(hosts.size())};
    case ControlCommand::Kind::Kick:
        if (!server.tables()->find(command.table))
            return {false, QStringLiteral("no table is named %1").arg(command.table)};
        if (!server.kick(command.table, command.text))
            return {false, QStringLiteral("nobody named %1 sits at %2").arg(command.text, command.table)};
        return {true, QStringLiteral("%1 was sent away from %2").arg(command.text, command.table)};
    case ControlCommand::Kind::Drain: {
        qsizetype busy = 0;
        for (const TableHost *host : hosts)
            busy += host->idle() ? 0 : 1;
        server.drain();
        return {true, QStringLiteral("draining: the server ends when the deals under way at %1 tables are over").arg(busy)};
    }
    }
    return {false, kUsage};
}

ControlAnswer runControlLine(TableServer &server, const QString &line)
{
    QString error;
    const std::optional<ControlCommand> command = parseControlCommand(line, &error);
    if (!command)
        return {false, error};
    return runControlCommand(server, *command);
}

QByteArray encodeControlAnswer(const ControlAnswer &answer)
{
    return (answer.ok ? QByteArrayLiteral("ok\n") : QByteArrayLiteral("error\n")) + answer.text.toUtf8() + '\n';
}

ControlAnswer decodeControlAnswer(const QByteArray &bytes)
{
    const qsizetype eol = bytes.indexOf('\n');
    const QByteArray head = eol < 0 ? bytes : bytes.left(eol);
    if (head != "ok" && head != "error")
        return {false, QStringLiteral("the server gave no answer")};
    return {head == "ok", QString::fromUtf8(bytes.mid(eol + 1)).trimmed()};
}

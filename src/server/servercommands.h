#pragma once
// The operator's commands, one line each over the control socket: "status", "say TEXT",
// "kick TABLE NICK" (the nick is the rest of the line, blanks and all) and "drain".
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

class TableServer;

struct ControlCommand
{
    enum class Kind { Status, Say, Kick, Drain };
    Kind kind = Kind::Status;
    QString table; // kick
    QString text;  // say: the line; kick: the nick
};

// The command a line asks for; nullopt with *error set when it asks for none.
std::optional<ControlCommand> parseControlCommand(const QString &line, QString *error);
// The line that a command's words on the command line make.
QString controlLine(const QStringList &words);

struct ControlAnswer
{
    bool ok = false;
    QString text;
};
ControlAnswer runControlCommand(TableServer &server, const ControlCommand &command);
ControlAnswer runControlLine(TableServer &server, const QString &line);

// On the socket: "ok" or "error", a line feed, then the text.
QByteArray encodeControlAnswer(const ControlAnswer &answer);
ControlAnswer decodeControlAnswer(const QByteArray &bytes);

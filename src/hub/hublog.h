#pragma once
// The hub's optional message log, socket error texts and the address shown to the user.
#include <QAbstractSocket>
#include <QString>
#include <QStringList>
#include <functional>

// Appends "[hh:mm:ss] " + entry to the file; a failure is swallowed and never stops a message.
// A file named without a folder that cannot be written in the working folder goes to the user's
// data folder (QStandardPaths::AppLocalDataLocation).
void AppendLog(const QString &fileName, const QString &entry);
QString SocketErrorText(int kind);
// A message as the log shows it: the tag, then the values, comma-separated. A seat key never
// reaches a log: the value of "[SEATKEY]" and the key of "[REJOIN]" are blanked out.
QString LogLine(const char *kind, QStringList fields);

enum SocketErrorKind { eeGeneral = 0, eeSend = 1, eeReceive = 2, eeConnect = 3, eeDisconnect = 4, eeAccept = 5, eeLookup = 6 };
// The kind of a socket's error; -1 for a peer that closed in the ordinary way, which is no error.
int SocketErrorKindOf(QAbstractSocket::SocketError error, bool wasConnected);

// Skips addresses beginning "10.", "172." or "192." and answers the first other one,
// else the last of the list, else "".
QString PreferredLocalAddress(const QStringList &addresses);
QString PreferredLocalAddress();
// The machine's IPv4 addresses in the order the system lists them; replaceable for tests
// (an empty function puts the system's list back).
void setLocalAddressProvider(std::function<QStringList()> provider);

#pragma once
// quadrix-server --ctl COMMAND [ARGS]: one command to a running server over its control socket.
#include <QString>
#include <QStringList>

// Prints the answer on the standard output (an error, in one line, on the standard error) and
// returns the exit status: 0 done, 1 the server refused it or none answers, 2 no such command or
// arguments missing.
int runServerControl(const QString &socketPath, const QStringList &words);

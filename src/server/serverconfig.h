#pragma once
// The settings of quadrix-server: an INI file (section [server]) read first, then the command line
// over it. Every key is also an option of the same name. A value that does not fit is refused with
// its key, its value and why; reading the file again keeps the command line's values over it and
// changes only what may change while the server runs.
#include "host/loglevel.h"
#include <QHash>
#include <QHostAddress>
#include <QString>
#include <QStringList>

class QCommandLineParser;

class ServerConfig
{
public:
    // The file read when no --config is given, if it exists.
    static QString defaultFile();

    int port = 110;
    QString bind;            // empty: every address of both families
    int tables = 64;
    int maxPerAddress = 8;   // a household behind one router may fill two tables
    int botsAfterS = 30;
    int botLevel = 4;
    int botDelayMs = 1000;
    QString motd;            // empty: none
    int chatLines = 10;      // 0: no limit
    int chatWindowS = 10;
    LogLevel logLevel = LogLevel::Info;
    QString controlSocket;   // empty: controlSocketCandidates().first(); "none": no control socket
    bool openPort = false;

    // Adds --config and an option for every key.
    static void addOptions(QCommandLineParser &parser);
    // The file (--config, else the default one when it exists), then the options given; false with
    // error() on the first value refused.
    bool load(const QCommandLineParser &parser);
    // The same from a file and option values by key, for tests ("" file: none).
    bool load(const QString &file, const QHash<QString, QString> &options);
    // Reads the file again, the options over it. What may change while running takes the new values;
    // the keys whose new values need a restart are listed in ignored and keep their old values.
    // False with error() and nothing changed when a value is refused.
    bool reload(QStringList *ignored = nullptr);

    QString file() const { return m_file; }
    QString error() const { return m_error; }
    // Null for every address; else the one address to listen on.
    QHostAddress bindAddress() const;
    // Where the control socket may be, first the server's own choice: the service's runtime
    // folder, the user's, then /run/quadrix; named after the port (-1: the configured one; a server
    // asked for port 0 names it after the port it got). Empty for "none".
    QStringList controlSocketCandidates(int port = -1) const;
    static QString logLevelName(LogLevel level);

private:
    bool apply(const QHash<QString, QString> &values, const QString &source);
    bool readFile(const QString &file, QHash<QString, QString> *values);

    QString m_file;
    QHash<QString, QString> m_options; // given on the command line, by key
    QString m_error;
};

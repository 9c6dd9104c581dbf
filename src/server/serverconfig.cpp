#include "server/serverconfig.h"
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <array>

namespace {

const QString kGroup = QStringLiteral("server");
constexpr int kMaxMotd = 400;

// Empty when the text is a whole number within the bounds.
QString number(const QString &text, int low, int high, int *out)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok || n < low || n > high)
        return QStringLiteral("wants a whole number from %1 to %2").arg(low).arg(high);
    *out = n;
    return {};
}

QString setPort(ServerConfig &c, const QString &v) { return number(v, 0, 65535, &c.port); }
QString setTables(ServerConfig &c, const QString &v) { return number(v, 1, 10000, &c.tables); }
QString setPerAddress(ServerConfig &c, const QString &v) { return number(v, 1, 10000, &c.maxPerAddress); }
QString setBotsAfter(ServerConfig &c, const QString &v) { return number(v, 0, 86400, &c.botsAfterS); }
QString setBotLevel(ServerConfig &c, const QString &v) { return number(v, 1, 4, &c.botLevel); }
QString setBotDelay(ServerConfig &c, const QString &v) { return number(v, 0, 60000, &c.botDelayMs); }

QString setBind(ServerConfig &c, const QString &v)
{
    const QString text = v.trimmed();
    if (!text.isEmpty() && QHostAddress(text).isNull())
        return QStringLiteral("wants an IPv4 or IPv6 address of this machine, or nothing for every address");
    c.bind = text;
    return {};
}

QString setMotd(ServerConfig &c, const QString &v)
{
    const QString text = v.trimmed();
    if (text.size() > kMaxMotd)
        return QStringLiteral("is longer than %1 characters").arg(kMaxMotd);
    // Lines travel as single-byte text, one line each.
    for (const QChar ch : text)
        if (ch.unicode() > 0xff || ch.unicode() < 0x20 || ch.unicode() == 0x7f)
            return QStringLiteral("holds a character other than printable Latin-1 (one line, no control characters)");
    c.motd = text;
    return {};
}

QString setChatLimit(ServerConfig &c, const QString &v)
{
    const QString why = QStringLiteral("wants LINES/SECONDS (such as 10/10; 0 for no limit), LINES up to 1000, SECONDS 1 to 3600");
    const QString text = v.trimmed();
    if (text == QLatin1String("0")) {
        c.chatLines = 0;
        return {};
    }
    const QStringList parts = text.split(QLatin1Char('/'));
    int lines = 0;
    int seconds = 0;
    if (parts.size() != 2 || !number(parts.at(0), 0, 1000, &lines).isEmpty() ||
        !number(parts.at(1), 1, 3600, &seconds).isEmpty())
        return why;
    c.chatLines = lines;
    c.chatWindowS = seconds;
    return {};
}

QString setLogLevel(ServerConfig &c, const QString &v)
{
    const QString text = v.trimmed().toLower();
    for (LogLevel level : {LogLevel::Error, LogLevel::Warning, LogLevel::Info, LogLevel::Debug})
        if (text == ServerConfig::logLevelName(level)) {
            c.logLevel = level;
            return {};
        }
    return QStringLiteral("wants error, warning, info or debug");
}

QString setControlSocket(ServerConfig &c, const QString &v)
{
    const QString text = v.trimmed();
    if (!text.isEmpty() && text != QLatin1String("none") && !QDir::isAbsolutePath(text))
        return QStringLiteral("wants an absolute path, nothing for the runtime folder, or none");
    c.controlSocket = text;
    return {};
}

QString setOpenPort(ServerConfig &c, const QString &v)
{
    const QString text = v.trimmed().toLower();
    if (QStringList{"true", "yes", "on", "1"}.contains(text))
        c.openPort = true;
    else if (QStringList{"false", "no", "off", "0"}.contains(text))
        c.openPort = false;
    else
        return QStringLiteral("wants true or false");
    return {};
}

struct Key {
    const char *name;
    bool live; // may change while the server runs
    QString (*set)(ServerConfig &, const QString &);
    const char *valueName; // null: a switch on the command line
    const char *help;
};

// In the order of the sample file. Each key is an option of the same name.
const std::array kKeys{
    Key{"port", false, setPort, "port", "Port to listen on; 0 picks a free one (default 110)."},
    Key{"bind", false, setBind, "address",
        "Address to listen on, IPv4 or IPv6 (default: every address of both families)."},
    Key{"tables", false, setTables, "N", "Tables the server holds at most (default 64)."},
    Key{"max-per-address", true, setPerAddress, "N", "Connections allowed from one address (default 8)."},
    Key{"bots-after", true, setBotsAfter, "seconds",
        "Seconds after the first person sits down before computer players fill a table (default 30)."},
    Key{"bot-level", true, setBotLevel, "1-4", "Strength of the computer players (default 4)."},
    Key{"bot-delay", true, setBotDelay, "ms", "Time a computer player takes over a move (default 1000)."},
    Key{"motd", true, setMotd, "text", "Message of the day: a system line for each player who sits down."},
    Key{"chat-limit", true, setChatLimit, "lines/seconds",
        "Chat lines one connection may send in that many seconds (default 10/10; 0: no limit)."},
    Key{"log-level", true, setLogLevel, "level", "error, warning, info (default) or debug."},
    Key{"control-socket", false, setControlSocket, "path",
        "Control socket (default: quadrix-server-PORT.sock in the runtime folder; none: no socket)."},
    Key{"open-port", false, setOpenPort, nullptr,
        "Ask the router (NAT-PMP or UPnP) to forward the port to this machine while the server runs."},
};

const Key *findKey(const QString &name)
{
    for (const Key &k : kKeys)
        if (name == QLatin1String(k.name))
            return &k;
    return nullptr;
}

} // namespace

QString ServerConfig::defaultFile()
{
    return QStringLiteral("/etc/quadrix/server.ini");
}

QString ServerConfig::logLevelName(LogLevel level)
{
    switch (level) {
    case LogLevel::Error: return QStringLiteral("error");
    case LogLevel::Warning: return QStringLiteral("warning");
    case LogLevel::Info: return QStringLiteral("info");
    case LogLevel::Debug: return QStringLiteral("debug");
    }
    return {};
}

void ServerConfig::addOptions(QCommandLineParser &parser)
{
    parser.addOption(QCommandLineOption(
        QStringLiteral("config"),
        QStringLiteral("Settings file, section [server], one key per option (default %1 when it exists).").arg(defaultFile()),
        QStringLiteral("file")));
    for (const Key &k : kKeys) {
        if (k.valueName)
            parser.addOption(QCommandLineOption(QLatin1String(k.name), QLatin1String(k.help), QLatin1String(k.valueName)));
        else
            parser.addOption(QCommandLineOption(QLatin1String(k.name), QLatin1String(k.help)));
    }
}

bool ServerConfig::load(const QCommandLineParser &parser)
{
    QString file;
    if (parser.isSet(QStringLiteral("config")))
        file = parser.value(QStringLiteral("config"));
    else if (QFileInfo::exists(defaultFile()))
        file = defaultFile();
    QHash<QString, QString> options;
    for (const Key &k : kKeys) {
        const QString name = QLatin1String(k.name);
        if (parser.isSet(name))
            options.insert(name, k.valueName ? parser.value(name) : QStringLiteral("true"));
    }
    if (parser.isSet(QStringLiteral("config")) && file.isEmpty()) {
        m_error = QStringLiteral("--config \"\": wants a file");
        return false;
    }
    return load(file, options);
}

bool ServerConfig::load(const QString &file, const QHash<QString, QString> &options)
{
    m_file = file;
    m_options = options;
    QHash<QString, QString> values;
    if (!file.isEmpty() && !readFile(file, &values))
        return false;
    return apply(values, file) && apply(options, QStringLiteral("command line"));
}

bool ServerConfig::reload(QStringList *ignored)
{
    ServerConfig fresh;
    if (!fresh.load(m_file, m_options)) {
        m_error = fresh.m_error;
        return false;
    }
    // What the listener, the table count and the control socket were made with stays until a restart.
    QStringList kept;
    if (fresh.port != port)
        kept << QStringLiteral("port");
    if (fresh.bind != bind)
        kept << QStringLiteral("bind");
    if (fresh.tables != tables)
        kept << QStringLiteral("tables");
    if (fresh.controlSocket != controlSocket)
        kept << QStringLiteral("control-socket");
    if (fresh.openPort != openPort)
        kept << QStringLiteral("open-port");
    fresh.port = port;
    fresh.bind = bind;
    fresh.tables = tables;
    fresh.controlSocket = controlSocket;
    fresh.openPort = openPort;
    *this = fresh;
    if (ignored)
        *ignored = kept;
    return true;
}

bool ServerConfig::readFile(const QString &file, QHash<QString, QString> *values)
{
    const QFileInfo info(file);
    if (!info.isFile() || !info.isReadable()) {
        m_error = QStringLiteral("%1: cannot be read").arg(file);
        return false;
    }
    QSettings settings(file, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) {
        m_error = QStringLiteral("%1: not an INI file").arg(file);
        return false;
    }
    const QStringList keys = settings.allKeys();
    for (const QString &path : keys) {
        const QString name = path.section(QLatin1Char('/'), 1);
        if (path.section(QLatin1Char('/'), 0, 0) != kGroup || !findKey(name)) {
            m_error = QStringLiteral("%1: %2: not a known key (keys go in section [%3])").arg(file, path, kGroup);
            return false;
        }
        const QVariant v = settings.value(path);
        // An unquoted value with commas reads as a list: the commas were meant as text.
        values->insert(name, v.typeId() == QMetaType::QStringList ? v.toStringList().join(QStringLiteral(", ")) : v.toString());
    }
    return true;
}

bool ServerConfig::apply(const QHash<QString, QString> &values, const QString &source)
{
    for (const Key &k : kKeys) {
        const auto it = values.constFind(QLatin1String(k.name));
        if (it == values.constEnd())
            continue;
        const QString why = k.set(*this, it.value());
        if (!why.isEmpty()) {
            m_error = QStringLiteral("%1: %2 = \"%3\": %4").arg(source, QLatin1String(k.name), it.value(), why);
            return false;
        }
    }
    return true;
}

QHostAddress ServerConfig::bindAddress() const
{
    return bind.isEmpty() ? QHostAddress() : QHostAddress(bind);
}

QStringList ServerConfig::controlSocketCandidates(int listeningPort) const
{
    if (controlSocket == QLatin1String("none"))
        return {};
    if (!controlSocket.isEmpty())
        return {controlSocket};
    const QString name = QStringLiteral("quadrix-server-%1.sock").arg(listeningPort < 0 ? port : listeningPort);
    QStringList places;
    // systemd names the unit's RuntimeDirectory here; an operator's shell has only its own folder.
    for (const char *var : {"RUNTIME_DIRECTORY", "XDG_RUNTIME_DIR"}) {
        const QString dir = qEnvironmentVariable(var).section(QLatin1Char(':'), 0, 0);
        if (!dir.isEmpty())
            places << QDir(dir).filePath(name);
    }
    places << QStringLiteral("/run/quadrix/") + name;
    places.removeDuplicates();
    return places;
}

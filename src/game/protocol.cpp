#include "game/protocol.h"
#include <limits>

namespace {
bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}
} // namespace

bool strictToInt(const QString &text, int *value)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    if (i >= text.size())
        return false;
    const qint64 limit = negative ? -qint64(std::numeric_limits<int>::min()) : std::numeric_limits<int>::max();
    qint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        if (!isDigit(text.at(i)))
            return false;
        magnitude = magnitude * 10 + (text.at(i).unicode() - '0');
        if (magnitude > limit)
            return false;
    }
    if (value)
        *value = int(negative ? -magnitude : magnitude);
    return true;
}

int lenientToInt(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    const qint64 limit = negative ? -qint64(std::numeric_limits<int>::min()) : std::numeric_limits<int>::max();
    qint64 magnitude = 0;
    for (; i < text.size() && isDigit(text.at(i)); ++i) {
        magnitude = magnitude * 10 + (text.at(i).unicode() - '0');
        if (magnitude > limit)
            magnitude = limit; // clamp, and keep the accumulator from overflowing
    }
    return int(negative ? -magnitude : magnitude);
}

QString letterSpaced(const QString &nick)
{
    QString out;
    out.reserve(nick.size() * 2);
    for (QChar c : nick) {
        out += c;
        out += QLatin1Char(' ');
    }
    return out.trimmed();
}

QStringList splitFeatureWords(const QString &value)
{
    return value.split(QLatin1Char('#'), Qt::SkipEmptyParts);
}

QString joinFeatureWords(const QStringList &words)
{
    QString value;
    for (const QString &word : words)
        value += word + QLatin1Char('#');
    return value;
}

bool isValidTableName(const QString &name)
{
    if (name.isEmpty() || name.size() > 20)
        return false;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'-' ||
                        u == u'_';
        if (!ok)
            return false;
    }
    return true;
}

#include "ui/portinput.h"

#include <limits>

namespace {

int digitValue(QChar c, int base)
{
    int d = -1;
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        d = c.unicode() - '0';
    else if (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
        d = c.unicode() - 'a' + 10;
    else if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        d = c.unicode() - 'A' + 10;
    return d < base ? d : -1;
}

} // namespace

int readLenientNumber(const QString &text)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;

    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }

    int base = 10;
    if (i < n && text[i] == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i < n && (text[i] == QLatin1Char('x') || text[i] == QLatin1Char('X'))) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == QLatin1Char('0')
               && (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }

    // Kept in 64 bits so the step that would overflow an int is seen before it is taken.
    qint64 value = 0;
    while (i < n) {
        const int d = digitValue(text[i], base);
        if (d < 0)
            break;
        const qint64 next = value * base + d;
        if (next > std::numeric_limits<int>::max())
            break;
        value = next;
        ++i;
    }

    // The sign counts only when the whole text was understood.
    if (negative && i == n)
        value = -value;
    return int(value);
}

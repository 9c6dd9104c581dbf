#include "cards/cardcode.h"

bool parseCardCode(const QString &code, int *suitDigit, int *rankNumber)
{
    if (code.size() < 2)
        return false;
    const QChar s = code.at(0);
    if (s < QLatin1Char('1') || s > QLatin1Char('4'))
        return false;
    int rank = 0;
    for (qsizetype i = 1; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        rank = rank * 10 + (c.unicode() - '0');
        if (rank > 13) // also keeps long digit runs from overflowing
            return false;
    }
    if (rank < 1)
        return false;
    if (suitDigit)
        *suitDigit = s.unicode() - '0';
    if (rankNumber)
        *rankNumber = rank;
    return true;
}

bool isCardCode(const QString &code)
{
    return parseCardCode(code);
}

QString cardCode(int suitDigit, int rankNumber)
{
    if (suitDigit < 1 || suitDigit > 4 || rankNumber < 1 || rankNumber > 13)
        return {};
    return QString::number(suitDigit) + QString::number(rankNumber);
}

QString cardCode(TFlowerType suit, TNumberType rank)
{
    return cardCode(int(suit) + 1, int(rank) + 1);
}

QString rankLabel(TNumberType rank)
{
    switch (rank) {
    case _A: return QStringLiteral("A");
    case _J: return QStringLiteral("J");
    case _Q: return QStringLiteral("Q");
    case _K: return QStringLiteral("K");
    default:
        break;
    }
    const int n = int(rank) + 1;
    return (n >= 2 && n <= 10) ? QString::number(n) : QString();
}

QStringList splitCardList(const QString &list)
{
    return list.split(QLatin1Char('#'), Qt::SkipEmptyParts);
}

QString joinCardList(const QStringList &codes)
{
    QString out;
    for (const QString &c : codes) {
        // an empty or '#'-bearing piece would corrupt the list for the receiver
        if (c.isEmpty() || c.contains(QLatin1Char('#')))
            continue;
        out += c;
        out += QLatin1Char('#');
    }
    return out;
}

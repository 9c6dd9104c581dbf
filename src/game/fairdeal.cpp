#include "game/fairdeal.h"
#include "cards/cardcode.h"
#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QtEndian>

namespace FairDeal {
namespace {

QByteArray systemRandomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    // QRandomGenerator::system() reads the operating system's cryptographic source.
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), count / 4);
    return bytes;
}

QByteArray hmac(const QByteArray &key, const QByteArray &message)
{
    return QMessageAuthenticationCode::hash(message, key, QCryptographicHash::Sha256);
}

// HMAC-SHA256(key, b as 8 bytes big-endian) for b = 0, 1, ..., read 4 bytes at a time.
class KeyStream
{
public:
    explicit KeyStream(const QByteArray &key) : m_key(key) {}
    quint32 next()
    {
        if (m_used + 4 > m_block.size()) {
            QByteArray counter(8, Qt::Uninitialized);
            qToBigEndian<quint64>(m_blockNumber++, counter.data());
            m_block = hmac(m_key, counter);
            m_used = 0;
        }
        const quint32 x = qFromBigEndian<quint32>(m_block.constData() + m_used);
        m_used += 4;
        return x;
    }

private:
    QByteArray m_key;
    QByteArray m_block;
    qsizetype m_used = 0;
    quint64 m_blockNumber = 0;
};

} // namespace

QByteArray newSecret()
{
    static_assert(kSecretBytes % 4 == 0);
    return systemRandomBytes(kSecretBytes);
}

QString newSeed()
{
    static_assert(kSeedBytes % 4 == 0);
    return toHex(systemRandomBytes(kSeedBytes));
}

bool isSeed(const QString &text)
{
    return fromHex(text, kSeedBytes).has_value();
}

std::optional<QByteArray> fromHex(const QString &text, int bytes)
{
    if (text.size() != bytes * 2)
        return std::nullopt;
    for (const QChar c : text)
        if (!(c.isDigit() || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F')))
            return std::nullopt;
    return QByteArray::fromHex(text.toLatin1());
}

QString toHex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

QString commitment(const QByteArray &secret)
{
    return toHex(QCryptographicHash::hash(secret, QCryptographicHash::Sha256));
}

QString seedsValue(const std::array<QString, 5> &bySeat)
{
    QString value;
    for (int s = 1; s <= 4; ++s)
        value += bySeat[size_t(s)] + QLatin1Char('#');
    return value;
}

std::optional<std::array<QString, 5>> parseSeeds(const QString &value)
{
    const QStringList fields = value.split(QLatin1Char('#'));
    // Four fields, each closed by "#": the split leaves an empty piece after the last one.
    if (fields.size() != 5 || !fields.last().isEmpty())
        return std::nullopt;
    std::array<QString, 5> seeds;
    for (int s = 1; s <= 4; ++s)
        seeds[size_t(s)] = fields.at(s - 1);
    return seeds;
}

QByteArray dealKey(const QByteArray &secret, int deal, const QString &seeds)
{
    const QString message = QStringLiteral("quadrix-deal-v1#") + QString::number(deal) + QLatin1Char('#') + seeds;
    return hmac(secret, message.toLatin1());
}

QStringList deck(const QByteArray &key)
{
    QStringList d;
    for (int suit = 1; suit <= 4; ++suit)
        for (int rank = 1; rank <= 13; ++rank)
            d << cardCode(suit, rank);
    KeyStream stream(key);
    for (int i = 51; i >= 1; --i) {
        const quint64 n = quint64(i) + 1;
        // Numbers past the last whole multiple of n are drawn again, so every j is equally likely.
        const quint64 limit = (quint64(1) << 32) - ((quint64(1) << 32) % n);
        quint64 x = stream.next();
        while (x >= limit)
            x = stream.next();
        d.swapItemsAt(i, qsizetype(x % n));
    }
    return d;
}

QStringList seatCards(const QStringList &deck, int seat)
{
    QStringList cards;
    if (deck.size() != 52 || seat < 1 || seat > 4)
        return cards;
    for (int k = 1; k <= 13; ++k)
        cards << deck.at((k - 1) * 4 + (seat - 1));
    return cards;
}

} // namespace FairDeal

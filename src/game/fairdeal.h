#pragma once
// The checkable deal, version 1: the host commits to a secret before dealing, the guests add seeds,
// and the deck follows from both, so that every guest can recompute its own cards once the secret
// is revealed. docs/fair-deal.md describes the scheme and what it proves.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace FairDeal {

inline constexpr int kSecretBytes = 32;
inline constexpr int kSeedBytes = 16;

// Fresh values from the system's cryptographic source.
QByteArray newSecret();
QString newSeed();

// Exactly kSeedBytes bytes as hex digits (either case).
bool isSeed(const QString &text);
// bytes hex digits' worth of bytes, or nothing.
std::optional<QByteArray> fromHex(const QString &text, int bytes);
QString toHex(const QByteArray &bytes);

// The commitment: SHA-256 of the secret's bytes in lower-case hex.
QString commitment(const QByteArray &secret);
// The seeds of seats 1 to 4 (index 1..4), each followed by "#".
QString seedsValue(const std::array<QString, 5> &bySeat);
// The four seeds of such a value (index 1..4); nothing unless it has exactly four fields.
std::optional<std::array<QString, 5>> parseSeeds(const QString &value);

// K = HMAC-SHA256(secret, "quadrix-deal-v1#" + deal + "#" + seeds as sent).
QByteArray dealKey(const QByteArray &secret, int deal, const QString &seeds);
// The 52 codes shuffled by the byte stream of the key.
QStringList deck(const QByteArray &key);
// The 13 cards of seat 1..4 by hand position: deck position (k - 1) * 4 + (seat - 1).
QStringList seatCards(const QStringList &deck, int seat);

} // namespace FairDeal

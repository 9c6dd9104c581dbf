#include "game/dealverifier.h"
#include "game/fairdeal.h"

QString TDealVerifier::onCommitment(int deal, const QString &hash, bool cardsCame)
{
    if (deal == m_deal && !m_done) {
        // Sent again after a reconnect: the seed and what was seen stay; the commitment must not move.
        if (hash != m_hash)
            m_hashChanged = true;
        return {};
    }
    *this = TDealVerifier();
    m_deal = deal;
    m_done = false;
    m_hash = hash;
    m_hashLate = cardsCame;
    m_ownSeed = FairDeal::newSeed();
    return m_ownSeed;
}

void TDealVerifier::onSeeds(int deal, const QString &value)
{
    if (deal != m_deal || m_done)
        return;
    // The host sends them again after a reconnect; a change is as good as a wrong seed list.
    if (m_seedsCame && value != m_seeds)
        m_hashChanged = true;
    m_seeds = value;
    m_seedsCame = true;
}

void TDealVerifier::onOwnCard(const QString &code)
{
    if (!m_done)
        m_ownCards.insert(code);
}

void TDealVerifier::onThrow(int seat, const QStringList &cards)
{
    if (!m_done && seat >= 1 && seat <= 4)
        m_thrown[size_t(seat)] << cards;
}

QString TDealVerifier::onKey(int deal, const QString &secretHex, int ownSeat)
{
    if (deal != m_deal || m_done)
        return {};
    m_done = true;
    const std::optional<QByteArray> secret = FairDeal::fromHex(secretHex, FairDeal::kSecretBytes);
    if (!secret || FairDeal::commitment(*secret) != m_hash.toLower())
        return failed(QStringLiteral("the revealed key does not match the commitment"));
    return check(*secret, ownSeat);
}

QString TDealVerifier::keyNeverCame()
{
    m_done = true;
    return failed(QStringLiteral("the host never revealed its key"));
}

QString TDealVerifier::keyCutOff()
{
    m_done = true;
    return QStringLiteral("Deal %1 not checked: the connection ended before the host's key came.").arg(m_deal);
}

QString TDealVerifier::failed(const QString &what) const
{
    return QStringLiteral("Deal %1 check failed: %2.").arg(m_deal).arg(what);
}

QString TDealVerifier::check(const QByteArray &secret, int ownSeat) const
{
    if (m_hashLate)
        return failed(QStringLiteral("the commitment came after the cards"));
    if (m_hashChanged)
        return failed(QStringLiteral("the commitment or the seeds changed during the deal"));
    if (!m_seedsCame)
        return failed(QStringLiteral("the seeds were never sent"));
    const std::optional<std::array<QString, 5>> seeds = FairDeal::parseSeeds(m_seeds);
    if (!seeds || ownSeat < 1 || ownSeat > 4)
        return failed(QStringLiteral("the list of seeds is ill-formed"));
    const QString &mine = (*seeds)[size_t(ownSeat)];
    const bool seedLate = mine.isEmpty();
    if (!seedLate && mine.toLower() != m_ownSeed)
        return failed(QStringLiteral("your seat's seed is not the one you sent"));

    const QStringList deck = FairDeal::deck(FairDeal::dealKey(secret, m_deal, m_seeds));
    const QStringList ownSeatCards = FairDeal::seatCards(deck, ownSeat);
    for (const QString &code : m_ownCards)
        if (!ownSeatCards.contains(code))
            return failed(QStringLiteral("you were dealt cards that are not your seat's cards of the deck"));
    for (int s = 1; s <= 4; ++s) {
        if (s == ownSeat)
            continue;
        const QStringList cards = FairDeal::seatCards(deck, s);
        for (const QString &code : m_thrown[size_t(s)])
            if (!cards.contains(code))
                return failed(QStringLiteral("seat %1 threw cards that were not dealt to it").arg(s));
    }
    if (seedLate)
        return QStringLiteral("Deal %1 checked: dealt as committed, but your seed came too late for deal %1.").arg(m_deal);
    return QStringLiteral("Deal %1 checked: dealt as committed.").arg(m_deal);
}

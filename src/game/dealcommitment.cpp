#include "game/dealcommitment.h"
#include "game/fairdeal.h"

int TDealCommitment::begin()
{
    m_secret = FairDeal::newSecret();
    m_seeds = {};
    m_seedsValue.clear();
    m_keyDue = true;
    return ++m_deal;
}

QString TDealCommitment::commitment() const
{
    return FairDeal::commitment(m_secret);
}

void TDealCommitment::setSeed(int seat, const QString &seed)
{
    if (seat >= 1 && seat <= 4)
        m_seeds[size_t(seat)] = seed.toLower();
}

QString TDealCommitment::closeSeeds()
{
    m_seedsValue = FairDeal::seedsValue(m_seeds);
    return m_seedsValue;
}

QStringList TDealCommitment::deck() const
{
    return FairDeal::deck(FairDeal::dealKey(m_secret, m_deal, m_seedsValue));
}

bool TDealCommitment::reveal()
{
    if (!m_keyDue)
        return false;
    m_keyDue = false;
    m_revealed.append({m_deal, m_secret, m_seedsValue});
    if (m_revealed.size() > kRevealedKept)
        m_revealed.removeFirst();
    return true;
}

// ClientTable's part in the checkable deal: its seed, what it sees of the deal, and the check once the
// host reveals its secret.
#include "client/clienttable.h"
#include "game/protocol.h"
#include <QTimer>
#include <algorithm>

void ClientTable::onDealHash(const QString &deal, const QString &hash)
{
    int n = 0;
    if (!strictToInt(deal, &n) || n <= 0)
        return;
    // A new commitment while the last deal's secret is still owed: that secret is not coming.
    if (m_verifier.awaitingKey() && m_verifier.deal() != n)
        dealKeyMissing();
    const bool cardsCame = m_inDeal || std::any_of(m_dealt.begin(), m_dealt.end(), [](const QString &c) { return !c.isEmpty(); });
    const QString seed = m_verifier.onCommitment(n, hash, cardsCame);
    if (!seed.isEmpty())
        send(Tag::DEALSEED, deal, seed);
}

void ClientTable::onDealKey(const QString &deal, const QString &secret)
{
    int n = 0;
    if (!strictToInt(deal, &n))
        return;
    const QString line = m_verifier.onKey(n, secret, mySeat());
    if (line.isEmpty())
        return;
    m_keyOwed = false;
    emit dealChecked(line);
}

void ClientTable::awaitDealKey()
{
    // The host sends the secret right after the deal's end, before anything of the next deal, however
    // slow the link: no clock decides that it is missing, only what comes instead of it.
    m_keyOwed = m_verifier.awaitingKey();
}

void ClientTable::dealKeyMissing()
{
    m_keyOwed = false;
    if (m_verifier.awaitingKey())
        emit dealChecked(m_verifier.keyNeverCame());
}

void ClientTable::dealKeyCutOff()
{
    m_keyOwed = false;
    if (m_verifier.awaitingKey())
        emit dealChecked(m_verifier.keyCutOff());
}

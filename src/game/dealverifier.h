#pragma once
// What one player's copy sees of a checkable deal, and the check once the host reveals its secret:
// the commitment, the own seed, the seeds the host used, the own cards and every card another seat
// threw. The result is one line for the player's log.
#include <QSet>
#include <QString>
#include <QStringList>
#include <array>

class TDealVerifier
{
public:
    // The host commits to deal n. cardsCame: this deal's cards arrived before the commitment.
    // Returns the seed to send, or nothing when none is due (the deal is known from before a reconnect).
    QString onCommitment(int deal, const QString &hash, bool cardsCame);
    void onSeeds(int deal, const QString &value);
    void onOwnCard(const QString &code);
    void onThrow(int seat, const QStringList &cards);
    // The revealed secret: the verdict line.
    QString onKey(int deal, const QString &secretHex, int ownSeat);
    // A deal committed to whose key has not come; the line that says so, and the deal is dropped.
    bool awaitingKey() const { return m_deal != 0 && !m_done; }
    int deal() const { return m_deal; }
    QString keyNeverCame();
    // The connection ended with the key still owed: nothing says the host withheld it.
    QString keyCutOff();

private:
    QString failed(const QString &what) const;
    QString check(const QByteArray &secret, int ownSeat) const;

    int m_deal = 0;
    bool m_done = true;
    QString m_hash;
    bool m_hashLate = false;
    bool m_hashChanged = false;
    QString m_ownSeed;
    QString m_seeds;
    bool m_seedsCame = false;
    QSet<QString> m_ownCards;
    std::array<QStringList, 5> m_thrown;
};

#pragma once
// The host's side of the checkable deal, one deal after another: the secret it commits to, the seeds
// the guests add, the deck both decide, and the secrets revealed, the last few kept for players who
// were away when they went out.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>

class TDealCommitment
{
public:
    struct Revealed
    {
        int deal;
        QByteArray secret;
        QString seedsValue;
    };

    // A new deal: its number (every deal begun counts) and a fresh secret; no seeds yet.
    int begin();
    int deal() const { return m_deal; }
    QString commitment() const;
    // The seed of a seat, kept as lower-case hex; seats without one stay empty.
    void setSeed(int seat, const QString &seed);
    // No more seeds: the value every checking guest is sent, as the deck will be cut by it.
    QString closeSeeds();
    QString seedsValue() const { return m_seedsValue; }
    QStringList deck() const;
    // Committed to, not yet revealed.
    bool keyDue() const { return m_keyDue; }
    // The secret of the deal committed to, once; it joins the kept ones.
    bool reveal();
    const QList<Revealed> &revealed() const { return m_revealed; }

    static constexpr qsizetype kRevealedKept = 3; // a seat is held for far less than three deals last

private:
    int m_deal = 0;
    QByteArray m_secret;
    std::array<QString, 5> m_seeds;
    QString m_seedsValue;
    bool m_keyDue = false;
    QList<Revealed> m_revealed; // oldest first
};

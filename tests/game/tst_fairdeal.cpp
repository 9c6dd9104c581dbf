// The checkable deal's arithmetic against the worked example of docs/fair-deal.md, and the check a
// player's copy makes, honest and tampered.
#include "game/dealverifier.h"
#include "game/fairdeal.h"
#include <QFile>
#include <QtTest>

namespace {

QString exampleLine(const QString &text, const QString &name)
{
    for (const QString &line : text.split(QLatin1Char('\n')))
        if (line.trimmed().startsWith(name + QStringLiteral(" = ")))
            return line.trimmed().mid(name.size() + 3);
    return {};
}

// One deal as seat 2 sees it, each part open to tampering by the test.
struct Deal
{
    QByteArray secret = QByteArray(32, '\x5a');
    QByteArray dealtFrom = secret; // the secret the host really dealt with
    QByteArray revealed = secret;
    bool hashAfterCards = false;
    bool seedsSent = true;
    enum { OwnSeed, LateSeed, OtherSeed } seat2 = OwnSeed;
    bool seat3ThrowsSeat1sCard = false;

    QString verdict(bool reconnect = false) const
    {
        TDealVerifier v;
        const QString seed = v.onCommitment(5, FairDeal::commitment(secret), hashAfterCards);
        std::array<QString, 5> seeds{{{}, QStringLiteral("0123456789abcdef0123456789abcdef"), {}, {}, {}}};
        seeds[2] = seat2 == OwnSeed ? seed : seat2 == LateSeed ? QString() : FairDeal::newSeed();
        const QString value = FairDeal::seedsValue(seeds);
        if (seedsSent)
            v.onSeeds(5, value);
        const QStringList deck = FairDeal::deck(FairDeal::dealKey(dealtFrom, 5, value));
        const QStringList own = FairDeal::seatCards(deck, 2);
        for (const QString &card : own.mid(0, 7))
            v.onOwnCard(card);
        v.onThrow(2, own.mid(0, 2));
        if (reconnect) {
            // Back in the deal: the commitment and seeds come again, no new seed is due.
            if (!v.onCommitment(5, FairDeal::commitment(secret), false).isEmpty())
                return QStringLiteral("a second seed was made");
            v.onSeeds(5, value);
        }
        for (const QString &card : own.mid(7))
            v.onOwnCard(card);
        v.onThrow(3, {FairDeal::seatCards(deck, seat3ThrowsSeat1sCard ? 1 : 3).at(4)});
        return v.onKey(5, FairDeal::toHex(revealed), 2);
    }
};

} // namespace

class TstFairDeal : public QObject
{
    Q_OBJECT

private slots:
    void theWorkedExampleHolds()
    {
        QFile doc(QStringLiteral(QUADRIX_SOURCE_DIR "/docs/fair-deal.md"));
        QVERIFY(doc.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(doc.readAll());
        const std::optional<QByteArray> secret = FairDeal::fromHex(exampleLine(text, QStringLiteral("S")), 32);
        QVERIFY(secret);
        const QString seeds = exampleLine(text, QStringLiteral("seeds"));
        const QByteArray key = FairDeal::dealKey(*secret, exampleLine(text, QStringLiteral("deal")).toInt(), seeds);
        QCOMPARE(FairDeal::toHex(key), exampleLine(text, QStringLiteral("K")));
        const QStringList deck = FairDeal::deck(key);
        QCOMPARE(deck.join(QLatin1Char('#')) + QLatin1Char('#'), exampleLine(text, QStringLiteral("deck")));
        QCOMPARE(QSet<QString>(deck.begin(), deck.end()).size(), 52);
        QVERIFY(FairDeal::parseSeeds(seeds));
        QCOMPARE(FairDeal::seatCards(deck, 2).first(), deck.at(1));
        QCOMPARE(FairDeal::seatCards(deck, 4).last(), deck.at(51));
    }

    void seedsAndSeedListsAreReadStrictly()
    {
        QVERIFY(FairDeal::isSeed(FairDeal::newSeed()));
        QVERIFY(FairDeal::isSeed(QStringLiteral("0123456789ABCDEF0123456789abcdef")));
        QVERIFY(!FairDeal::isSeed(QStringLiteral("0123456789abcdef0123456789abcde")));
        QVERIFY(!FairDeal::isSeed(QStringLiteral("0123456789abcdef0123456789abcdeg")));
        QVERIFY(FairDeal::newSeed() != FairDeal::newSeed());
        QVERIFY(!FairDeal::parseSeeds(QStringLiteral("a#b#c#")));
        QVERIFY(!FairDeal::parseSeeds(QStringLiteral("a#b#c#d")));
        QCOMPARE((*FairDeal::parseSeeds(QStringLiteral("#b##d#")))[4], QStringLiteral("d"));
    }

    void theCheckNamesWhatDidNotMatch_data()
    {
        QTest::addColumn<int>("tamper");
        QTest::addColumn<QString>("verdict");
        const QString failed = QStringLiteral("Deal 5 check failed: ");
        QTest::newRow("honest") << 0 << QStringLiteral("Deal 5 checked: dealt as committed.");
        QTest::newRow("secret changed after the commitment")
            << 1 << failed + QStringLiteral("the revealed key does not match the commitment.");
        QTest::newRow("dealt from another secret")
            << 2 << failed + QStringLiteral("you were dealt cards that are not your seat's cards of the deck.");
        QTest::newRow("own seed replaced") << 3 << failed + QStringLiteral("your seat's seed is not the one you sent.");
        QTest::newRow("own seed late")
            << 4 << QStringLiteral("Deal 5 checked: dealt as committed, but your seed came too late for deal 5.");
        QTest::newRow("commitment after the cards") << 5 << failed + QStringLiteral("the commitment came after the cards.");
        QTest::newRow("seeds never sent") << 6 << failed + QStringLiteral("the seeds were never sent.");
        QTest::newRow("another seat threw a card it was not dealt")
            << 7 << failed + QStringLiteral("seat 3 threw cards that were not dealt to it.");
        QTest::newRow("a reconnect in the middle") << 8 << QStringLiteral("Deal 5 checked: dealt as committed.");
    }

    void theCheckNamesWhatDidNotMatch()
    {
        QFETCH(int, tamper);
        QFETCH(QString, verdict);
        Deal d;
        switch (tamper) {
        case 1: d.revealed = QByteArray(32, '\x5b'); d.dealtFrom = d.revealed; break;
        case 2: d.dealtFrom = QByteArray(32, '\x5b'); break;
        case 3: d.seat2 = Deal::OtherSeed; break;
        case 4: d.seat2 = Deal::LateSeed; break;
        case 5: d.hashAfterCards = true; break;
        case 6: d.seedsSent = false; break;
        case 7: d.seat3ThrowsSeat1sCard = true; break;
        default: break;
        }
        QCOMPARE(d.verdict(tamper == 8), verdict);
    }

    void aKeyThatNeverComesIsReportedOnce()
    {
        TDealVerifier v;
        QVERIFY(!v.onCommitment(2, FairDeal::commitment(FairDeal::newSecret()), false).isEmpty());
        QVERIFY(v.awaitingKey());
        QCOMPARE(v.keyNeverCame(), QStringLiteral("Deal 2 check failed: the host never revealed its key."));
        QVERIFY(!v.awaitingKey());
        QCOMPARE(v.onKey(2, FairDeal::toHex(FairDeal::newSecret()), 1), QString());
    }
};

QTEST_MAIN(TstFairDeal)
#include "tst_fairdeal.moc"

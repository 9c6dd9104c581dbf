// The computer player's card model must agree with the project's rules in every case.
#include "bot/combos.h"
#include "cards/cardeng.h"
#include "rules/handorder.h"
#include "rules/rules.h"
#include <QSet>
#include <QtTest>
#include <random>

using namespace BotCards;

class TstCombos : public QObject
{
    Q_OBJECT

private:
    TCardEng eng;
    TCombinationRules rules{eng};
    std::mt19937_64 rng{20240611};

    TCardMask randomHand(int n)
    {
        std::vector<int> deck(52);
        std::iota(deck.begin(), deck.end(), 0);
        std::shuffle(deck.begin(), deck.end(), rng);
        TCardMask m = 0;
        for (int i = 0; i < n; ++i)
            m |= bit(deck[size_t(i)]);
        return m;
    }
    // The selection the window would throw for these cards.
    static QStringList sel(TCardMask m) { return codesOf(m); }
    // Every subset of the hand with 1, 2, 3 or 5 cards that the rules let a player lead.
    QSet<TCardMask> bruteForceLeads(TCardMask hand)
    {
        QSet<TCardMask> out;
        std::vector<int> cards;
        for (TCardMask m = hand; m; m &= m - 1)
            cards.push_back(lowest(m));
        const int n = int(cards.size());
        for (int bits = 1; bits < (1 << n); ++bits) {
            const int k = __builtin_popcount(unsigned(bits));
            if (k == 4 || k > 5)
                continue;
            TCardMask m = 0;
            for (int i = 0; i < n; ++i)
                if (bits & (1 << i))
                    m |= bit(cards[size_t(i)]);
            if (rules.isValidThrow(sel(m), k, {}))
                out.insert(m);
        }
        return out;
    }

private slots:
    void initTestCase() { rules.useGameWeights(); }

    void cardIndexFollowsGameValue()
    {
        QSet<QString> seen;
        for (int i = 0; i < kDeckSize; ++i) {
            const QString code = codeOfIndex(i);
            QVERIFY(isCardCode(code));
            QCOMPARE(indexOfCode(code), i);
            seen.insert(code);
            if (i > 0)
                QVERIFY2(eng.CardValue(code) > eng.CardValue(codeOfIndex(i - 1)), qPrintable(code));
        }
        QCOMPARE(seen.size(), 52);
        QCOMPARE(codeOfIndex(0), QStringLiteral("43"));
        QCOMPARE(codeOfIndex(51), QStringLiteral("12"));
        QCOMPARE(indexOfCode(QStringLiteral("51")), -1);
        QCOMPARE(indexOfCode(QStringLiteral("114")), -1);
        QCOMPARE(indexOfCode(QString()), -1);
    }

    void maskOfCountsBadCodes()
    {
        int bad = 0;
        const TCardMask m = maskOf({QStringLiteral("11"), QStringLiteral("xx"), QStringLiteral("11"),
                                    QStringLiteral("43")},
                                   &bad);
        QCOMPARE(count(m), 2);
        QCOMPARE(bad, 2);
    }

    // What the engine calls legal is exactly what the rules let a player lead.
    void classifyAgreesWithRules()
    {
        for (int round = 0; round < 40000; ++round) {
            const int n = 1 + int(rng() % 6);
            const TCardMask m = randomHand(n);
            const TCombo c = BotCombos::classify(m);
            const bool valid = rules.isValidThrow(sel(m), n, {});
            QVERIFY2((c.kind != _NoCombo) == valid, qPrintable(sel(m).join(QLatin1Char(' '))));
        }
    }

    void everyLegalLeadIsEnumerated()
    {
        for (int round = 0; round < 25; ++round) {
            const TCardMask hand = randomHand(round < 5 ? 13 : 5 + round % 9);
            const QSet<TCardMask> expected = bruteForceLeads(hand);
            QSet<TCardMask> got;
            for (const TCombo &c : BotCombos::enumerate(hand)) {
                QVERIFY((c.mask & ~hand) == 0);
                QVERIFY2(!got.contains(c.mask), "a combination listed twice");
                got.insert(c.mask);
            }
            QCOMPARE(got, expected);
        }
    }

    // Flush-heavy and four-of-a-kind hands, where enumeration has the most branches.
    void enumerationOfRichHands_data()
    {
        QTest::addColumn<QStringList>("hand");
        QTest::newRow("seven spades and a run") << QStringList{"11", "13", "14", "15", "16", "17", "19", "28", "38", "49", "410"};
        QTest::newRow("two quads") << QStringList{"15", "25", "35", "45", "19", "29", "39", "49", "12", "313"};
        QTest::newRow("full houses") << QStringList{"13", "23", "33", "14", "24", "34", "15", "25", "110", "210", "311"};
    }
    void enumerationOfRichHands()
    {
        QFETCH(QStringList, hand);
        const TCardMask m = maskOf(hand);
        QSet<TCardMask> got;
        for (const TCombo &c : BotCombos::enumerate(m))
            got.insert(c.mask);
        QCOMPARE(got, bruteForceLeads(m));
    }

    // The key orders two combinations of one size exactly as beatsTable does.
    void keysOrderAsTheRules()
    {
        QList<TCombo> pool;
        for (int i = 0; i < 60; ++i)
            pool += BotCombos::enumerate(randomHand(13));
        int fives = 0;
        for (int round = 0; round < 30000; ++round) {
            const TCombo &a = pool.at(qsizetype(rng() % quint64(pool.size())));
            const TCombo &b = pool.at(qsizetype(rng() % quint64(pool.size())));
            if (a.size != b.size || (a.mask & b.mask))
                continue;
            fives += a.size == 5;
            const bool rulesSay = rules.isValidThrow(sel(a.mask), a.size, sel(b.mask));
            QVERIFY2(a.beats(b) == rulesSay,
                     qPrintable(sel(a.mask).join(QLatin1Char(' ')) + " vs " + sel(b.mask).join(QLatin1Char(' '))));
        }
        QVERIFY(fives > 500);
    }

    // A table is read as the rules read it: first code of a pair or triple, whatever its order.
    void tableReadAsShown_data()
    {
        QTest::addColumn<QStringList>("table");
        QTest::addColumn<QStringList>("mine");
        QTest::newRow("weak code first") << QStringList{"49", "19"} << QStringList{"29", "39"};
        QTest::newRow("strong code first") << QStringList{"19", "49"} << QStringList{"29", "39"};
        QTest::newRow("triple, odd order") << QStringList{"45", "15", "25"} << QStringList{"36", "26", "16"};
        QTest::newRow("no card on table") << QStringList{"99"} << QStringList{"43"};
        QTest::newRow("junk pair") << QStringList{"x", "13"} << QStringList{"44", "34"};
        QTest::newRow("four cards") << QStringList{"13", "23", "33", "43"} << QStringList{"12", "22", "32", "42"};
        QTest::newRow("junk five") << QStringList{"11", "11", "11", "12", "12"} << QStringList{"13", "23", "33", "14", "24"};
        QTest::newRow("five with junk") << QStringList{"11", "zz", "13", "14", "15"} << QStringList{"43", "44", "45", "46", "47"};
    }
    void tableReadAsShown()
    {
        QFETCH(QStringList, table);
        QFETCH(QStringList, mine);
        const TCombo t = BotCombos::tableCombo(table);
        TCombo c = BotCombos::classify(maskOf(mine));
        if (c.kind == _NoCombo)
            c.size = int(mine.size());
        QCOMPARE(c.beats(t), rules.isValidThrow(sel(maskOf(mine)), int(mine.size()), table));
    }

    void strongestKeyIsTheBestCombination()
    {
        for (int round = 0; round < 300; ++round) {
            const TCardMask cards = randomHand(3 + round % 20);
            for (int size : {1, 2, 3, 5}) {
                qint64 best = -1;
                for (const TCombo &c : BotCombos::enumerate(cards, size))
                    best = std::max(best, qint64(c.key));
                QCOMPARE(BotCombos::strongestKey(cards, size), best);
            }
        }
        QCOMPARE(BotCombos::strongestKey(0, 1), qint64(-1));
        QCOMPARE(BotCombos::strongestKey(kFullDeck, 4), qint64(-1));
    }

    // The play-outs' shortcut finds the weakest combination over a key that the full
    // enumeration would, holding a given card or not.
    void lowestOverIsTheWeakestThatBeats()
    {
        for (int round = 0; round < 400; ++round) {
            const TCardMask cards = randomHand(3 + round % 20);
            for (int size : {1, 2, 3, 5}) {
                const QList<TCombo> all = BotCombos::enumerate(cards, size);
                const quint32 over = all.isEmpty() || round % 3 == 0 ? 0 : all.at(qsizetype(rng() % all.size())).key;
                const TCardMask holding = round % 2 ? bit(lowest(cards)) : 0;
                qint64 want = -1;
                for (const TCombo &c : all) {
                    if (c.key > over && (c.mask & holding) == holding && want < 0)
                        want = c.key;
                }
                const TCombo got = BotCombos::lowestOver(cards, size, over, holding);
                QCOMPARE(got.isPass() ? qint64(-1) : qint64(got.key), want);
                if (!got.isPass()) {
                    QVERIFY(all.contains(got));
                    QCOMPARE(got.mask & holding, holding);
                }
            }
        }
    }

    // The generator offers exactly the throws the rules accept over the table.
    void generatorOffersExactlyTheAcceptedThrows()
    {
        TMoveGenerator gen(rules);
        for (int round = 0; round < 40; ++round) {
            const TCardMask hand = randomHand(13);
            const QList<TCombo> leads = BotCombos::enumerate(randomHand(13) & ~hand);
            if (leads.isEmpty())
                continue;
            const TCombo tableCombo = leads.at(qsizetype(rng() % quint64(leads.size())));
            QStringList table = sel(tableCombo.mask);
            std::shuffle(table.begin(), table.end(), rng);
            QSet<TCardMask> offered;
            for (const TCombo &c : gen.legalThrows(hand, table)) {
                QVERIFY(rules.isValidThrow(TMoveGenerator::selectionOf(c), c.size, table));
                offered.insert(c.mask);
            }
            QSet<TCardMask> accepted;
            for (TCardMask m : bruteForceLeads(hand)) {
                if (rules.isValidThrow(sel(m), count(m), table))
                    accepted.insert(m);
            }
            QCOMPARE(offered, accepted);
        }
    }

    void selectionIsInHandOrder()
    {
        const TCombo c = BotCombos::classify(maskOf({QStringLiteral("47"), QStringLiteral("17"), QStringLiteral("27")}));
        QCOMPARE(TMoveGenerator::selectionOf(c), (QStringList{"17", "27", "47"}));
        QCOMPARE(c.kind, _Triple);
    }
};

QTEST_GUILESS_MAIN(TstCombos)
#include "tst_combos.moc"

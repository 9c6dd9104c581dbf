// Card codes, card lists and the deck engine: values under each weight set, the draw, the test hooks.
#include "cards/cardcode.h"
#include "cards/cardeng.h"
#include "rules/rules.h"
#include <QSet>
#include <QTest>

class TstCardEng : public QObject
{
    Q_OBJECT

private slots:
    void parseCode_data();
    void parseCode();
    void codeRoundTrip();
    void cardLists_data();
    void cardLists();
    void rankLabels();
    void values_data();
    void values();
    void gameValuesDistinct();
    void weightsAcceptAnyInteger();
    void drawWholeDeck();
    void seededDrawsRepeat();
    void unseededEnginesDiffer();
    void drawIsUniform();
    void stackDeck();
};

void TstCardEng::parseCode_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("suit");
    QTest::addColumn<int>("rank");
    QTest::newRow("Spade A") << "11" << true << 1 << 1;
    QTest::newRow("Diamond 2") << "42" << true << 4 << 2;
    QTest::newRow("Cloves 10") << "310" << true << 3 << 10;
    QTest::newRow("Diamond K") << "413" << true << 4 << 13;
    QTest::newRow("too short") << "5" << false << 0 << 0;
    QTest::newRow("empty") << "" << false << 0 << 0;
    QTest::newRow("suit 5") << "51" << false << 0 << 0;
    QTest::newRow("suit 0") << "01" << false << 0 << 0;
    QTest::newRow("rank 14") << "114" << false << 0 << 0;
    QTest::newRow("rank 0") << "10" << false << 0 << 0;
    QTest::newRow("blank inside") << "1 1" << false << 0 << 0;
    QTest::newRow("leading blank") << " 11" << false << 0 << 0;
    QTest::newRow("trailing blank") << "11 " << false << 0 << 0;
    QTest::newRow("sign in rank") << "1+1" << false << 0 << 0;
    QTest::newRow("negative rank") << "1-1" << false << 0 << 0;
    QTest::newRow("letter rank") << "1A" << false << 0 << 0;
    QTest::newRow("trailing junk") << "11x" << false << 0 << 0;
    QTest::newRow("list mark") << "11#" << false << 0 << 0;
    QTest::newRow("huge rank") << "1999999999999999999999" << false << 0 << 0;
    QTest::newRow("non-latin digit") << QString("1") + QChar(0x0663) << false << 0 << 0;
}

void TstCardEng::parseCode()
{
    QFETCH(QString, code);
    QFETCH(bool, valid);
    QFETCH(int, suit);
    QFETCH(int, rank);
    int gotSuit = 0, gotRank = 0;
    QCOMPARE(parseCardCode(code, &gotSuit, &gotRank), valid);
    QCOMPARE(isCardCode(code), valid);
    QCOMPARE(gotSuit, suit); // untouched on refusal
    QCOMPARE(gotRank, rank);
}

void TstCardEng::codeRoundTrip()
{
    QSet<QString> seen;
    for (int s = _Spade; s <= _Diamond; ++s) {
        for (int r = _A; r <= _K; ++r) {
            const QString code = cardCode(TFlowerType(s), TNumberType(r));
            int suit = 0, rank = 0;
            QVERIFY2(parseCardCode(code, &suit, &rank), qPrintable(code));
            QCOMPARE(suit, s + 1);
            QCOMPARE(rank, r + 1);
            QCOMPARE(code.size(), r + 1 >= 10 ? 3 : 2);
            seen.insert(code);
        }
    }
    QCOMPARE(seen.size(), 52);
    QCOMPARE(cardCode(_Heart, _10), QStringLiteral("210"));
    QCOMPARE(cardCode(_Spade, _2), QStringLiteral("12"));
    QVERIFY(cardCode(0, 1).isEmpty());
    QVERIFY(cardCode(1, 14).isEmpty());
}

void TstCardEng::cardLists_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QStringList>("codes");
    QTest::newRow("two") << "33#43#" << QStringList{"33", "43"};
    QTest::newRow("ten") << "210#" << QStringList{"210"};
    QTest::newRow("pass") << "" << QStringList{};
    QTest::newRow("only marks") << "###" << QStringList{};
    QTest::newRow("stray marks") << "#33##43" << QStringList{"33", "43"};
    QTest::newRow("junk kept in place") << "33#zz#43#" << QStringList{"33", "zz", "43"};
}

void TstCardEng::cardLists()
{
    QFETCH(QString, list);
    QFETCH(QStringList, codes);
    QCOMPARE(splitCardList(list), codes);
    QCOMPARE(splitCardList(joinCardList(codes)), codes);
    QCOMPARE(joinCardList({"33", "43"}), QStringLiteral("33#43#"));
    QCOMPARE(joinCardList({"210"}), QStringLiteral("210#"));
    // empty pieces and marks inside a code would corrupt the list
    QCOMPARE(joinCardList({"", "11", "1#2"}), QStringLiteral("11#"));
}

void TstCardEng::rankLabels()
{
    const QStringList expected{"A", "2", "3", "4", "5", "6", "7", "8", "9", "10", "J", "Q", "K"};
    for (int r = _A; r <= _K; ++r)
        QCOMPARE(rankLabel(TNumberType(r)), expected.at(r));
}

void TstCardEng::values_data()
{
    QTest::addColumn<QString>("weights");
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("value");
    QTest::newRow("game Diamond 3") << "game" << "43" << 31;
    QTest::newRow("game Spade 2") << "game" << "12" << 204;
    QTest::newRow("game Spade A") << "game" << "11" << 154;
    QTest::newRow("game Spade 3") << "game" << "13" << 34;
    QTest::newRow("game Diamond K") << "game" << "413" << 131;
    QTest::newRow("game Diamond 2") << "game" << "42" << 201;
    QTest::newRow("game Heart 10") << "game" << "210" << 103;
    QTest::newRow("natural Diamond K") << "natural" << "413" << 13;
    QTest::newRow("natural Spade A") << "natural" << "11" << 1;
    QTest::newRow("default Spade A") << "default" << "11" << 11;
    QTest::newRow("default Diamond K") << "default" << "413" << 134;
    const char *junk[] = {"5", "51", "114", "10", "", "1x", "#"};
    for (const char *j : junk) {
        QTest::addRow("game junk '%s'", j) << "game" << j << 0;
        QTest::addRow("default junk '%s'", j) << "default" << j << 0;
    }
}

void TstCardEng::values()
{
    QFETCH(QString, weights);
    QFETCH(QString, code);
    QFETCH(int, value);
    TCardEng eng;
    TCombinationRules rules(eng);
    if (weights == "game")
        rules.useGameWeights();
    else if (weights == "natural")
        rules.useNaturalWeights();
    QCOMPARE(eng.CardValue(code), value);
}

void TstCardEng::gameValuesDistinct()
{
    TCardEng eng;
    TCombinationRules(eng).useGameWeights();
    QSet<int> values;
    int low = 1000, high = 0;
    for (int s = 1; s <= 4; ++s) {
        for (int r = 1; r <= 13; ++r) {
            const int v = eng.CardValue(cardCode(s, r));
            values.insert(v);
            low = qMin(low, v);
            high = qMax(high, v);
        }
    }
    QCOMPARE(values.size(), 52);
    QCOMPARE(low, 31);
    QCOMPARE(high, 204);
}

void TstCardEng::weightsAcceptAnyInteger()
{
    TCardEng eng;
    eng.SetRankWeight(_7, -500);
    eng.SetSuitWeight(_Cloves, 7);
    QCOMPARE(eng.CardValue("37"), -493);
    QCOMPARE(eng.CardValue("27"), -498); // Heart keeps its built-in 2
}

void TstCardEng::drawWholeDeck()
{
    TCardEng eng;
    eng.seed(7);
    for (int round = 0; round < 2; ++round) {
        QCOMPARE(eng.cardsLeft(), 52);
        QVERIFY(!eng.IsDeckEmpty());
        QSet<QString> drawn;
        QSet<int> suits, ranks;
        for (int i = 0; i < 52; ++i) {
            const QString code = eng.DrawCard();
            int s = 0, r = 0;
            QVERIFY2(parseCardCode(code, &s, &r), qPrintable(code));
            QVERIFY(!eng.inDeck(code));
            drawn.insert(code);
            suits.insert(s);
            ranks.insert(r);
            QCOMPARE(eng.cardsLeft(), 51 - i);
        }
        QCOMPARE(drawn.size(), 52);
        QCOMPARE(suits.size(), 4);
        QCOMPARE(ranks.size(), 13);
        QVERIFY(eng.IsDeckEmpty());
        QCOMPARE(eng.DrawCard(), QString());
        QCOMPARE(eng.cardsLeft(), 0);
        eng.ResetDeck();
        QVERIFY(eng.inDeck("42"));
    }
    QVERIFY(!eng.inDeck("114"));
}

void TstCardEng::seededDrawsRepeat()
{
    TCardEng a, b;
    a.seed(12345);
    b.seed(12345);
    QStringList da, db;
    for (int i = 0; i < 52; ++i) {
        da << a.DrawCard();
        db << b.DrawCard();
    }
    QCOMPARE(da, db);
    a.ResetDeck();
    a.seed(54321);
    QStringList dc;
    for (int i = 0; i < 52; ++i)
        dc << a.DrawCard();
    QVERIFY(dc != da);
}

void TstCardEng::unseededEnginesDiffer()
{
    // engines made in the same instant must not deal alike (a clock seed would)
    TCardEng a, b;
    QStringList da, db;
    for (int i = 0; i < 52; ++i) {
        da << a.DrawCard();
        db << b.DrawCard();
    }
    QVERIFY(da != db);
}

void TstCardEng::drawIsUniform()
{
    // chi-square over 51 degrees of freedom has mean 51 and deviation about 10; the bound is far out
    const int decks = 10400;
    std::array<int, 52> firstCard{}, fifthCard{};
    TCardEng eng;
    eng.seed(20240601);
    for (int d = 0; d < decks; ++d) {
        eng.ResetDeck();
        for (int i = 0; i < 5; ++i) {
            int s = 0, r = 0;
            QVERIFY(parseCardCode(eng.DrawCard(), &s, &r));
            const size_t idx = size_t((s - 1) * 13 + r - 1);
            if (i == 0)
                ++firstCard[idx];
            if (i == 4)
                ++fifthCard[idx];
        }
    }
    for (const auto &counts : {firstCard, fifthCard}) {
        const double expected = decks / 52.0;
        double chi2 = 0;
        for (int c : counts)
            chi2 += (c - expected) * (c - expected) / expected;
        QVERIFY2(chi2 < 150.0, qPrintable(QString::number(chi2)));
    }
}

void TstCardEng::stackDeck()
{
    TCardEng eng;
    eng.seed(3);
    QCOMPARE(eng.DrawCard().isEmpty(), false);
    const QString gone = [&] {
        for (int s = 1; s <= 4; ++s)
            for (int r = 1; r <= 13; ++r)
                if (!eng.inDeck(cardCode(s, r)))
                    return cardCode(s, r);
        return QString();
    }();
    QVERIFY(!gone.isEmpty());
    // junk and a card already drawn are passed over
    eng.stackDeck({"12", gone, "xx", "22", "", "32", "42"});
    QCOMPARE(eng.DrawCard(), QStringLiteral("12"));
    QCOMPARE(eng.DrawCard(), QStringLiteral("22"));
    QCOMPARE(eng.DrawCard(), QStringLiteral("32"));
    QCOMPARE(eng.DrawCard(), QStringLiteral("42"));
    QSet<QString> rest;
    while (!eng.IsDeckEmpty())
        rest.insert(eng.DrawCard());
    QCOMPARE(rest.size(), 47);
    QVERIFY(!rest.contains("12") && !rest.contains("42") && !rest.contains(gone));
}

QTEST_GUILESS_MAIN(TstCardEng)
#include "tst_cardeng.moc"

// Combination rules: legal throws, kind scores, which combination beats the table, the two instant wins.
#include "cards/cardeng.h"
#include "rules/rules.h"
#include <QTest>
#include <functional>

namespace {
// "S3 HA C10 D2" -> {"13", "21", "310", "42"}; anything unreadable is passed through as junk.
QStringList cards(const QString &text)
{
    static const QString suits = QStringLiteral("SHCD");
    static const QStringList ranks{"A", "2", "3", "4", "5", "6", "7", "8", "9", "10", "J", "Q", "K"};
    QStringList out;
    for (const QString &w : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const qsizetype s = suits.indexOf(w.at(0));
        const qsizetype r = ranks.indexOf(w.mid(1));
        out << ((s < 0 || r < 0) ? w : cardCode(int(s) + 1, int(r) + 1));
    }
    return out;
}

QStringList fullSuit(char suit)
{
    QStringList out;
    for (const char *r : {"A", "2", "3", "4", "5", "6", "7", "8", "9", "10", "J", "Q", "K"})
        out << cards(QString(QLatin1Char(suit)) + QLatin1String(r));
    return out;
}
} // namespace

class TstRules : public QObject
{
    Q_OBJECT

private slots:
    void weightSets();
    void nthLowest();
    void rankCount_data();
    void rankCount();
    void flush_data();
    void flush();
    void straight_data();
    void straight();
    void naturalWeightTestsRestoreGameWeights();
    void instantWins_data();
    void instantWins();
    void kindScores_data();
    void kindScores();
    void beats_data();
    void beats();
    void validThrow_data();
    void validThrow();
};

void TstRules::weightSets()
{
    TCardEng eng;
    TCombinationRules rules(eng);
    rules.useNaturalWeights();
    for (int r = 1; r <= 13; ++r)
        for (int s = 1; s <= 4; ++s)
            QCOMPARE(eng.CardValue(cardCode(s, r)), r);
    rules.useGameWeights();
    // strength order 3 < 4 < ... < K < A < 2, and Diamond < Cloves < Heart < Spade within a rank
    const QStringList order = cards("D3 C3 H3 S3 D4 DK SK DA SA D2 C2 H2 S2");
    for (qsizetype i = 1; i < order.size(); ++i)
        QVERIFY2(eng.CardValue(order.at(i - 1)) < eng.CardValue(order.at(i)), qPrintable(order.at(i)));
}

void TstRules::nthLowest()
{
    TCardEng eng;
    TCombinationRules rules(eng);
    rules.useGameWeights();
    const QStringList hand = cards("SK D3 H2 C7 SA");
    QCOMPARE(rules.nthLowestValue(hand, 1), 31);
    QCOMPARE(rules.nthLowestValue(hand, 2), 72);
    QCOMPARE(rules.nthLowestValue(hand, 5), 203);
    QCOMPARE(rules.nthLowestValue(hand, 6), 0);
    QCOMPARE(rules.nthLowestValue(hand, 0), 0);
    QCOMPARE(rules.nthLowestValue({}, 1), 0);
    QCOMPARE(rules.nthLowestValue(cards("SK junk"), 1), 0);
}

void TstRules::rankCount_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<int>("n");
    QTest::addColumn<bool>("expected");
    QTest::newRow("pair") << cards("S7 H7") << 2 << true;
    QTest::newRow("no pair") << cards("S7 H8") << 2 << false;
    QTest::newRow("triple") << cards("S7 H7 D7") << 3 << true;
    QTest::newRow("triple is not a pair") << cards("S7 H7 D7") << 2 << false;
    QTest::newRow("four is not a pair") << cards("S9 H9 C9 D9 S3") << 2 << false;
    QTest::newRow("four is not a triple") << cards("S9 H9 C9 D9 S3") << 3 << false;
    QTest::newRow("four") << cards("S9 H9 C9 D9 S3") << 4 << true;
    QTest::newRow("full house pair") << cards("S5 H5 D5 CK DK") << 2 << true;
    QTest::newRow("n beyond length") << cards("S7") << 2 << false;
    QTest::newRow("ace and king differ") << cards("SA SK") << 2 << false;
    QTest::newRow("junk counts for no rank") << cards("S7 zz zz") << 2 << false;
    QTest::newRow("junk beside a pair") << cards("S7 H7 114") << 2 << true;
}

void TstRules::rankCount()
{
    QFETCH(QStringList, list);
    QFETCH(int, n);
    QFETCH(bool, expected);
    TCardEng eng;
    TCombinationRules rules(eng);
    rules.useGameWeights();
    const QStringList before = list;
    QCOMPARE(rules.hasRankCount(list, n), expected);
    QCOMPARE(list, before);
}

void TstRules::flush_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<bool>("expected");
    QTest::newRow("five hearts") << cards("H3 H9 HJ HA H2") << true;
    QTest::newRow("one off") << cards("H3 H9 HJ HA S2") << false;
    QTest::newRow("single card") << cards("H3") << false;
    QTest::newRow("empty") << QStringList{} << false;
    QTest::newRow("junk of one leading digit") << QStringList{"5a", "5b", "5c", "5d", "5e"} << false;
}

void TstRules::flush()
{
    QFETCH(QStringList, list);
    QFETCH(bool, expected);
    TCardEng eng;
    QCOMPARE(TCombinationRules(eng).isFlush(list), expected);
}

void TstRules::straight_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<bool>("expected");
    QTest::newRow("10-J-Q-K-A") << cards("S10 HJ CQ DK SA") << true;
    QTest::newRow("J-Q-K-A-2") << cards("SJ HQ CK DA S2") << false;
    QTest::newRow("Q-K-A-2-3") << cards("SQ HK CA D2 S3") << false;
    QTest::newRow("A-2-3-4-5") << cards("SA H2 C3 D4 S5") << true;
    QTest::newRow("2-3-4-5-6") << cards("S2 H3 C4 D5 S6") << true;
    QTest::newRow("9-10-J-Q-K") << cards("S9 H10 CJ DQ SK") << true;
    QTest::newRow("4-10-J-Q-K") << cards("S4 H10 CJ DQ SK") << false;
    QTest::newRow("unsorted 3-7") << cards("S7 D3 H5 C4 S6") << true;
    QTest::newRow("pair inside") << cards("S3 H3 C4 D5 S6") << false;
    QTest::newRow("gap") << cards("S3 H4 C5 D6 S8") << false;
    QTest::newRow("four cards") << cards("S3 H4 C5 D6") << false;
    QTest::newRow("six cards") << cards("S3 H4 C5 D6 S7 H8") << false;
    QTest::newRow("junk") << cards("S3 H4 C5 D6 zz") << false;
}

void TstRules::straight()
{
    QFETCH(QStringList, list);
    QFETCH(bool, expected);
    TCardEng eng;
    TCombinationRules rules(eng);
    rules.useGameWeights();
    const QStringList before = list;
    QCOMPARE(rules.isStraight(list), expected);
    QCOMPARE(list, before);
}

void TstRules::naturalWeightTestsRestoreGameWeights()
{
    const QStringList five = cards("S3 H4 C5 D6 S7");
    const QStringList thirteen = cards("SA H2 C3 D4 S5 H6 C7 D8 S9 H10 CJ DQ SK");
    const std::function<void(TCombinationRules &)> tests[] = {
        [&](TCombinationRules &r) { r.hasRankCount(five, 2); },
        [&](TCombinationRules &r) { r.hasRankCount(five, 9); }, // refused before counting
        [&](TCombinationRules &r) { r.isStraight(five); },
        [&](TCombinationRules &r) { r.isStraight(cards("S3")); },
        [&](TCombinationRules &r) { r.isThirteenRun(thirteen); },
        [&](TCombinationRules &r) { r.isThirteenRun(five); },
        [&](TCombinationRules &r) { r.kindScore(five); },
        [&](TCombinationRules &r) { r.isValidThrow(five, 5, {}); },
        [&](TCombinationRules &r) { r.beatsTable(five, cards("S8 H9 C10 DJ SQ")); },
    };
    for (const auto &test : tests) {
        for (int start = 0; start < 3; ++start) {
            TCardEng eng; // built-in default weights
            TCombinationRules rules(eng);
            if (start == 1)
                rules.useNaturalWeights();
            if (start == 2)
                rules.useGameWeights();
            test(rules);
            QCOMPARE(eng.CardValue("43"), 31);
            QCOMPARE(eng.CardValue("12"), 204);
            QCOMPARE(eng.CardValue("11"), 154);
        }
    }
}

void TstRules::instantWins_data()
{
    QTest::addColumn<QStringList>("hand");
    QTest::addColumn<bool>("fourTwos");
    QTest::addColumn<bool>("thirteenRun");
    QTest::newRow("four 2s") << cards("S2 H2 C2 D2 S3 H3 C5 D7 S9 H10 CJ DQ SK") << true << false;
    QTest::newRow("three 2s") << cards("S2 H2 C2 D4 S3 H3 C5 D7 S9 H10 CJ DQ SK") << false << false;
    QTest::newRow("run mixed suits") << cards("DK SA H2 C3 D4 S5 H6 C7 D8 S9 H10 CJ DQ") << false << true;
    QTest::newRow("run one suit") << fullSuit('C') << false << true;
    QTest::newRow("run with a 2 doubled") << cards("SA H2 C2 D4 S5 H6 C7 D8 S9 H10 CJ DQ SK") << false << false;
    QTest::newRow("twelve of the run") << cards("SA H2 C3 D4 S5 H6 C7 D8 S9 H10 CJ DQ") << false << false;
    QTest::newRow("run plus one") << (fullSuit('S') << "42") << false << false;
    QTest::newRow("one 2 four times") << cards("S2 S2 S2 S2 S3 H3 C5 D7 S9 H10 CJ DQ SK") << false << false;
    QTest::newRow("junk in place of the K") << cards("SA H2 C3 D4 S5 H6 C7 D8 S9 H10 CJ DQ 114") << false << false;
    QTest::newRow("ten of Spades is no 2") << cards("S10 H10 C10 D10 S2 H2 C2") << false << false;
}

void TstRules::instantWins()
{
    QFETCH(QStringList, hand);
    QFETCH(bool, fourTwos);
    QFETCH(bool, thirteenRun);
    TCardEng eng;
    TCombinationRules rules(eng);
    rules.useGameWeights();
    QCOMPARE(rules.hasFourTwos(hand), fourTwos);
    QCOMPARE(rules.isThirteenRun(hand), thirteenRun);
}

void TstRules::kindScores_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<int>("score");
    QTest::newRow("straight") << cards("S3 H4 C5 D6 S7") << 7;
    QTest::newRow("flush") << cards("H3 H9 HJ HA H2") << 8;
    QTest::newRow("full house") << cards("S5 H5 D5 CK DK") << 9;
    QTest::newRow("four of a kind") << cards("S9 H9 C9 D9 S3") << 10;
    QTest::newRow("straight flush") << cards("D9 D10 DJ DQ DK") << 15;
    QTest::newRow("royal straight flush") << cards("S10 SJ SQ SK SA") << 15;
    QTest::newRow("two pairs") << cards("S5 H5 CK DK S3") << 0;
}

void TstRules::kindScores()
{
    QFETCH(QStringList, list);
    QFETCH(int, score);
    TCardEng eng;
    TCombinationRules rules(eng);
    rules.useGameWeights();
    QCOMPARE(rules.kindScore(list), score);
}

void TstRules::beats_data()
{
    QTest::addColumn<QStringList>("newList");
    QTest::addColumn<QStringList>("table");
    QTest::addColumn<bool>("wins");
    QTest::newRow("Spade 3 over Heart 3") << cards("S3") << cards("H3") << true;
    QTest::newRow("Heart 3 under Spade 3") << cards("H3") << cards("S3") << false;
    QTest::newRow("Diamond 2 over Spade A") << cards("D2") << cards("SA") << true;
    QTest::newRow("nothing over Spade 2") << cards("H2") << cards("S2") << false;
    QTest::newRow("a card does not beat itself") << cards("S2") << cards("S2") << false;
    QTest::newRow("Diamond 3 over junk") << cards("D3") << cards("zz") << true;
    QTest::newRow("pair 7 with Spade") << cards("S7 H7") << cards("C7 D7") << true;
    QTest::newRow("pair 9 without Spade") << cards("H9 C9") << cards("S9 D9") << false;
    QTest::newRow("pair 10 over pair 9") << cards("C10 D10") << cards("S9 H9") << true;
    QTest::newRow("triple 4 over triple 3") << cards("C4 D4 H4") << cards("S3 H3 C3") << true;
    QTest::newRow("four cards never") << cards("S2 H2 C2 D2") << cards("S3 H3 C3 D3") << false;
    QTest::newRow("sizes differ") << cards("S2 H2") << cards("S3") << false;
    QTest::newRow("empty") << QStringList{} << QStringList{} << false;
    QTest::newRow("low flush over top straight") << cards("D3 D5 D7 D8 D10") << cards("S10 HJ SQ SK SA") << true;
    QTest::newRow("full house over flush") << cards("S3 H3 C3 D4 C4") << cards("S2 SA SK SQ S10") << true;
    QTest::newRow("four of a kind over full house") << cards("S3 H3 C3 D3 D4") << cards("S2 H2 C2 SA HA") << true;
    QTest::newRow("straight flush over four of a kind") << cards("D3 D4 D5 D6 D7") << cards("S2 H2 C2 D2 SA") << true;
    QTest::newRow("four of a kind under straight flush") << cards("S2 H2 C2 D2 SA") << cards("D3 D4 D5 D6 D7") << false;
    QTest::newRow("4-4-4-2-2 over 3-3-3-K-K") << cards("S4 H4 C4 D2 C2") << cards("S3 H3 C3 SK HK") << true;
    QTest::newRow("3-3-3-A-A over K-K-K-Q-Q") << cards("S3 H3 C3 DA CA") << cards("SK HK CK SQ HQ") << true;
    QTest::newRow("K-K-K-Q-Q under 3-3-3-A-A") << cards("SK HK CK SQ HQ") << cards("S3 H3 C3 DA CA") << false;
    QTest::newRow("2-3-4-5-6 over 10-J-Q-K-A") << cards("D2 D3 C4 D5 D6") << cards("S10 SJ SQ SK HA") << true;
    QTest::newRow("A-2-3-4-5 over 10-J-Q-K-A") << cards("DA D2 C3 D4 D5") << cards("S10 SJ SQ SK HA") << true;
    QTest::newRow("10-J-Q-K-A under A-2-3-4-5") << cards("S10 SJ SQ SK HA") << cards("DA D2 C3 D4 D5") << false;
    QTest::newRow("9-K over 8-Q") << cards("D9 C10 DJ DQ DK") << cards("S8 S9 S10 SJ HQ") << true;
    QTest::newRow("3-7 higher 7 wins") << cards("D3 D4 D5 D6 H7") << cards("S3 S4 S5 S6 C7") << true;
    QTest::newRow("3-7 lower 7 loses") << cards("S3 S4 S5 S6 C7") << cards("D3 D4 D5 D6 H7") << false;
    QTest::newRow("same straight does not beat itself") << cards("S3 H4 C5 D6 S7") << cards("S3 H4 C5 D6 S7") << false;
    QTest::newRow("four 5s with 2 over four 9s with 3") << cards("S5 H5 C5 D5 D2") << cards("S9 H9 C9 D9 S3") << true;
    QTest::newRow("flush decided below the top card") << cards("H3 H5 H7 H9 HK") << cards("S3 S4 S7 S9 SK") << true;
}

void TstRules::beats()
{
    QFETCH(QStringList, newList);
    QFETCH(QStringList, table);
    QFETCH(bool, wins);
    TCardEng eng;
    TCombinationRules rules(eng);
    rules.useGameWeights();
    QCOMPARE(rules.beatsTable(newList, table), wins);
    QCOMPARE(eng.CardValue("43"), 31);
}

void TstRules::validThrow_data()
{
    QTest::addColumn<QStringList>("selection");
    QTest::addColumn<int>("n");
    QTest::addColumn<QStringList>("table");
    QTest::addColumn<bool>("valid");
    const QStringList clear;
    QTest::newRow("single on clear") << cards("D3") << 1 << clear << true;
    QTest::newRow("pair on clear") << cards("D3 C3") << 2 << clear << true;
    QTest::newRow("non-pair on clear") << cards("D3 C4") << 2 << clear << false;
    QTest::newRow("triple on clear") << cards("D3 C3 S3") << 3 << clear << true;
    QTest::newRow("four of a kind alone") << cards("D3 C3 S3 H3") << 4 << clear << false;
    QTest::newRow("four odd cards") << cards("D3 C5 S7 H9") << 4 << clear << false;
    QTest::newRow("nothing") << QStringList{} << 0 << clear << false;
    QTest::newRow("six cards") << cards("S3 H4 C5 D6 S7 H8") << 6 << clear << false;
    QTest::newRow("straight on clear") << cards("S3 H4 C5 D6 S7") << 5 << clear << true;
    QTest::newRow("flush on clear") << cards("H3 H9 HJ HA H2") << 5 << clear << true;
    QTest::newRow("full house on clear") << cards("S5 H5 D5 CK DK") << 5 << clear << true;
    QTest::newRow("four and one on clear") << cards("S9 H9 C9 D9 S3") << 5 << clear << true;
    QTest::newRow("triple and two odd") << cards("S5 H5 D5 CK DQ") << 5 << clear << false;
    QTest::newRow("two pairs and one") << cards("S5 H5 CK DK DQ") << 5 << clear << false;
    QTest::newRow("pair 7 beats table") << cards("S7 H7") << 2 << cards("C7 D7") << true;
    QTest::newRow("pair 9 under table") << cards("H9 C9") << 2 << cards("S9 D9") << false;
    QTest::newRow("single on a pair") << cards("S2") << 1 << cards("C3 D3") << false;
    QTest::newRow("triple on a pair") << cards("S2 H2 C2") << 3 << cards("C3 D3") << false;
    QTest::newRow("five on a pair") << cards("S9 H9 C9 D9 S3") << 5 << cards("C3 D3") << false;
    QTest::newRow("higher single") << cards("S2") << 1 << cards("SA") << true;
    QTest::newRow("flush on straight") << cards("D3 D5 D7 D8 D10") << 5 << cards("S10 HJ SQ SK SA") << true;
    QTest::newRow("straight on flush") << cards("S10 HJ SQ SK SA") << 5 << cards("D3 D5 D7 D8 D10") << false;
    QTest::newRow("count differs from selection") << cards("S2") << 2 << clear << false;
    QTest::newRow("same card twice") << cards("S7 S7") << 2 << clear << false;
    QTest::newRow("junk single") << QStringList{"zz"} << 1 << clear << false;
    QTest::newRow("junk flush") << QStringList{"5a", "5b", "5c", "5d", "5e"} << 5 << clear << false;
}

void TstRules::validThrow()
{
    QFETCH(QStringList, selection);
    QFETCH(int, n);
    QFETCH(QStringList, table);
    QFETCH(bool, valid);
    TCardEng eng;
    TCombinationRules rules(eng);
    rules.useGameWeights();
    QCOMPARE(rules.isValidThrow(selection, n, table), valid);
}

QTEST_GUILESS_MAIN(TstRules)
#include "tst_rules.moc"

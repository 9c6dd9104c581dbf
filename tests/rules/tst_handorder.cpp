// Hand order: by number (A..K, Spade first within a rank) and by suit (Spade..Diamond, K down to A).
#include "cards/cardcode.h"
#include "rules/handorder.h"
#include <QTest>

class TstHandOrder : public QObject
{
    Q_OBJECT

private slots:
    void sortExamples_data();
    void sortExamples();
    void wholeDeck();
    void comesAfterIsStrict();
};

void TstHandOrder::sortExamples_data()
{
    QTest::addColumn<QStringList>("hand");
    QTest::addColumn<bool>("byNumber");
    QTest::addColumn<QStringList>("sorted");
    // Spade K, Heart A, Diamond 2, Spade A
    const QStringList mixed{"113", "21", "42", "11"};
    QTest::newRow("by number") << mixed << true << QStringList{"11", "21", "42", "113"};
    QTest::newRow("by flower") << mixed << false << QStringList{"113", "11", "21", "42"};
    QTest::newRow("10 after 9 by number") << QStringList{"110", "29", "413", "12"} << true
                                          << QStringList{"12", "29", "110", "413"};
    QTest::newRow("10 before 9 by flower") << QStringList{"19", "110", "11", "113"} << false
                                           << QStringList{"113", "110", "19", "11"};
    QTest::newRow("equal ranks by suit digit") << QStringList{"47", "37", "27", "17"} << true
                                               << QStringList{"17", "27", "37", "47"};
    QTest::newRow("empty") << QStringList{} << true << QStringList{};
    QTest::newRow("single") << QStringList{"42"} << false << QStringList{"42"};
    QTest::newRow("junk last by number") << QStringList{"zz", "113", "", "21"} << true
                                         << QStringList{"21", "113", "zz", ""};
    QTest::newRow("junk last by flower") << QStringList{"114", "42", "11"} << false
                                         << QStringList{"11", "42", "114"};
}

void TstHandOrder::sortExamples()
{
    QFETCH(QStringList, hand);
    QFETCH(bool, byNumber);
    QFETCH(QStringList, sorted);
    sortCodes(hand, byNumber);
    QCOMPARE(hand, sorted);
    sortCodes(hand, byNumber);
    QCOMPARE(hand, sorted);
}

void TstHandOrder::wholeDeck()
{
    QStringList deck;
    for (int r = 13; r >= 1; --r)
        for (int s = 4; s >= 1; --s)
            deck << cardCode(s, r);
    QStringList byNumber = deck;
    sortCodes(byNumber, true);
    QStringList byFlower = deck;
    sortCodes(byFlower, false);
    for (int i = 0; i < 52; ++i) {
        QCOMPARE(byNumber.at(i), cardCode(i % 4 + 1, i / 4 + 1));
        QCOMPARE(byFlower.at(i), cardCode(i / 13 + 1, 13 - i % 13));
    }
}

void TstHandOrder::comesAfterIsStrict()
{
    for (bool byNumber : {true, false}) {
        QVERIFY(!comesAfter("42", "42", byNumber));
        QVERIFY(!comesAfter("zz", "zz", byNumber));
        QCOMPARE(comesAfter("113", "21", byNumber), !comesAfter("21", "113", byNumber));
    }
    QVERIFY(comesAfter("113", "21", true));
    QVERIFY(!comesAfter("113", "21", false));
}

QTEST_GUILESS_MAIN(TstHandOrder)
#include "tst_handorder.moc"

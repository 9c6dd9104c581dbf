// The lenient reading of a typed port number.
#include "ui/portinput.h"

#include <QTest>

class TestPortInput : public QObject
{
    Q_OBJECT
private slots:
    void reads_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");

        QTest::newRow("plain") << "110" << 110;
        QTest::newRow("leading blanks") << "   8080" << 8080;
        QTest::newRow("leading tab") << "\t25" << 25;
        QTest::newRow("plus sign") << "+443" << 443;
        QTest::newRow("digits then letters") << "123abc" << 123;
        QTest::newRow("trailing blank stops") << "99 " << 99;
        QTest::newRow("no digits") << "abc" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("only blanks") << "    " << 0;
        QTest::newRow("only sign") << "-" << 0;
        QTest::newRow("dollar hex") << "$1F90" << 8080;
        QTest::newRow("dollar hex lower") << "$ff" << 255;
        QTest::newRow("x hex") << "x10" << 16;
        QTest::newRow("X hex") << "XfF" << 255;
        QTest::newRow("0x hex") << "0x6E" << 110;
        QTest::newRow("0X hex") << "0X6e" << 110;
        QTest::newRow("hex prefix without digits") << "$" << 0;
        QTest::newRow("0x without digits") << "0xg" << 0;
        QTest::newRow("hex stops at non-hex") << "$1g" << 1;
        QTest::newRow("decimal stops at hex letter") << "12f" << 12;
        QTest::newRow("out of range kept") << "70000" << 70000;
        QTest::newRow("minus to the end") << "-5" << -5;
        QTest::newRow("minus hex to the end") << "-$10" << -16;
        QTest::newRow("minus stopped early loses sign") << "-5x" << 5;
        QTest::newRow("minus with trailing blank") << "-7 " << 7;
        QTest::newRow("blank after sign") << "- 5" << 0;
        QTest::newRow("leading zeros") << "00110" << 110;
        QTest::newRow("int max") << "2147483647" << 2147483647;
        QTest::newRow("overflow keeps value before") << "21474836479" << 2147483647;
        QTest::newRow("long overflow") << "99999999999999999999" << 999999999;
        QTest::newRow("hex overflow") << "$FFFFFFFFF" << 0x0FFFFFFF;
        QTest::newRow("minus with overflow loses sign") << "-99999999999" << 999999999;
        QTest::newRow("digit outside latin") << QString::fromUtf8("1\u0663") << 1;
    }
    void reads()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(readLenientNumber(text), value);
    }
};

QTEST_GUILESS_MAIN(TestPortInput)
#include "tst_portinput.moc"

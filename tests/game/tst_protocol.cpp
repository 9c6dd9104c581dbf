// Value conversions applied on receipt, and the letter-spaced form of a nick.
#include "game/protocol.h"
#include <QTest>

class TstProtocol : public QObject
{
    Q_OBJECT

private slots:
    void strict_data();
    void strict();
    void lenient_data();
    void lenient();
    void spaced_data();
    void spaced();
};

void TstProtocol::strict_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "1000" << true << 1000;
    QTest::newRow("zero") << "0" << true << 0;
    QTest::newRow("negative") << "-250" << true << -250;
    QTest::newRow("plus") << "+7" << true << 7;
    QTest::newRow("leading zeros") << "007" << true << 7;
    QTest::newRow("max") << "2147483647" << true << 2147483647;
    QTest::newRow("min") << "-2147483648" << true << int(-2147483647 - 1);
    QTest::newRow("just over max") << "2147483648" << false << 0;
    QTest::newRow("just under min") << "-2147483649" << false << 0;
    QTest::newRow("very long") << "99999999999999999999999" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("sign only") << "-" << false << 0;
    QTest::newRow("leading blank") << " 5" << false << 0;
    QTest::newRow("trailing blank") << "5 " << false << 0;
    QTest::newRow("trailing junk") << "12abc" << false << 0;
    QTest::newRow("two signs") << "--5" << false << 0;
    QTest::newRow("hex") << "0x10" << false << 0;
    QTest::newRow("decimal point") << "1.0" << false << 0;
    QTest::newRow("non-latin digits") << QString(QChar(0x0663)) << false << 0;
}

void TstProtocol::strict()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, value);
    int got = -12345;
    QCOMPARE(strictToInt(text, &got), ok);
    QCOMPARE(got, ok ? value : -12345); // a failed conversion leaves the target alone
    QCOMPARE(strictToInt(text, nullptr), ok);
}

void TstProtocol::lenient_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "1000" << 1000;
    QTest::newRow("leading blanks") << "   42" << 42;
    QTest::newRow("negative") << " -30" << -30;
    QTest::newRow("plus") << "+8" << 8;
    QTest::newRow("stops at junk") << "150abc" << 150;
    QTest::newRow("stops at blank") << "15 0" << 15;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("junk first") << "abc" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("sign only") << "-" << 0;
    QTest::newRow("blank before digits after sign") << "- 5" << 0;
    QTest::newRow("clamped high") << "99999999999999999999" << 2147483647;
    QTest::newRow("clamped low") << "-99999999999999999999" << int(-2147483647 - 1);
}

void TstProtocol::lenient()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(lenientToInt(text), value);
}

void TstProtocol::spaced_data()
{
    QTest::addColumn<QString>("nick");
    QTest::addColumn<QString>("shown");
    QTest::newRow("three letters") << "Ann" << "A n n";
    QTest::newRow("one letter") << "x" << "x";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("blank inside") << "a b" << "a   b";
    QTest::newRow("blanks at ends") << " ab " << "a b";
    QTest::newRow("latin-1") << QString::fromLatin1("J\xf6rg") << QString::fromLatin1("J \xf6 r g");
}

void TstProtocol::spaced()
{
    QFETCH(QString, nick);
    QFETCH(QString, shown);
    QCOMPARE(letterSpaced(nick), shown);
    QCOMPARE(letterSpaced("EMPTY") + "  ", kEmptySeatText);
}

QTEST_GUILESS_MAIN(TstProtocol)
#include "tst_protocol.moc"

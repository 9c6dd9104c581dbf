// The built-in pictures at both resolutions, the icons, and the table's fonts.
#include "ui/pictures.h"
#include <QFontInfo>
#include <QFontMetrics>
#include <QTest>

class TestPictures : public QObject
{
    Q_OBJECT
private slots:
    void picturesHaveTheirLogicalSizes_data();
    void picturesHaveTheirLogicalSizes();
    void iconsHaveTheirPixels();
    void tableFontsUseThePixelSize();
};

void TestPictures::picturesHaveTheirLogicalSizes_data()
{
    QTest::addColumn<QPixmap>("picture");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<qreal>("ratio");
    for (qreal ratio : {1.0, 2.0}) {
        const QByteArray at = ratio > 1 ? " @2x" : " @1x";
        QTest::newRow("back" + at) << cardBackPicture(ratio) << QSize(31, 44) << ratio;
        QTest::newRow("spade" + at) << suitPicture(1, ratio) << QSize(12, 14) << ratio;
        QTest::newRow("heart" + at) << suitPicture(2, ratio) << QSize(14, 14) << ratio;
        QTest::newRow("club" + at) << suitPicture(3, ratio) << QSize(14, 13) << ratio;
        QTest::newRow("diamond" + at) << suitPicture(4, ratio) << QSize(11, 14) << ratio;
        QTest::newRow("felt" + at) << feltTile(ratio) << QSize(30, 30) << ratio;
        QTest::newRow("turn" + at) << turnMarkerPicture(ratio) << QSize(17, 17) << ratio;
    }
}

void TestPictures::picturesHaveTheirLogicalSizes()
{
    QFETCH(QPixmap, picture);
    QFETCH(QSize, size);
    QFETCH(qreal, ratio);
    QVERIFY(!picture.isNull());
    QCOMPARE(picture.devicePixelRatio(), ratio);
    QCOMPARE(picture.deviceIndependentSize().toSize(), size);
    QCOMPARE(picture.size(), size * int(ratio));
}

void TestPictures::iconsHaveTheirPixels()
{
    QVERIFY(suitPicture(0).isNull());
    QVERIFY(suitPicture(5).isNull());

    const QImage blank = blankIcon().pixmap(16, 16).toImage();
    QCOMPARE(blank.size(), QSize(16, 16));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            QCOMPARE(qAlpha(blank.pixel(x, y)), 0);

    const QIcon icon = windowIcon();
    QVERIFY(!icon.isNull());
    for (int side : {16, 32, 64}) {
        const QImage img = icon.pixmap(side, side).toImage();
        QCOMPARE(img.size(), QSize(side, side));
        int opaque = 0;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                opaque += qAlpha(img.pixel(x, y)) == 255 ? 1 : 0;
        QVERIFY(opaque > side * side / 5);
    }

    // The turn marker is a spade on a transparent ground: clear corners, solid black middle.
    const QImage turn = turnMarkerPicture(1).toImage();
    QCOMPARE(qAlpha(turn.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(turn.pixel(16, 0)), 0);
    QCOMPARE(turn.pixel(8, 8), qRgba(0, 0, 0, 255));
}

void TestPictures::tableFontsUseThePixelSize()
{
    const QFont arial = tableFont(QStringLiteral("Arial"), 11, true);
    QCOMPARE(arial.pixelSize(), 11);
    QVERIFY(arial.bold());
    QVERIFY(QFontInfo(arial).pixelSize() >= 10 && QFontInfo(arial).pixelSize() <= 12);
    const QFont courier = tableFont(QStringLiteral("Courier New"), 11);
    QVERIFY(!courier.bold());
    QVERIFY(QFontInfo(courier).fixedPitch());
    const QFontMetrics mono(courier);
    QCOMPARE(mono.horizontalAdvance(QLatin1Char('i')), mono.horizontalAdvance(QLatin1Char('W')));
    QCOMPARE(tableFont(QStringLiteral("MS Serif"), 9).pixelSize(), 9);
    // A face nobody maps still gives a usable font of the asked size.
    QCOMPARE(tableFont(QStringLiteral("No Such Face"), 12).pixelSize(), 12);
    // The card's rank labels: "10" must fit between its placement and the card's outline.
    QVERIFY(QFontMetrics(cardFont()).horizontalAdvance(QStringLiteral("10")) <= 14);
    QVERIFY(QFontMetrics(cardFont()).height() <= 13);
}

QTEST_MAIN(TestPictures)
#include "tst_pictures_gui.moc"

// The card control: its painted face and back, its face setters, and its mouse events.
#include "ui/playcard.h"
#include "ui/pictures.h"
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

namespace {

bool isRed(QRgb c) { return qRed(c) > 200 && qGreen(c) < 90 && qBlue(c) < 90; }
bool isDark(QRgb c) { return qRed(c) < 110 && qGreen(c) < 110 && qBlue(c) < 110; }
bool isInk(QRgb c) { return isRed(c) || isDark(c); }

QImage face(TPlayCard &card)
{
    return card.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Pixels of a kind inside a rectangle of the card image.
int count(const QImage &img, const QRect &r, bool (*pred)(QRgb))
{
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += pred(img.pixel(x, y)) ? 1 : 0;
    return n;
}

// Leftmost column holding ink inside a rectangle, -1 when there is none.
int firstInkColumn(const QImage &img, const QRect &r)
{
    for (int x = r.left(); x <= r.right(); ++x)
        for (int y = r.top(); y <= r.bottom(); ++y)
            if (isInk(img.pixel(x, y)))
                return x;
    return -1;
}

// A picture as it looks drawn over the given background.
QImage over(const QPixmap &pm, const QColor &ground)
{
    QImage img(pm.deviceIndependentSize().toSize(), QImage::Format_RGB32);
    img.fill(ground);
    QPainter p(&img);
    p.drawPixmap(0, 0, pm);
    p.end();
    return img;
}

// Counts paint events, to see that face changes repaint on the spot.
class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// A shown window with one card, driven through the window so the toolkit routes the events.
struct Table
{
    QWidget window;
    TPlayCard *card;
    Table()
    {
        window.resize(200, 120);
        card = new TPlayCard(&window);
        card->move(20, 20);
        window.show();
    }
    QWindow *handle() { return window.windowHandle(); }
    QPoint onCard() const { return card->geometry().center(); }
    QPoint offCard() const { return {150, 90}; }
};

} // namespace

class TestPlayCard : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { initPictures(); }
    void newCardIsFaceUpSpadeAce();
    void faceShowsRankSuitAndColour_data();
    void faceShowsRankSuitAndColour();
    void invalidCodeKeepsTheFace_data();
    void invalidCodeKeepsTheFace();
    void propertySettersKeepTheOtherHalf();
    void faceDownShowsTheBack();
    void faceChangesRepaintAtOnce();
    void pressOnReleaseOffStillClicks();
    void rightAndLeftAreSeparate();
    void crossingFiresOncePerWay();
    void dragOffFiresExitBeforeRelease();
    void overlappedCardIsLeftForTheOneOnTop();
};

void TestPlayCard::newCardIsFaceUpSpadeAce()
{
    QWidget parent;
    TPlayCard card(&parent);
    QCOMPARE(card.geometry(), QRect(0, 0, 31, 44));
    QCOMPARE(card.cardStatus(), _Open);
    QCOMPARE(card.GetCardCode(), QStringLiteral("11"));
    QCOMPARE(card.rankText(), QStringLiteral("A"));
    QVERIFY(!card.About().isEmpty());

    const QImage img = face(card);
    QCOMPARE(img.size(), QSize(31, 44));
    // One-pixel black outline, white inside.
    for (const QPoint &p : {QPoint(0, 0), QPoint(30, 0), QPoint(0, 43), QPoint(30, 43), QPoint(15, 0), QPoint(0, 22), QPoint(30, 22), QPoint(15, 43)})
        QCOMPARE(img.pixel(p), qRgb(0, 0, 0));
    for (const QPoint &p : {QPoint(1, 22), QPoint(5, 40), QPoint(25, 5), QPoint(29, 25)})
        QCOMPARE(img.pixel(p), qRgb(255, 255, 255));
    // Black "A" top left and bottom right, nothing red.
    QVERIFY(count(img, QRect(2, 2, 10, 12), isDark) > 5);
    QVERIFY(count(img, QRect(21, 30, 9, 13), isDark) > 5);
    QCOMPARE(count(img, QRect(1, 1, 29, 42), isRed), 0);
}

void TestPlayCard::faceShowsRankSuitAndColour_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("rank");
    QTest::addColumn<int>("suit");
    QTest::addColumn<bool>("red");
    QTest::addColumn<QPoint>("symbolAt");
    QTest::addColumn<int>("lowerLabelX");

    QTest::newRow("spade A") << "11" << "A" << 1 << false << QPoint(9, 16) << 21;
    QTest::newRow("heart 10") << "210" << "10" << 2 << true << QPoint(8, 16) << 16;
    QTest::newRow("club K") << "313" << "K" << 3 << false << QPoint(8, 17) << 21;
    QTest::newRow("diamond Q") << "412" << "Q" << 4 << true << QPoint(10, 16) << 21;
    QTest::newRow("club 10") << "310" << "10" << 3 << false << QPoint(8, 17) << 16;
    QTest::newRow("diamond 2") << "42" << "2" << 4 << true << QPoint(10, 16) << 21;
}

void TestPlayCard::faceShowsRankSuitAndColour()
{
    QFETCH(QString, code);
    QFETCH(QString, rank);
    QFETCH(int, suit);
    QFETCH(bool, red);
    QFETCH(QPoint, symbolAt);
    QFETCH(int, lowerLabelX);

    QWidget parent;
    TPlayCard card(&parent);
    card.SetCardCode(code);
    QCOMPARE(card.GetCardCode(), code);
    QCOMPARE(card.rankText(), rank);
    QCOMPARE(card.suitImageIndex(), suit);
    QCOMPARE(int(card.cardFlower()), suit - 1);

    const QImage img = face(card);
    const QRect upper(2, 2, 14, 12);
    const QRect lower(12, 30, 18, 13);
    bool (*wanted)(QRgb) = red ? isRed : isDark;
    bool (*other)(QRgb) = red ? isDark : isRed;
    QVERIFY(count(img, upper, wanted) > 5);
    QVERIFY(count(img, lower, wanted) > 5);
    QCOMPARE(count(img, upper, other), 0);
    QCOMPARE(count(img, lower, other), 0);

    // The label is placed by its top-left corner, so the ink starts at the placement column
    // or a bearing of a pixel or two to its right.
    const int upperInk = firstInkColumn(img, upper);
    QVERIFY2(upperInk >= 2 && upperInk <= 4, qPrintable(QString::number(upperInk)));
    const int lowerInk = firstInkColumn(img, lower);
    QVERIFY2(lowerInk >= lowerLabelX && lowerInk <= lowerLabelX + 2, qPrintable(QString::number(lowerInk)));
    // The whole label fits inside the outline.
    QCOMPARE(count(img, QRect(1, 1, 29, 42), isInk) > 0, true);
    QVERIFY(count(img, QRect(29, 1, 1, 42), isInk) == 0);
    QVERIFY(count(img, QRect(1, 42, 29, 1), isInk) == 0);

    // The suit symbol stands centred, one pixel low.
    const QPixmap symbol = suitPicture(suit, 1);
    const QSize s = symbol.deviceIndependentSize().toSize();
    QCOMPARE(img.copy(QRect(symbolAt, s)), over(symbol, Qt::white));
}

void TestPlayCard::invalidCodeKeepsTheFace_data()
{
    QTest::addColumn<QString>("code");
    QTest::newRow("suit 5") << "50";
    QTest::newRow("one digit") << "1";
    QTest::newRow("empty") << "";
    QTest::newRow("rank 14") << "214";
    QTest::newRow("rank 0") << "10";
    QTest::newRow("letters") << "AK";
}

void TestPlayCard::invalidCodeKeepsTheFace()
{
    QFETCH(QString, code);
    QWidget parent;
    TPlayCard card(&parent);
    card.SetCardCode(QStringLiteral("312"));
    const QImage before = face(card);
    card.SetCardCode(code);
    QCOMPARE(card.GetCardCode(), QStringLiteral("312"));
    QCOMPARE(card.rankText(), QStringLiteral("Q"));
    QCOMPARE(card.suitImageIndex(), 3);
    QCOMPARE(face(card), before);
}

void TestPlayCard::propertySettersKeepTheOtherHalf()
{
    QWidget parent;
    TPlayCard card(&parent);
    card.setCardNumber(_10);
    QCOMPARE(card.GetCardCode(), QStringLiteral("110"));
    card.setCardFlower(_Diamond);
    QCOMPARE(card.GetCardCode(), QStringLiteral("410"));
    QCOMPARE(card.rankText(), QStringLiteral("10"));
    QCOMPARE(card.suitImageIndex(), 4);
    card.SetCard(_Heart, _J);
    QCOMPARE(card.cardFlower(), _Heart);
    QCOMPARE(card.cardNumber(), _J);
    QCOMPARE(card.GetCardCode(), QStringLiteral("211"));
}

void TestPlayCard::faceDownShowsTheBack()
{
    QWidget parent;
    TPlayCard card(&parent);
    card.SetCardCode(QStringLiteral("27"));
    const QImage up = face(card);
    card.CloseCard();
    QCOMPARE(card.cardStatus(), _Close);
    const QImage down = face(card);
    QVERIFY(down != up);
    QCOMPARE(down, over(cardBackPicture(1), Qt::white));

    card.setCardStatus(_Open);
    QCOMPARE(card.cardStatus(), _Open);
    QCOMPARE(face(card), up);
    card.setCardStatus(_Close);
    QCOMPARE(face(card), down);
    card.OpenCard();
    QCOMPARE(face(card), up);
}

void TestPlayCard::faceChangesRepaintAtOnce()
{
    Table t;
    QVERIFY(QTest::qWaitForWindowExposed(&t.window));
    QCoreApplication::processEvents();
    PaintCounter counter;
    t.card->installEventFilter(&counter);

    // No event processing between the change and the check: the paint must already have run.
    t.card->SetCardCode(QStringLiteral("45"));
    QCOMPARE(counter.paints, 1);
    t.card->CloseCard();
    QCOMPARE(counter.paints, 2);
    t.card->OpenCard();
    QCOMPARE(counter.paints, 3);
    t.card->SetCard(_Spade, _K);
    QCOMPARE(counter.paints, 4);
    t.card->SetCardCode(QStringLiteral("99"));
    QCOMPARE(counter.paints, 4);
}

void TestPlayCard::pressOnReleaseOffStillClicks()
{
    Table t;
    QVERIFY(QTest::qWaitForWindowExposed(&t.window));
    QSignalSpy left(t.card, &TPlayCard::OnLeftClick);

    QTest::mousePress(t.handle(), Qt::LeftButton, {}, t.onCard());
    QCOMPARE(left.count(), 0);
    QTest::mouseRelease(t.handle(), Qt::LeftButton, {}, t.offCard());
    QCOMPARE(left.count(), 1);
    QCOMPARE(left.at(0).at(0).value<TPlayCard *>(), t.card);

    // The card itself sees a second button-up with no button-down before it: nothing.
    QMouseEvent up(QEvent::MouseButtonRelease, QPointF(5, 5), t.card->mapToGlobal(QPointF(5, 5)),
                   Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(t.card, &up);
    QCOMPARE(left.count(), 1);

    // A press elsewhere and a release over the card is no click either.
    QTest::mousePress(t.handle(), Qt::LeftButton, {}, t.offCard());
    QTest::mouseRelease(t.handle(), Qt::LeftButton, {}, t.onCard());
    QCOMPARE(left.count(), 1);

    QTest::mouseClick(t.handle(), Qt::LeftButton, {}, t.onCard());
    QCOMPARE(left.count(), 2);
}

void TestPlayCard::rightAndLeftAreSeparate()
{
    Table t;
    QVERIFY(QTest::qWaitForWindowExposed(&t.window));
    QSignalSpy left(t.card, &TPlayCard::OnLeftClick);
    QSignalSpy right(t.card, &TPlayCard::OnRightClick);

    QTest::mouseClick(t.handle(), Qt::RightButton, {}, t.onCard());
    QCOMPARE(right.count(), 1);
    QCOMPARE(left.count(), 0);
    QTest::mouseClick(t.handle(), Qt::LeftButton, {}, t.onCard());
    QCOMPARE(right.count(), 1);
    QCOMPARE(left.count(), 1);

    // A right press followed by a left button-up fires neither.
    QMouseEvent down(QEvent::MouseButtonPress, QPointF(5, 5), t.card->mapToGlobal(QPointF(5, 5)),
                     Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(t.card, &down);
    QMouseEvent up(QEvent::MouseButtonRelease, QPointF(5, 5), t.card->mapToGlobal(QPointF(5, 5)),
                   Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(t.card, &up);
    QCOMPARE(left.count(), 1);
    QCOMPARE(right.count(), 1);
}

void TestPlayCard::crossingFiresOncePerWay()
{
    Table t;
    QVERIFY(QTest::qWaitForWindowExposed(&t.window));
    QSignalSpy enter(t.card, &TPlayCard::OnMouseEnter);
    QSignalSpy exit(t.card, &TPlayCard::OnMouseExit);

    QTest::mouseMove(t.handle(), QPoint(5, 5));
    QTest::mouseMove(t.handle(), QPoint(22, 30));
    for (int x = 23; x < 48; x += 3)
        QTest::mouseMove(t.handle(), QPoint(x, 40));
    QCOMPARE(enter.count(), 1);
    QCOMPARE(exit.count(), 0);
    QTest::mouseMove(t.handle(), QPoint(60, 40));
    QTest::mouseMove(t.handle(), QPoint(80, 40));
    QCOMPARE(enter.count(), 1);
    QCOMPARE(exit.count(), 1);
    QCOMPARE(exit.at(0).at(0).value<TPlayCard *>(), t.card);

    // Back across: one more of each.
    QTest::mouseMove(t.handle(), QPoint(30, 30));
    QTest::mouseMove(t.handle(), QPoint(5, 5));
    QCOMPARE(enter.count(), 2);
    QCOMPARE(exit.count(), 2);
}

void TestPlayCard::dragOffFiresExitBeforeRelease()
{
    Table t;
    QVERIFY(QTest::qWaitForWindowExposed(&t.window));
    QSignalSpy enter(t.card, &TPlayCard::OnMouseEnter);
    QSignalSpy exit(t.card, &TPlayCard::OnMouseExit);
    QSignalSpy left(t.card, &TPlayCard::OnLeftClick);

    QTest::mouseMove(t.handle(), t.onCard());
    QCOMPARE(enter.count(), 1);
    QTest::mousePress(t.handle(), Qt::LeftButton, {}, t.onCard());
    QTest::mouseMove(t.handle(), t.offCard());
    QCOMPARE(exit.count(), 1);
    QTest::mouseMove(t.handle(), t.offCard() + QPoint(3, 3));
    QTest::mouseRelease(t.handle(), Qt::LeftButton, {}, t.offCard() + QPoint(3, 3));
    QCOMPARE(exit.count(), 1);
    QCOMPARE(enter.count(), 1);
    QCOMPARE(left.count(), 1);
}

void TestPlayCard::overlappedCardIsLeftForTheOneOnTop()
{
    // Hand cards overlap: the next card lies over the right part of its neighbour.
    Table t;
    auto *upper = new TPlayCard(&t.window);
    upper->move(36, 20);
    upper->show();
    QVERIFY(QTest::qWaitForWindowExposed(&t.window));
    QSignalSpy lowerEnter(t.card, &TPlayCard::OnMouseEnter);
    QSignalSpy lowerExit(t.card, &TPlayCard::OnMouseExit);
    QSignalSpy upperEnter(upper, &TPlayCard::OnMouseEnter);

    QTest::mouseMove(t.handle(), QPoint(25, 40));
    QCOMPARE(lowerEnter.count(), 1);
    QTest::mouseMove(t.handle(), QPoint(40, 40));
    QCOMPARE(lowerExit.count(), 1);
    QCOMPARE(upperEnter.count(), 1);
}

QTEST_MAIN(TestPlayCard)
#include "tst_playcard_gui.moc"

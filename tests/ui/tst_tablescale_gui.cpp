// The table at the window's size: twice the design size doubles every control and clicks hit the
// new places; the design size comes back exactly; [WINDOW] brings the size back or, when it is no
// size a screen holds, the design size on the main screen.
#include "support/dealhelpers.h"
#include "support/tablefixture.h"
#include "client/clienttable.h"
#include "ui/handhandling.h"
#include "ui/mainfrm.h"
#include "ui/pictures.h"
#include "ui/playcard.h"
#include "ui/tablescale.h"
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

using namespace DealHelpers;

namespace {
QRect twice(const QRect &r) { return {r.x() * 2, r.y() * 2, r.width() * 2, r.height() * 2}; }

// A picture's own pixels, without its ratio mark.
QImage pixels(const QPixmap &pm)
{
    QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(1);
    return img;
}
} // namespace

class TestTableScale : public QObject
{
    Q_OBJECT

private slots:
    void twiceTheDesignSize()
    {
        TableFixture fx;
        TmainFrm *w = fx.newWindow();
        QVERIFY(fx.host(w, QStringLiteral("Ann")));
        w->client()->setCountdownTickMs(600000);
        const QList<ClientTable *> quiet = seatQuietPlayers(w, {QStringLiteral("Bob"), QStringLiteral("Cid"), QStringLiteral("Dan")});
        QVERIFY(dealHands(w, {{1, {"43", "13", "23", "15", "25", "35", "19", "110", "211", "312", "41", "48", "49"}}}));
        QVERIFY(TableFixture::waitFor([w] { return w->btnThrow->isEnabled(); }));

        QList<QWidget *> shown;
        for (const char *name : {"p1c1", "p1c13", "txtNick1", "txtNick2", "txtPoint3", "btnThrow", "btnPass", "webText1",
                                 "Panel3", "p3c5"})
            shown << w->findControl(QString::fromLatin1(name));
        QHash<QWidget *, QRect> design;
        for (QWidget *c : shown)
            design.insert(c, c->geometry());
        const int nickFont = w->nickLabel(1)->font().pixelSize();

        w->resize(w->width() + 355, w->height() + 391);
        QTRY_COMPARE(w->centralWidget()->size(), QSize(710, 782));
        QCOMPARE(w->tableScale->factor(), 2.0);
        for (QWidget *c : shown)
            QCOMPARE(c->geometry(), twice(design.value(c)));
        QCOMPARE(w->nickLabel(1)->font().pixelSize(), 2 * nickFont);
        QCOMPARE(w->imgCarpet->pixmap().deviceIndependentSize().toSize(), QSize(694, 570));
        // The backs are drawn at the size shown: the same drawing as the double-resolution picture.
        const QPixmap back = w->findLabel(QStringLiteral("p3c5"))->pixmap();
        QCOMPARE(back.deviceIndependentSize().toSize(), QSize(62, 88));
        QCOMPARE(pixels(back), pixels(cardBackPicture(2)));
        QCOMPARE(pixels(scaledSuit(2, 1.5, 1)).size(), QSize(21, 21));

        // Clicks at the new places: a card rises by twice the design's step, the button throws it.
        TPlayCard *lowest = slotHolding(w, QStringLiteral("43"));
        // Through the window, which finds the control under the point.
        const auto clickAt = [w](QWidget *c) { QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, c->mapTo(w, c->rect().center())); };
        clickAt(lowest);
        QCOMPARE(raisedOf(w), QStringList{QStringLiteral("43")});
        QCOMPARE(lowest->y(), 2 * THandHandling::kRaisedTop);
        clickAt(w->btnThrow);
        QVERIFY(TableFixture::waitFor([w] { return tableOf(w) == QStringList{QStringLiteral("43")}; }));
        QCOMPARE(w->tableSlot(1)->size(), QSize(62, 88));

        // The chat panel opens beside the doubled table and takes its doubled width.
        w->setOuterWidth(640);
        QTRY_COMPARE(w->chatPanel->geometry(), QRect(710, 42, 554, 740));
        w->setOuterWidth(363);
        QTRY_COMPARE(w->chatPanel->width(), 0);

        // Back at the design size nothing has moved by a pixel.
        w->resize(w->minimumSize());
        QTRY_COMPARE(w->centralWidget()->size(), QSize(355, 391));
        for (QWidget *c : shown)
            if (c != lowest)
                QCOMPARE(c->geometry(), design.value(c));
        QCOMPARE(w->nickLabel(1)->font().pixelSize(), nickFont);
        QCOMPARE(w->imgCarpet->pixmap().size(), QSize(347, 285));
        qDeleteAll(quiet);
    }

    void windowSection_data()
    {
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<bool>("kept");
        QTest::newRow("fits") << QByteArray("LEFT=30\nTOP=40\nWIDTH=500\nHEIGHT=480\nMAXIMIZED=0\n") << true;
        QTest::newRow("larger than the screen") << QByteArray("LEFT=0\nTOP=0\nWIDTH=90000\nHEIGHT=480\n") << false;
        QTest::newRow("negative") << QByteArray("LEFT=30\nTOP=40\nWIDTH=-500\nHEIGHT=-480\n") << false;
        QTest::newRow("not a number") << QByteArray("LEFT=30\nTOP=40\nWIDTH=wide\nHEIGHT=480\n") << false;
        QTest::newRow("below the design size") << QByteArray("LEFT=30\nTOP=40\nWIDTH=100\nHEIGHT=100\n") << false;
    }
    void windowSection()
    {
        QFETCH(QByteArray, section);
        QFETCH(bool, kept);
        TableFixture fx;
        TmainFrm *w = fx.newWindowWithSettings("[CONNECTION]\nNICK=Zoe\n[WINDOW]\n" + section);
        if (kept) {
            QTRY_COMPARE(w->normalGeometry(), QRect(30, 40, 500, 480));
            QVERIFY(w->tableScale->factor() > 1.0);
        } else {
            QTRY_COMPARE(w->size(), w->minimumSize());
            QCOMPARE(w->centralWidget()->size(), QSize(355, 391));
            const QPoint middle = QGuiApplication::primaryScreen()->availableGeometry().center();
            QVERIFY((w->geometry().center() - middle).manhattanLength() <= 2);
        }
    }

    void sizeAndMaximisedComeBack()
    {
        TableFixture fx;
        TmainFrm *w = fx.newWindow();
        w->setGeometry(20, 30, 520, 470);
        QTRY_COMPARE(w->normalGeometry(), QRect(20, 30, 520, 470));
        TmainFrm *again = fx.reopenWindow(w);
        QTRY_COMPARE(again->normalGeometry(), QRect(20, 30, 520, 470));
        again->showMaximized();
        QTRY_VERIFY(again->isMaximized());
        TmainFrm *third = fx.reopenWindow(again);
        QTRY_VERIFY(third->isMaximized());
        QCOMPARE(third->normalGeometry().size(), QSize(520, 470));
    }
};

QTEST_MAIN(TestTableScale)
#include "tst_tablescale_gui.moc"

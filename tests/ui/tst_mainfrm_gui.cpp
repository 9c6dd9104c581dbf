// The table window: start state, look-up by name, layout and stacking of the slots,
// the display operations and the window's reaction to connection events.
#include "client/clienttable.h"
#include "host/tablehost.h"
#include "support/dealhelpers.h"
#include "support/tablefixture.h"
#include "ui/frmsetting.h"
#include "ui/mainfrm.h"
#include "ui/pictures.h"
#include "ui/playcard.h"
#include "ui/tablesession.h"
#include "ui/webtext.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusTipEvent>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <memory>

namespace {

// Slot rule, written the long way: slot 1 in the middle, then alternately one step further
// along the positive and the negative direction.
int fanOffset(int n, int step)
{
    if (n == 1)
        return 0;
    const int j = n / 2;
    return (n % 2 == 0) ? step * j : -step * j;
}

QPoint expectedSlot(int seat, int n)
{
    switch (seat) {
    case 1: return {64 + 16 * (n - 1), 216};
    case 2: return {24, 120 + fanOffset(n, 16)};
    case 3: return {160 + fanOffset(n, 16), 24};
    case 4: return {296, 120 + fanOffset(n, 16)};
    default: return {168 - fanOffset(n, 32), 144}; // table slots: even to the left
    }
}

QList<QPushButton *> gameButtons(TmainFrm &w)
{
    return {w.btnStop, w.btnPing, w.btnSortF, w.btnSortN, w.btnThrow, w.btnCardDown, w.btnNew, w.btnPass};
}

} // namespace

class TestMainFrm : public QObject
{
    Q_OBJECT

    std::unique_ptr<TableFixture> fx;

    // Everything the start state and both resets promise about the table.
    void verifyTableAtRest(TmainFrm &w, bool waitShown)
    {
        for (int s = 1; s <= 4; ++s) {
            QCOMPARE(w.nickLabel(s)->text(), QStringLiteral("E M P T Y  "));
            QVERIFY2(!w.pointLabel(s)->isVisibleTo(w.pointLabel(s)->parentWidget()), qPrintable(QString::number(s)));
            QVERIFY(!w.passLabel(s)->isVisibleTo(w.Panel1));
            for (int n = 1; n <= 13; ++n)
                QVERIFY2(!w.seatSlot(s, n)->isVisibleTo(w.Panel1), qPrintable(QStringLiteral("P%1C%2").arg(s).arg(n)));
        }
        for (int n = 1; n <= 5; ++n)
            QVERIFY(!w.tableSlot(n)->isVisibleTo(w.Panel1));
        for (QWidget *c : {static_cast<QWidget *>(w.imgTurn), static_cast<QWidget *>(w.txtWhoThrow),
                           static_cast<QWidget *>(w.txtAutoPass), static_cast<QWidget *>(w.txtPassCntDwn)})
            QVERIFY2(!c->isVisibleTo(w.Panel1), qPrintable(c->objectName()));
        QCOMPARE(w.txtWait->isVisibleTo(w.Panel1), waitShown);
        for (QPushButton *b : gameButtons(w))
            if (b != w.btnPing) // the ping button follows the connections, not the table
                QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
        QVERIFY(!w.blankIconShown());
    }

    // Shows every element of the table and switches every game button on.
    void scribble(TmainFrm &w)
    {
        for (int s = 1; s <= 4; ++s) {
            w.nickLabel(s)->setText(QStringLiteral("X Y"));
            w.pointLabel(s)->show();
            w.passLabel(s)->show();
            for (int n = 1; n <= 13; ++n)
                w.seatSlot(s, n)->show();
        }
        for (int n = 1; n <= 5; ++n)
            w.tableSlot(n)->show();
        w.setWhoThrow(QStringLiteral("X Y"));
        w.setTurnMarker(3);
        w.txtAutoPass->show();
        w.txtPassCntDwn->show();
        w.txtWait->hide();
        for (QPushButton *b : gameButtons(w))
            b->setEnabled(true);
    }

private slots:
    void init() { fx = std::make_unique<TableFixture>(); }
    void cleanup() { fx.reset(); }

    void startState()
    {
        TmainFrm *w = fx->newHiddenWindow();
        QCOMPARE(w->frmSetting->port(), 110);
        QCOMPARE(w->frmSetting->host(), QStringLiteral("127.0.0.1"));
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QCOMPARE(w->windowTitle(), QStringLiteral(" Quadrix v1.11"));
        QCOMPARE(QApplication::applicationDisplayName(), QStringLiteral("Quadrix v1.11"));
        verifyTableAtRest(*w, false);
        QVERIFY(!w->btnPing->isEnabled());
        QCOMPARE(w->statusText(), QStringLiteral(" idle"));
        QCOMPARE(w->chatPanel->width(), 0);
        // client area under the menu bar
        QCOMPARE(w->centralWidget()->width(), 355);
        QCOMPARE(w->centralWidget()->height() + w->msgBar->height(), 410);
        QCOMPARE(w->msgBar->height(), 19);
        QCOMPARE(w->msgBar->y(), w->centralWidget()->geometry().bottom() + 1);
        QCOMPARE(w->minimumSize(), w->size()); // it opens at the design size, its smallest

        QVERIFY(w->mnuSetting->isEnabled());
        QVERIFY(!w->mnuDisconn->isEnabled());
        QVERIFY(!w->AlwaysOnTop1->isChecked());
        QVERIFY(w->BeepOnTurn1->isChecked());
        QVERIFY(!w->ChatDialog1->isChecked());

        for (int n = 1; n <= 13; ++n)
            QCOMPARE(w->handSlot(n)->cardStatus(), _Close);
        for (int n = 1; n <= 5; ++n)
            QCOMPARE(w->tableSlot(n)->cardStatus(), _Open);

        QVERIFY(!w->session->active());
        QVERIFY(!w->client());

        // the opponents' slots got the card back when the window was first shown
        const QImage back = w->cardImg->pixmap().toImage();
        QVERIFY(!back.isNull());
        for (int s = 2; s <= 4; ++s)
            QCOMPARE(w->findLabel(QStringLiteral("p%1c7").arg(s))->pixmap().toImage(), back);
        QCOMPARE(w->imgCarpet->pixmap().size(), QSize(347, 285));
        QVERIFY(fx->messagesOf(w).isEmpty());
    }

    void captionsAndHints()
    {
        TmainFrm *w = fx->newHiddenWindow();
        const QList<std::pair<QPushButton *, QString>> captions = {
            {w->btnStop, "Stop Game"},     {w->btnPing, "Ping Users"},       {w->btnSortF, "Sort by Flower"},
            {w->btnSortN, "Sort by Number"}, {w->btnThrow, "Throw Card"},    {w->btnCardDown, "Unselect All"},
            {w->btnNew, "New Game"},       {w->btnPass, "PASS"},             {w->btnNoChat, "&Close Chat"},
            {w->btnClear, "Cl&ear Log"},   {w->btnForeColor, "Fore Color"},  {w->btnBGColor, "BG Color"},
            {w->btnAltS, "&S"}};
        for (const auto &[b, text] : captions)
            QCOMPARE(b->text(), text);
        QCOMPARE(w->btnStop->toolTip(), QStringLiteral(" Stop Current Game ! "));
        QCOMPARE(w->btnPing->toolTip(), QStringLiteral(" Kill disconnected user from game ! "));
        QCOMPARE(w->txtWait->text(), QStringLiteral("Waiting for players ..."));
        QCOMPARE(w->txtAutoPass->text(), QStringLiteral("Auto Pass"));
        QCOMPARE(w->txtPassCntDwn->text(), QStringLiteral("60"));
        for (int s = 1; s <= 4; ++s) {
            QCOMPARE(w->passLabel(s)->text(), QStringLiteral("P A S S"));
            QCOMPARE(w->pointLabel(s)->text(), QStringLiteral("0"));
        }
        QCOMPARE(w->mnuSetting->text(), QStringLiteral("&Connect"));
        QCOMPARE(w->mnuDisconn->text(), QStringLiteral("&Disconnect"));
        QCOMPARE(w->Connection1->title(), QStringLiteral("&Connection"));
        QCOMPARE(w->Settings1->title(), QStringLiteral("S&ettings"));
        QVERIFY(w->chatLog->isReadOnly());
        // the hidden send button lies under the input line
        QVERIFY(w->chatPanel->children().indexOf(w->txtInput) > w->chatPanel->children().indexOf(w->btnAltS));
        QVERIFY(w->txtInput->geometry().contains(w->btnAltS->geometry().adjusted(0, 1, 0, 0)));
        QCOMPARE(w->txtInput->nextInFocusChain(), static_cast<QWidget *>(w->btnNoChat));
    }

    void lookUpIgnoresCase_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("objectName");
        QTest::newRow("nick") << "TXTNICK2" << "txtNick2";
        QTest::newRow("fan") << "p2C13" << "p2c13";
        QTest::newRow("table") << "OUTc5" << "outC5";
        QTest::newRow("hand") << "P1c1" << "p1c1";
        QTest::newRow("point") << "txtpoint4" << "txtPoint4";
        QTest::newRow("pass") << "TxtPass3" << "txtPass3";
        QTest::newRow("button") << "BTNTHROW" << "btnThrow";
        QTest::newRow("chat") << "txtinput" << "txtInput";
        QTest::newRow("seat 0") << "txtNick0" << "";
        QTest::newRow("seat 5") << "txtNick5" << "";
        QTest::newRow("slot 0") << "P1C0" << "";
        QTest::newRow("slot 14") << "P1C14" << "";
        QTest::newRow("table 6") << "outC6" << "";
        QTest::newRow("seat 5 slot") << "P5C1" << "";
        QTest::newRow("empty") << "" << "";
    }
    void lookUpIgnoresCase()
    {
        QFETCH(QString, name);
        QFETCH(QString, objectName);
        TmainFrm *w = fx->newHiddenWindow();
        QWidget *c = w->findControl(name);
        if (objectName.isEmpty()) {
            QVERIFY(!c);
        } else {
            QVERIFY(c);
            QCOMPARE(c->objectName(), objectName);
        }
    }

    void accessorsStayInRange()
    {
        TmainFrm *w = fx->newHiddenWindow();
        for (int bad : {-1, 0, 14, 100}) {
            QVERIFY(!w->handSlot(bad));
            QVERIFY(!w->seatSlot(2, bad));
        }
        for (int bad : {-1, 0, 6})
            QVERIFY(!w->tableSlot(bad));
        for (int bad : {-3, 0, 5}) {
            QVERIFY(!w->nickLabel(bad));
            QVERIFY(!w->pointLabel(bad));
            QVERIFY(!w->passLabel(bad));
            QVERIFY(!w->seatSlot(bad, 1));
        }
        // kinds are told apart: a label is not a card, a card is not a label
        QVERIFY(!w->findCard(QStringLiteral("txtNick1")));
        QVERIFY(!w->findCard(QStringLiteral("p2c1"))); // opponents' slots are pictures
        QVERIFY(!w->findLabel(QStringLiteral("p1c1")));
        QVERIFY(w->findLabel(QStringLiteral("P3C3")));
        QCOMPARE(w->findCard(QStringLiteral("p1C7")), w->handSlot(7));
        QCOMPARE(w->seatSlot(1, 7), static_cast<QWidget *>(w->handSlot(7)));
        w->showSeatCards(0, true);
        w->showSeatCards(5, true);
        w->setTurnMarker(0);
        QVERIFY(!w->imgTurn->isVisibleTo(w->Panel1));
    }

    void slotGeometry()
    {
        TmainFrm *w = fx->newHiddenWindow();
        for (int s = 1; s <= 4; ++s)
            for (int n = 1; n <= 13; ++n) {
                QWidget *slot = w->seatSlot(s, n);
                QCOMPARE(slot->parentWidget(), static_cast<QWidget *>(w->Panel1));
                QCOMPARE(slot->geometry(), QRect(expectedSlot(s, n), QSize(31, 44)));
            }
        for (int n = 1; n <= 5; ++n)
            QCOMPARE(w->tableSlot(n)->geometry(), QRect(expectedSlot(0, n), QSize(31, 44)));

        // any fan of k cards (slots 1..k) stays centred on slot 1
        for (int s = 2; s <= 4; ++s)
            for (int k = 1; k <= 13; k += 2) {
                int lo = INT_MAX, hi = INT_MIN;
                for (int n = 1; n <= k; ++n) {
                    const QPoint p = w->seatSlot(s, n)->pos();
                    const int v = (s == 3) ? p.x() : p.y();
                    lo = std::min(lo, v);
                    hi = std::max(hi, v);
                }
                const QPoint first = w->seatSlot(s, 1)->pos();
                const int centre = (s == 3) ? first.x() : first.y();
                QCOMPARE(centre - lo, hi - centre);
            }
        // table slots stand one pixel apart, in order from the left: 4 2 1 3 5
        const int order[] = {4, 2, 1, 3, 5};
        for (int i = 0; i + 1 < 5; ++i)
            QCOMPARE(w->tableSlot(order[i + 1])->x() - w->tableSlot(order[i])->geometry().right(), 2);
    }

    void windowGeometry()
    {
        TmainFrm *w = fx->newHiddenWindow();
        QCOMPARE(w->Panel2->geometry(), QRect(0, 0, 355, 21));
        QCOMPARE(w->Panel4->geometry(), QRect(0, 21, 355, 370));
        QCOMPARE(w->Panel1->geometry(), QRect(2, 2, 351, 289));
        QCOMPARE(w->imgCarpet->geometry(), QRect(2, 2, 347, 285));
        QCOMPARE(w->Panel3->geometry(), QRect(2, 291, 351, 77));
        QCOMPARE(w->chatPanel->geometry(), QRect(355, 21, 0, 370));
        QCOMPARE(w->nickLabel(1)->geometry(), QRect(78, 262, 179, 17));
        QCOMPARE(w->nickLabel(2)->geometry(), QRect(6, 56, 14, 177));
        QCOMPARE(w->nickLabel(3)->geometry(), QRect(78, 5, 195, 17));
        QCOMPARE(w->nickLabel(4)->geometry(), QRect(332, 56, 14, 177));
        QCOMPARE(w->pointLabel(1)->geometry(), QRect(6, 271, 73, 12));
        QCOMPARE(w->pointLabel(3)->geometry(), QRect(142, 4, 73, 12));
        QCOMPARE(w->pointLabel(3)->parentWidget(), static_cast<QWidget *>(w->Panel2));
        QCOMPARE(w->passLabel(4)->geometry(), QRect(279, 114, 14, 65));
        QCOMPARE(w->txtWait->geometry(), QRect(120, 146, 145, 20));
        QCOMPARE(w->btnPass->geometry(), QRect(256, 32, 82, 25));
        QCOMPARE(w->btnStop->geometry(), QRect(11, 8, 78, 25));
        QCOMPARE(w->webText1->geometry(), QRect(10, 60, 148, 11));
        QCOMPARE(w->webText2->geometry(), QRect(258, 60, 82, 11));

        w->setOuterWidth(640);
        QCOMPARE(w->centralWidget()->width(), 632);
        QCOMPARE(w->chatPanel->geometry(), QRect(355, 21, 277, 370));
        QCOMPARE(w->Panel2->width(), 632);
        w->setOuterWidth(363);
        QCOMPARE(w->centralWidget()->width(), 355);
        QCOMPARE(w->chatPanel->width(), 0);

        // a shown window leaves the same client widths, whatever frame the platform draws
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->setOuterWidth(640);
        QTRY_COMPARE(w->width(), 632);
        QCOMPARE(w->chatPanel->width(), 277);
        w->setOuterWidth(363);
        QTRY_COMPARE(w->width(), 355);
        QCOMPARE(w->chatPanel->width(), 0);
        w->setOuterWidth(100); // never narrower than the table
        QCOMPARE(w->centralWidget()->width(), 355);
    }

    void stackingOrder()
    {
        TmainFrm *w = fx->newHiddenWindow();
        QWidget *table = w->Panel1;
        for (int s = 1; s <= 4; ++s)
            w->showSeatCards(s, true);
        // own hand: each card over its left neighbour, at the point where they overlap
        for (int n = 2; n <= 13; ++n) {
            const QPoint p(w->handSlot(n)->x() + 5, 230);
            QCOMPARE(table->childAt(p), static_cast<QWidget *>(w->handSlot(n)));
        }
        // fans: each card over the one to its left (top) or above it (sides)
        for (int s = 2; s <= 4; ++s) {
            QList<QWidget *> fan;
            for (int n = 1; n <= 13; ++n)
                fan << w->seatSlot(s, n);
            std::sort(fan.begin(), fan.end(), [](QWidget *a, QWidget *b) { return a->x() + a->y() < b->x() + b->y(); });
            for (int i = 1; i < fan.size(); ++i) {
                const QPoint p = fan[i]->pos() + QPoint(4, 4);
                QVERIFY(fan[i - 1]->geometry().contains(p));
                QCOMPARE(table->childAt(p), fan[i]);
            }
        }
        // every table element lies over the felt
        const int carpet = table->children().indexOf(w->imgCarpet);
        for (QObject *o : table->children())
            if (o != w->imgCarpet && o->isWidgetType())
                QVERIFY2(table->children().indexOf(o) > carpet, qPrintable(o->objectName()));
    }

    void whoThrowCentred_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("one letter") << "A";
        QTest::newRow("spaced nick") << "B O B";
        QTest::newRow("winner") << " JOHNNY WIN !";
        QTest::newRow("long") << "A B C D E F G H I J K L M N O P Q R S T";
    }
    void whoThrowCentred()
    {
        QFETCH(QString, text);
        TmainFrm *w = fx->newWindow();
        const int top = w->txtWhoThrow->y();
        w->setWhoThrow(text);
        QVERIFY(w->txtWhoThrow->isVisible());
        QCOMPARE(w->txtWhoThrow->text(), text);
        QCOMPARE(w->txtWhoThrow->y(), top);
        QVERIFY(w->txtWhoThrow->width() >= w->txtWhoThrow->fontMetrics().horizontalAdvance(text));
        QCOMPARE(w->txtWhoThrow->x(), w->Panel1->width() / 2 - w->txtWhoThrow->width() / 2);

        // a text written straight into the label is centred as well once it shows
        w->txtWhoThrow->hide();
        const QString other = text + QStringLiteral(" X X X");
        w->txtWhoThrow->setText(other);
        w->txtWhoThrow->show();
        QCoreApplication::processEvents();
        QVERIFY(w->txtWhoThrow->width() >= w->txtWhoThrow->fontMetrics().horizontalAdvance(other));
        QCOMPARE(w->txtWhoThrow->x(), w->Panel1->width() / 2 - w->txtWhoThrow->width() / 2);
    }

    void letterSpacing_data()
    {
        QTest::addColumn<QString>("nick");
        QTest::addColumn<QString>("shown");
        QTest::newRow("three") << "bob" << "b o b";
        QTest::newRow("one") << "x" << "x";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("inner blank") << "a b" << "a   b";
        QTest::newRow("outer blanks") << " x " << "x";
        QTest::newRow("ten") << "ABCDEFGHIJ" << "A B C D E F G H I J";
    }
    void letterSpacing()
    {
        QFETCH(QString, nick);
        QFETCH(QString, shown);
        QCOMPARE(TmainFrm::letterSpaced(nick), shown);
    }

    // A seated nick fits its label: across the table on one line, down the sides one letter a line.
    void seatLabelsShowSpacedNick()
    {
        TmainFrm *w = fx->newWindow();
        QVERIFY(fx->host(w, QStringLiteral("me")));
        const QStringList nicks{QStringLiteral("WWWWWWWWWW"), QStringLiteral("MMMMMMMMMM")};
        const QList<ClientTable *> quiet = DealHelpers::seatQuietPlayers(w, nicks);
        QCOMPARE(quiet.size(), 2);
        QVERIFY(TableFixture::waitFor([&] { return w->client()->roster().seatCount() == 3; }));
        QList<int> screens;
        for (const QString &nick : nicks) {
            const int seat = w->screenSeat(w->client()->roster().seatOfNick(nick));
            screens << seat;
            QLabel *label = w->nickLabel(seat);
            QVERIFY(label);
            const QString spaced = TmainFrm::letterSpaced(nick);
            QTRY_COMPARE(label->text(), spaced);
            const QFontMetrics fm(label->font());
            if (seat == 2 || seat == 4) {
                QVERIFY(label->wordWrap());
                const QRect r = fm.boundingRect(QRect(0, 0, label->width(), 1000), Qt::TextWordWrap | Qt::AlignHCenter,
                                                spaced);
                QVERIFY2(r.height() >= nick.size() * fm.lineSpacing() - fm.leading(), "one letter a line");
                QVERIFY2(r.height() <= label->height(), "ten letters fit the side label");
                QVERIFY(fm.horizontalAdvance(nick.left(1)) <= label->width());
            } else {
                QVERIFY(fm.horizontalAdvance(spaced) <= label->width());
            }
        }
        // one side and the top: both kinds of label are measured
        std::sort(screens.begin(), screens.end());
        QCOMPARE(screens, QList<int>({2, 3}));
    }

    void countTableCards()
    {
        TmainFrm *w = fx->newHiddenWindow();
        QCOMPARE(w->countTableCards(), 0);
        w->tableSlot(1)->show();
        w->tableSlot(3)->show();
        QCOMPARE(w->countTableCards(), 2);
        for (int n = 1; n <= 5; ++n)
            w->tableSlot(n)->show();
        QCOMPARE(w->countTableCards(), 5);
        w->tableSlot(5)->hide();
        QCOMPARE(w->countTableCards(), 4);
        w->hideTableCards();
        QCOMPARE(w->countTableCards(), 0);
    }

    void showSeatCards()
    {
        TmainFrm *w = fx->newHiddenWindow();
        w->showSeatCards(3, true);
        for (int n = 1; n <= 13; ++n) {
            QVERIFY(w->seatSlot(3, n)->isVisibleTo(w->Panel1));
            QVERIFY(!w->seatSlot(2, n)->isVisibleTo(w->Panel1));
            QVERIFY(!w->seatSlot(4, n)->isVisibleTo(w->Panel1));
        }
        w->showSeatCards(3, false);
        for (int n = 1; n <= 13; ++n)
            QVERIFY(!w->seatSlot(3, n)->isVisibleTo(w->Panel1));
    }

    void turnMarker_data()
    {
        QTest::addColumn<int>("seat");
        QTest::addColumn<QPoint>("pos");
        QTest::newRow("bottom") << 1 << QPoint(173, 195);
        QTest::newRow("left") << 2 << QPoint(58, 142);
        QTest::newRow("top") << 3 << QPoint(173, 70);
        QTest::newRow("right") << 4 << QPoint(278, 142);
    }
    void turnMarker()
    {
        QFETCH(int, seat);
        QFETCH(QPoint, pos);
        TmainFrm *w = fx->newHiddenWindow();
        w->setTurnMarker(seat);
        QCOMPARE(w->imgTurn->pos(), pos);
        QCOMPARE(w->imgTurn->size(), QSize(17, 17));
        QVERIFY(w->imgTurn->isVisibleTo(w->Panel1));
        w->setTurnMarker(7); // no such seat: the marker stays
        QCOMPARE(w->imgTurn->pos(), pos);
    }

    // Away from a table the redraw clears whatever the table showed.
    void resetGameDisplay()
    {
        TmainFrm *w = fx->newWindow();
        scribble(*w);
        w->resetGameDisplay();
        verifyTableAtRest(*w, false);
    }

    // At a hosted table the redraw shows what the model holds, and the buttons follow it.
    void resetGameDisplayWhileHosting()
    {
        using namespace DealHelpers;
        TmainFrm *w = fx->newWindow();
        QVERIFY(fx->host(w, QStringLiteral("me")));
        QVERIFY(w->txtWait->isVisible());
        QVERIFY(!w->btnNew->isEnabled()); // nobody to play with
        const QList<ClientTable *> quiet = seatQuietPlayers(w, {QStringLiteral("bob")});
        QTRY_VERIFY(w->btnNew->isEnabled());
        QVERIFY(!w->btnStop->isEnabled());

        const QStringList mine{"43", "13", "23", "15", "25", "35", "19", "110", "211", "312", "41", "48", "49"};
        QVERIFY(dealHands(w, {{1, mine}}));
        QVERIFY(TableFixture::waitFor([w] { return w->client()->myTurn() && w->btnThrow->isEnabled(); }));
        scribble(*w);
        w->resetGameDisplay();
        QCOMPARE(handOf(w).size(), 13);
        QVERIFY(raisedOf(w).isEmpty());
        for (const QString &code : mine)
            QVERIFY(handOf(w).contains(code));
        for (int n = 1; n <= 13; ++n)
            QCOMPARE(w->handSlot(n)->cardStatus(), _Open);
        QCOMPARE(backsShown(w, 3), 13); // bob sits across the table
        QCOMPARE(backsShown(w, 2), 0);
        QCOMPARE(backsShown(w, 4), 0);
        QVERIFY(tableOf(w).isEmpty());
        QVERIFY(!w->txtWait->isVisible());
        QCOMPARE(w->imgTurn->pos(), QPoint(173, 195)); // the own turn
        QCOMPARE(w->nickLabel(2)->text(), TmainFrm::emptySeatText());
        QCOMPARE(w->nickLabel(3)->text(), QStringLiteral("b o b"));
        QVERIFY(w->btnThrow->isEnabled() && w->btnPass->isEnabled() && w->Hint1->isEnabled());
        QVERIFY(w->btnSortN->isEnabled() && w->btnSortF->isEnabled() && w->btnCardDown->isEnabled());
        QVERIFY(w->btnStop->isEnabled());
        QVERIFY(!w->btnNew->isEnabled());
        for (int s = 1; s <= 4; ++s)
            QVERIFY(!w->passLabel(s)->isVisible());
    }

    void resetConnection()
    {
        TmainFrm *w = fx->newWindow();
        scribble(*w);
        w->resetConnection();
        verifyTableAtRest(*w, false);
        QVERIFY(!w->session->active());
        QCOMPARE(w->statusText(), QStringLiteral(" idle")); // the status bar is the events' business
    }

    void resetConnectionEndsHosting()
    {
        TmainFrm *w = fx->newWindow();
        QVERIFY(fx->host(w, QStringLiteral("me")));
        const int port = fx->hostPort();
        QVERIFY(port > 0);
        QTcpSocket guest;
        guest.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
        QVERIFY(guest.waitForConnected(5000));
        scribble(*w);
        w->resetConnection();
        QVERIFY(!w->session->active());
        QVERIFY(!w->tableHost());
        verifyTableAtRest(*w, false);
        QTRY_COMPARE(guest.state(), QAbstractSocket::UnconnectedState);
        QVERIFY(fx->messagesOf(w).isEmpty());
    }

    void connectionEventTexts()
    {
        TmainFrm *h = fx->newWindow();
        QVERIFY(fx->host(h, QStringLiteral("me")));
        QCOMPARE(h->statusText(), QStringLiteral(" Hosting as %1 @ %2 ...").arg(h->session->hostAddress()).arg(fx->hostPort()));
        QVERIFY(!h->mnuSetting->isEnabled());
        QVERIFY(h->mnuDisconn->isEnabled());
        TmainFrm *g = fx->join(QStringLiteral("ann"));
        QVERIFY(g);
        QCOMPARE(g->statusText(),
                 QStringLiteral(" Connected to 127.0.0.1 : %1").arg(g->client()->connection()->wirePort()));
        QVERIFY(!g->mnuSetting->isEnabled());
        QVERIFY(g->mnuDisconn->isEnabled());

        // closing the own table is not an error
        h->leaveTable();
        QCOMPARE(h->statusText(), QStringLiteral(" Connection closed."));
        QVERIFY(fx->messagesOf(h).isEmpty());
        QVERIFY(h->mnuSetting->isEnabled());
        QVERIFY(!h->mnuDisconn->isEnabled());
        verifyTableAtRest(*h, false);
    }

    void errorTexts()
    {
        TmainFrm *w = fx->newWindow();
        // an empty error text resets quietly
        w->setStatusText(QStringLiteral(" before"));
        w->mnuSetting->setEnabled(false);
        w->mnuDisconn->setEnabled(true);
        scribble(*w);
        w->socketError(QString());
        QVERIFY(fx->messagesOf(w).isEmpty());
        QCOMPARE(w->statusText(), QStringLiteral(" before"));
        QVERIFY(w->mnuSetting->isEnabled());
        QVERIFY(!w->mnuDisconn->isEnabled());
        verifyTableAtRest(*w, false);

        w->socketError(QStringLiteral("Connection refused"));
        QCOMPARE(w->statusText(), QStringLiteral(" Connection refused"));
        QCOMPARE(fx->messageTextsOf(w), QStringList(QStringLiteral("Connection refused")));
        QCOMPARE(fx->messagesOf(w)[0].icon, QMessageBox::Critical);
        QCOMPARE(fx->messagesOf(w)[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }

    // A port another program holds: hosting does not start, and the user is told why.
    void hostingErrorIsShown()
    {
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::Any, 0));
        TmainFrm *w = fx->newWindow();
        QVERIFY(!w->startHosting(taken.serverPort(), QStringLiteral("me")));
        QVERIFY(!w->session->active());
        QVERIFY(!w->session->errorText().isEmpty());
        QCOMPARE(fx->messageTextsOf(w), QStringList(w->session->errorText()));
        QCOMPARE(w->statusText(), QLatin1Char(' ') + w->session->errorText());
        QVERIFY(w->mnuSetting->isEnabled());
        QVERIFY(!w->mnuDisconn->isEnabled());
    }

    void alwaysOnTopTwice()
    {
        TmainFrm *w = fx->newWindow();
        const QSize size = w->size();
        w->AlwaysOnTop1->trigger();
        QVERIFY(w->AlwaysOnTop1->isChecked());
        QVERIFY(w->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(w->isVisible());
        QCOMPARE(w->size(), size);
        w->AlwaysOnTop1->trigger();
        QVERIFY(!w->AlwaysOnTop1->isChecked());
        QVERIFY(!(w->windowFlags() & Qt::WindowStaysOnTopHint));
        QVERIFY(w->isVisible());
        QCOMPARE(w->size(), size);
        // the direct handler toggles exactly once as well
        w->AlwaysOnTop1Click();
        QVERIFY(w->AlwaysOnTop1->isChecked());
        w->AlwaysOnTop1Click();
        QVERIFY(!w->AlwaysOnTop1->isChecked());
    }

    void beepOnTurnToggles()
    {
        TmainFrm *w = fx->newHiddenWindow();
        w->BeepOnTurn1->trigger();
        QVERIFY(!w->BeepOnTurn1->isChecked());
        w->BeepOnTurn1->trigger();
        QVERIFY(w->BeepOnTurn1->isChecked());
        const int before = w->beepCount();
        w->beep();
        QCOMPARE(w->beepCount(), before + 1);
    }

    // The menu item and the Close button toggle the panel once per click.
    void chatPanelOpensAndCloses()
    {
        TmainFrm *w = fx->newWindowWithSettings("[CONNECTION]\nNICK=me\n");
        w->ChatDialog1->trigger();
        QVERIFY(w->ChatDialog1->isChecked());
        QCOMPARE(w->chatPanel->width(), 277);
        QVERIFY(w->chatLog->toPlainText().contains(QStringLiteral("[*] me enter chat")));
        w->btnNoChat->click();
        QVERIFY(!w->ChatDialog1->isChecked());
        QCOMPARE(w->chatPanel->width(), 0);
        QVERIFY(w->chatLog->toPlainText().contains(QStringLiteral("[*] me leave chat")));

        w->ChatDialog1->trigger();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        w->btnClear->setFocus();
        QTest::mouseClick(w->chatLog->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QTRY_VERIFY(w->txtInput->hasFocus());
    }

    void statusText()
    {
        TmainFrm *w = fx->newHiddenWindow();
        w->setStatusText(QStringLiteral(" Hosting as 1.2.3.4 @ 110 ..."));
        QCOMPARE(w->statusText(), QStringLiteral(" Hosting as 1.2.3.4 @ 110 ..."));
        // menu hover sends empty status tips; the status text stays
        QStatusTipEvent tip(QString{});
        QApplication::sendEvent(w->menuBar(), &tip);
        QCOMPARE(w->statusText(), QStringLiteral(" Hosting as 1.2.3.4 @ 110 ..."));
    }

    void iconBlink()
    {
        TmainFrm *w = fx->newHiddenWindow();
        const QImage normal = windowIcon().pixmap(16, 16).toImage();
        QVERIFY(!normal.isNull());
        w->showBlankIcon();
        QVERIFY(w->blankIconShown());
        const QImage blank = QApplication::windowIcon().pixmap(16, 16).toImage();
        QCOMPARE(w->windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
        bool transparent = true;
        for (int y = 0; y < blank.height(); ++y)
            for (int x = 0; x < blank.width(); ++x)
                transparent = transparent && qAlpha(blank.pixel(x, y)) == 0;
        QVERIFY(transparent);
        w->restoreIcon();
        QVERIFY(!w->blankIconShown());
        QCOMPARE(QApplication::windowIcon().pixmap(16, 16).toImage(), normal);
        QCOMPARE(w->windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
    }

    void severalWindows()
    {
        QVERIFY(!mainFrm);
        TmainFrm *first = fx->newHiddenWindow();
        QCOMPARE(mainFrm, first);
        TmainFrm *second = fx->newHiddenWindow();
        TmainFrm *third = fx->newHiddenWindow();
        TmainFrm *fourth = fx->newHiddenWindow();
        QCOMPARE(mainFrm, first);
        second->setWhoThrow(QStringLiteral("S E C O N D"));
        QVERIFY(!first->txtWhoThrow->isVisibleTo(first->Panel1));
        fx->deleteWindow(first);
        QVERIFY(!mainFrm);
        third->resetConnection();
        QCOMPARE(fourth->nickLabel(1)->text(), QStringLiteral("E M P T Y  "));
    }

    void closingSavesSettings()
    {
        QTemporaryDir own;
        TmainFrm *w = fx->newWindowWithSettings("[CONNECTION]\nNICK=closer\n");
        w->programDir = own.path() + QLatin1Char('/');
        w->mnuSetting->trigger(); // the connection dialog is open when the window closes
        QVERIFY(w->frmSetting->isVisible());
        w->close();
        QVERIFY(!w->frmSetting->isVisible()); // so it cannot keep the program running
        QVERIFY(fx->messagesOf(w).isEmpty());
        QVERIFY(QFileInfo::exists(w->settingsPath()));
        QFile f(w->settingsPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("closer"));
        f.close();
        QFile::remove(w->settingsPath());
        fx->deleteWindow(w); // the destructor does not save a second time
        QVERIFY(!QFileInfo::exists(own.path() + QStringLiteral("/Quadrix.INI")));
    }

    void unwritableSettingsAreReported()
    {
        TmainFrm *w = fx->newWindow();
        // a file where the program's folder should be: nothing can be written below it
        QTemporaryDir dir;
        QFile blocker(dir.path() + QStringLiteral("/blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        w->programDir = blocker.fileName() + QLatin1Char('/');
        w->userConfigDir = blocker.fileName() + QStringLiteral("/config"); // nor in the user's folder
        w->close();
        QCOMPARE(fx->messagesOf(w).size(), 1);
        QVERIFY2(fx->messagesOf(w)[0].text.contains(w->settingsPath()), qPrintable(fx->messagesOf(w)[0].text));
        QCOMPARE(fx->messagesOf(w)[0].icon, QMessageBox::Critical);
        QVERIFY(!w->isVisible()); // the program still ends
    }

    void closingWhileHostingEndsIt()
    {
        TmainFrm *w = fx->newWindow();
        QVERIFY(fx->host(w, QStringLiteral("me")));
        QTcpSocket guest;
        guest.connectToHost(QStringLiteral("127.0.0.1"), quint16(fx->hostPort()));
        QVERIFY(guest.waitForConnected(5000));
        w->close();
        QVERIFY(!w->session->active());
        QTRY_COMPARE(guest.state(), QAbstractSocket::UnconnectedState);
        QVERIFY(fx->messagesOf(w).isEmpty()); // closing is not an error
    }

    // The start screen as a player sees it; QUADRIX_SCREENSHOT names a file to keep it in.
    void startScreen()
    {
        TmainFrm *w = fx->newWindow();
        const QImage shot = w->grab().toImage();
        QCOMPARE(shot.size() / shot.devicePixelRatio(), w->size());
        // the felt shows inside the table, tiled from the carpet's corner: (40, 100) is (10, 10) of a tile
        QCOMPARE(shot.devicePixelRatio(), 1.0);
        const QImage tile = feltTile(1.0).toImage();
        const QPoint carpet = w->imgCarpet->mapTo(w, QPoint(0, 0));
        const QColor seen = shot.pixelColor(carpet + QPoint(40, 100));
        const QColor want = tile.pixelColor(10, 10);
        QVERIFY2(qAbs(seen.green() - want.green()) < 8 && qAbs(seen.red() - want.red()) < 8,
                 qPrintable(QStringLiteral("%1 vs %2").arg(seen.name(), want.name())));
        const QByteArray path = qgetenv("QUADRIX_SCREENSHOT");
        if (!path.isEmpty())
            QVERIFY(shot.save(QString::fromLocal8Bit(path)));
    }
};

QTEST_MAIN(TestMainFrm)
#include "tst_mainfrm_gui.moc"

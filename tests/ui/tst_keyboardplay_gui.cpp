// Keyboard play: a whole deal against three computer players with keys alone; a key held down acts
// once; keys leave the open chat line alone; Help > Keys and the tool tips name the keys.
#include "client/clienttable.h"
#include "host/tablehost.h"
#include "support/dealhelpers.h"
#include "support/tablefixture.h"
#include "ui/botseats.h"
#include "ui/keyboardplay.h"
#include "ui/mainfrm.h"
#include "ui/playcard.h"
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace DealHelpers;

namespace {

void key(TmainFrm *w, Qt::Key k) { QTest::keyClick(w, k); }

// The own slot number of a card in the hand shown; 0 when not held.
int slotOf(TmainFrm *w, const QString &code)
{
    for (int n = 1; n <= 13; ++n)
        if (w->handSlot(n)->isVisible() && w->handSlot(n)->GetCardCode() == code)
            return n;
    return 0;
}

// Leads the lowest card or passes, by keys.
void playTurnByKeys(TmainFrm *w)
{
    if (w->countTableCards() > 0) {
        key(w, Qt::Key_P);
        return;
    }
    QString lowest = handOf(w).first();
    for (const QString &c : handOf(w))
        if (lowestValue(w, {c}) < lowestValue(w, {lowest}))
            lowest = c;
    const int target = slotOf(w, lowest);
    while (w->keys->focusSlot() != target)
        key(w, w->keys->focusSlot() < target ? Qt::Key_Right : Qt::Key_Left);
    QVERIFY(w->handSlot(target)->keyFocus());
    key(w, Qt::Key_Space);
    QCOMPARE(raisedOf(w), QStringList{lowest});
    key(w, Qt::Key_Return);
}

} // namespace

class TestKeyboardPlay : public QObject
{
    Q_OBJECT

private slots:
    void wholeDealByKeys()
    {
        TableFixture fx;
        TmainFrm *w = fx.newWindow();
        w->BeepOnTurn1->setChecked(false);
        QVERIFY(fx.host(w, QStringLiteral("Ann")));
        w->botSeats->setMoveDelay(10);
        for (int i = 0; i < 3; ++i)
            w->botSeats->action()->trigger();
        QVERIFY(TableFixture::waitFor([&] { return w->tableHost()->roster().seatCount() == 4; }));
        const ClientTable *c = w->client();
        QVERIFY(TableFixture::waitFor([&] { return w->btnNew->isEnabled(); }));

        key(w, Qt::Key_D);
        QVERIFY(TableFixture::waitFor([&] { return c->inDeal(); }));
        int turns = 0;
        while (c->inDeal()) {
            QVERIFY(TableFixture::waitFor([&] { return !c->inDeal() || w->btnThrow->isEnabled(); }, 30000));
            if (!c->inDeal())
                break;
            ++turns;
            // Keys that the buttons would refuse now do nothing: D starts no deal in the middle of one.
            key(w, Qt::Key_D);
            playTurnByKeys(w);
            QVERIFY(TableFixture::waitFor([&] { return !c->inDeal() || !w->btnThrow->isEnabled(); }));
        }
        QVERIFY(turns > 0);
        // A screen reader hears who won.
        QVERIFY(QAccessible::queryAccessibleInterface(w->imgCarpet)->text(QAccessible::Description).endsWith(QStringLiteral(" wins the deal")));
        QVERIFY(TableFixture::waitFor([&] {
            int shown = 0;
            for (int s = 1; s <= 4; ++s)
                shown += w->pointLabel(s)->text().toInt();
            return shown == 4000;
        }));
        QVERIFY2(fx.messagesOf(w).isEmpty(), qPrintable(fx.messageTextsOf(w).join('|')));
    }

    void heldKeyAndChatLine()
    {
        TableFixture fx;
        TmainFrm *w = fx.newWindow();
        QVERIFY(fx.host(w, QStringLiteral("Ann")));
        w->client()->setCountdownTickMs(600000);
        const QList<ClientTable *> quiet = seatQuietPlayers(w, {QStringLiteral("Bob"), QStringLiteral("Cid"), QStringLiteral("Dan")});
        QVERIFY(dealHands(w, {{1, {"43", "13", "23", "15", "25", "35", "19", "110", "211", "312", "41", "48", "49"}}}));

        key(w, Qt::Key_Right);
        QCOMPARE(w->keys->focusSlot(), 1);
        key(w, Qt::Key_Left); // stays on the first card
        QCOMPARE(w->keys->focusSlot(), 1);
        key(w, Qt::Key_Up);
        QCOMPARE(raisedOf(w).size(), 1);
        // Auto-repeat of a held key: no further card, no lowering either.
        for (int i = 0; i < 3; ++i) {
            QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
            QApplication::sendEvent(w, &repeat);
        }
        QCOMPARE(raisedOf(w).size(), 1);
        key(w, Qt::Key_Right);
        key(w, Qt::Key_Space);
        QCOMPARE(raisedOf(w).size(), 2);
        key(w, Qt::Key_Escape);
        QVERIFY(raisedOf(w).isEmpty());
        key(w, Qt::Key_F);
        const QStringList byFlower = handOf(w);
        key(w, Qt::Key_N);
        QVERIFY(handOf(w) != byFlower);
        QTest::mouseClick(w->btnSortF, Qt::LeftButton);
        QCOMPARE(handOf(w), byFlower);

        // The open chat line keeps its keys.
        w->setOuterWidth(640);
        QTest::keyClicks(w->txtInput, QStringLiteral("pdf "));
        QTest::keyClick(w->txtInput, Qt::Key_Left);
        QCOMPARE(w->txtInput->text(), QStringLiteral("pdf "));
        QCOMPARE(w->keys->focusSlot(), 2);
        QVERIFY(w->client()->inDeal() && w->btnPass->isEnabled());

        w->keys->keysAction()->trigger();
        const QString listed = fx.messageTextsOf(w).value(0);
        for (const char *k : {"Left", "Space", "Enter", "Esc", "Ctrl+H"})
            QVERIFY2(listed.contains(QLatin1String(k)), k);
        QVERIFY(w->btnThrow->toolTip().contains(QStringLiteral("Enter")));
        QVERIFY(w->btnPass->toolTip().contains(QStringLiteral("(P)")));
        qDeleteAll(quiet);
    }
};

QTEST_MAIN(TestKeyboardPlay)
#include "tst_keyboardplay_gui.moc"

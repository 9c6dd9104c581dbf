// The hint: on the own turn it raises a throw the rules accept and "Throw Card" throws it, or
// says "Pass"; outside the own turn there is none.
#include "bot/combos.h"
#include "game/gameflow.h"
#include "rules/handhandling.h"
#include "support/dealhelpers.h"
#include "ui/hint.h"
#include "ui/mainfrm.h"
#include <QAction>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace DealHelpers;

class TestHint : public QObject
{
    Q_OBJECT

    TmainFrm *w = nullptr;
    QTemporaryDir dir;

    void takeTurn()
    {
        w->st.turnSeat = 1;
        w->flow->showTurn(1);
    }

private slots:
    void init()
    {
        w = new TmainFrm;
        w->programDir = dir.path() + QLatin1Char('/');
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        seatLocally(w, QStringLiteral("Ann"),
                    {{QStringLiteral("Ann"), 1}, {QStringLiteral("Bob"), 2}, {QStringLiteral("Cid"), 3},
                     {QStringLiteral("Dan"), 4}});
        playLocally(w);
    }

    void cleanup()
    {
        delete w;
        w = nullptr;
    }

    void hintRaisesAThrowThatThrowCardThrows()
    {
        giveHand(w, {"13", "23", "15", "25", "35", "19", "110", "211", "312", "41"});
        QVERIFY(!w->Hint1->isEnabled());
        QVERIFY(!w->hint->give());
        QVERIFY(raisedOf(w).isEmpty());

        takeTurn();
        QVERIFY(w->Hint1->isEnabled());
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QTest::keyClick(w, Qt::Key_H, Qt::ControlModifier);
        const QStringList raised = raisedOf(w);
        QVERIFY(!raised.isEmpty());
        TMoveGenerator moves(w->rules);
        QVERIFY(moves.accepts(BotCombos::tableCombo(raised), {}));
        QVERIFY(tableOf(w).isEmpty()); // nothing thrown yet

        QTest::mouseClick(w->btnThrow, Qt::LeftButton);
        QCOMPARE(BotCards::maskOf(tableOf(w)), BotCards::maskOf(raised));
        QVERIFY(!w->Hint1->isEnabled());
    }

    void hintSaysPassWhenNothingBeats()
    {
        giveHand(w, {"13", "23", "15"});
        const QString top = BotCards::codeOfIndex(51);
        putOnTable(w, {top});
        w->table.setTableCards({top}, 2);
        takeTurn();
        QVERIFY(w->hint->give());
        QVERIFY(raisedOf(w).isEmpty());
        QCOMPARE(w->statusText(), QStringLiteral("Pass"));
    }
};

QTEST_MAIN(TestHint)
#include "tst_hint_gui.moc"

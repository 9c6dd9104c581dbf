// The turn countdown: its start values, the tick, the automatic pass, the blink and the beep.
#include "cards/playcard.h"
#include "game/gameflow.h"
#include "support/dealhelpers.h"
#include "support/tablefixture.h"
#include "ui/countdown.h"
#include "ui/mainfrm.h"
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace DealHelpers;

class TestCountdown : public QObject
{
    Q_OBJECT

    std::unique_ptr<TableFixture> fx;
    TmainFrm *w = nullptr;

    // The local player's turn with this hand against this table.
    void turnWith(const QStringList &hand, const QStringList &table)
    {
        giveHand(w, hand);
        putOnTable(w, table);
        w->st.turnSeat = 1;
        w->flow->showTurn(1);
    }
    qint64 iconKey() const { return w->windowIcon().cacheKey(); }

private slots:
    void init()
    {
        fx = std::make_unique<TableFixture>();
        w = fx->newWindow();
        seatLocally(w, "Ann", {{"Ann", 1}, {"Bob", 2}});
        playLocally(w);
    }

    void cleanup()
    {
        w = nullptr;
        fx.reset();
    }

    void startValues_data()
    {
        QTest::addColumn<QStringList>("hand");
        QTest::addColumn<QStringList>("table");
        QTest::addColumn<QString>("start");
        QTest::newRow("clear table") << QStringList{"12"} << QStringList{} << "60";
        QTest::newRow("two cards against three") << QStringList{"13", "14"} << QStringList{"25", "35", "45"} << "3";
        QTest::newRow("five cards against a triple")
            << QStringList{"13", "14", "15", "16", "17"} << QStringList{"25", "35", "45"} << "60";
        QTest::newRow("single Spade 2") << QStringList{"22", "32", "42", "11"} << QStringList{"12"} << "3";
        QTest::newRow("pair led by the Spade 2") << QStringList{"22", "32", "42"} << QStringList{"12", "22"} << "3";
        QTest::newRow("last card weaker than the table") << QStringList{"113"} << QStringList{"41"} << "3";
        QTest::newRow("last card stronger than the table") << QStringList{"42"} << QStringList{"11"} << "60";
        QTest::newRow("two cards against a single") << QStringList{"13", "14"} << QStringList{"11"} << "60";
    }

    void startValues()
    {
        QFETCH(QStringList, hand);
        QFETCH(QStringList, table);
        QFETCH(QString, start);
        turnWith(hand, table);
        QCOMPARE(w->txtPassCntDwn->text(), start);
        QVERIFY(!w->txtPassCntDwn->isHidden());
        QVERIFY(!w->txtAutoPass->isHidden());
        QVERIFY(w->autoPass->isActive());
        // The pure rule agrees with what the table shows.
        const TPlayCard *t1 = w->tableSlot(1);
        const QString t1Code = table.isEmpty() ? QString() : t1->GetCardCode();
        QCOMPARE(TCountdown::startValue(hand.size(), table.size(), t1Code, hand.first(),
                                        w->CardEng1.CardValue(t1Code), w->CardEng1.CardValue(hand.first())),
                 start.toInt());
    }

    void lastTickPasses()
    {
        w->restoreIcon();
        const qint64 normal = iconKey();
        turnWith({"13", "14"}, {"11"});
        w->countdown->autoPassTimer(); // the next blink phase would be the blank icon
        w->txtPassCntDwn->setText("1");
        w->countdown->autoPassTimer();
        QCOMPARE(w->txtPassCntDwn->text(), QStringLiteral("0"));
        QVERIFY(!w->btnPass->isEnabled());
        QVERIFY(!w->btnThrow->isEnabled());
        QVERIFY(!w->passLabel(1)->isHidden());
        QVERIFY(w->txtPassCntDwn->isHidden());
        QVERIFY(w->txtAutoPass->isHidden());
        QVERIFY(!w->autoPass->isActive());
        // The countdown is over: the task bar keeps the normal icon, not the blank phase.
        QCOMPARE(iconKey(), normal);
    }

    void lastTickWithoutPassButtonStops()
    {
        turnWith({"13", "14"}, {"11"});
        w->btnPass->setEnabled(false);
        w->txtPassCntDwn->setText("1");
        w->countdown->autoPassTimer();
        QCOMPARE(w->txtPassCntDwn->text(), QStringLiteral("0"));
        QVERIFY(w->passLabel(1)->isHidden());
        QVERIFY(!w->autoPass->isActive());
    }

    // Three seconds are three ticks of a one-second timer; each tick comes here as the timer gives it,
    // without waiting out its second.
    void threeSecondsThenAutomaticPass()
    {
        turnWith({"13"}, {"12"});
        QCOMPARE(w->txtPassCntDwn->text(), QStringLiteral("3"));
        for (const char *left : {"2", "1", "0"}) {
            QVERIFY(w->autoPass->isActive());
            QCOMPARE(w->autoPass->interval(), 1000);
            QVERIFY(w->passLabel(1)->isHidden());
            QVERIFY(w->btnPass->isEnabled());
            QVERIFY(QMetaObject::invokeMethod(w->autoPass, "timeout"));
            QCOMPARE(w->txtPassCntDwn->text(), QString::fromLatin1(left));
        }
        QVERIFY(!w->passLabel(1)->isHidden());
        QVERIFY(!w->btnPass->isEnabled());
        QVERIFY(!w->autoPass->isActive());
    }

    void blinkAndBeep()
    {
        w->restoreIcon();
        const qint64 normal = iconKey();
        turnWith({"13", "14"}, {});
        QVERIFY(w->BeepOnTurn1->isChecked());
        QList<bool> blank;
        const int beeps = w->beepCount();
        for (int i = 0; i < 4; ++i) {
            w->countdown->autoPassTimer();
            blank << (iconKey() != normal);
        }
        QCOMPARE(w->beepCount(), beeps + 4);
        // One second normal, one second blank, whatever phase the blink had before.
        QVERIFY(blank == QList<bool>({false, true, false, true}) || blank == QList<bool>({true, false, true, false}));
        QCOMPARE(w->txtPassCntDwn->text(), QStringLiteral("56"));
        QVERIFY(w->autoPass->isActive());

        w->BeepOnTurn1->trigger();
        QVERIFY(!w->BeepOnTurn1->isChecked());
        w->countdown->autoPassTimer();
        QCOMPARE(w->beepCount(), beeps + 4);
    }

    void turnMovingAwayDuringTickStopsIt()
    {
        turnWith({"13", "14"}, {});
        // A move elsewhere arrives while the tick lets messages run.
        QTimer::singleShot(0, w, [this] { w->flow->onWhoseTurn("Bob"); });
        w->countdown->autoPassTimer();
        QCOMPARE(w->st.turnSeat, 2);
        QVERIFY(!w->autoPass->isActive());
        QVERIFY(w->txtPassCntDwn->isHidden());
        QVERIFY(!w->btnPass->isEnabled());
    }

    void newTurnDuringTickRestarts()
    {
        turnWith({"13", "14"}, {});
        w->txtPassCntDwn->setText("1");
        // The tick passes; while it lets messages run, the turn comes back with a single on the table.
        QTimer::singleShot(0, w, [this] {
            w->flow->applyThrow(localPort(2), "Bob", 1, "41#");
            w->flow->onWhoseTurn("Ann");
        });
        w->countdown->autoPassTimer();
        QCOMPARE(w->st.turnSeat, 1);
        QVERIFY(w->btnPass->isEnabled());
        QCOMPARE(w->txtPassCntDwn->text(), QStringLiteral("60"));
        QVERIFY(!w->txtPassCntDwn->isHidden());
        QVERIFY(w->autoPass->isActive());
    }

    void stopHidesEverything()
    {
        turnWith({"13", "14"}, {});
        w->countdown->autoPassTimer();
        w->countdown->autoPassTimer();
        w->countdown->stop();
        QVERIFY(!w->autoPass->isActive());
        QVERIFY(w->txtPassCntDwn->isHidden());
        QVERIFY(w->txtAutoPass->isHidden());
        const qint64 afterStop = iconKey();
        w->restoreIcon();
        QCOMPARE(iconKey(), afterStop);
    }
};

QTEST_MAIN(TestCountdown)
#include "tst_countdown_gui.moc"

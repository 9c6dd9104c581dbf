// The turn countdown as the window shows it: the labels, the blink, the beep and the automatic pass.
#include "client/clienttable.h"
#include "support/dealhelpers.h"
#include "support/tablefixture.h"
#include "ui/mainfrm.h"
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <memory>

using namespace DealHelpers;

class TestCountdown : public QObject
{
    Q_OBJECT

    std::unique_ptr<TableFixture> fx;
    TmainFrm *w = nullptr;
    QList<ClientTable *> quiet;

    qint64 iconKey() const { return w->windowIcon().cacheKey(); }
    bool labelsShown() const { return !w->txtPassCntDwn->isHidden() && !w->txtAutoPass->isHidden(); }
    bool labelsHidden() const { return w->txtPassCntDwn->isHidden() && w->txtAutoPass->isHidden(); }
    // The quiet player of that seat moves once its copy knows it is its turn.
    bool moveFor(int seat, const QStringList &cards)
    {
        for (ClientTable *p : quiet)
            if (p->mySeat() == seat)
                return throwFor(w, p, cards);
        return false;
    }
    // A deal in which Ann (holding "43", the lowest card) moves first; true on her turn.
    bool annLeads()
    {
        return dealHands(w, QHash<int, QStringList>({{1, {"43"}}, {2, {"12"}}}))
               && TableFixture::waitFor([this] { return w->client()->myTurn() && w->btnPass->isEnabled(); });
    }

private slots:
    void init()
    {
        fx = std::make_unique<TableFixture>();
        w = fx->newWindow();
        QVERIFY(fx->host(w, QStringLiteral("Ann")));
        quiet = seatQuietPlayers(w, {QStringLiteral("Bob"), QStringLiteral("Cid"), QStringLiteral("Dan")});
        QCOMPARE(quiet.size(), 3);
        w->restoreIcon();
    }

    void cleanup()
    {
        w = nullptr;
        fx.reset();
    }

    // The start value the model chose is shown; the labels go with the turn and come back with it.
    void labelsFollowTheTurn()
    {
        w->client()->setCountdownTickMs(600000); // no tick while the test looks
        QVERIFY(labelsHidden());
        QVERIFY(annLeads());
        QVERIFY(labelsShown());
        QCOMPARE(w->txtPassCntDwn->text(), QStringLiteral("60"));

        QVERIFY(clickCards(w, {"43"}));
        QTest::mouseClick(w->btnThrow, Qt::LeftButton);
        QVERIFY(labelsHidden());
        QVERIFY(!w->client()->countdownRunning());

        // Back with the Spade 2 on the table, which nothing beats: three seconds.
        QVERIFY(moveFor(2, {"12"}));
        QVERIFY(moveFor(3, {}));
        QVERIFY(moveFor(4, {}));
        QVERIFY(TableFixture::waitFor([this] { return w->client()->myTurn(); }));
        QVERIFY(labelsShown());
        QCOMPARE(w->txtPassCntDwn->text(), QStringLiteral("3"));
    }

    // Every second of the own turn shows the seconds left, beeps (while "Beep on turn" is checked)
    // and swaps the task-bar icon between normal and blank.
    void ticksBlinkAndBeep()
    {
        const qint64 normal = iconKey();
        QVERIFY(w->BeepOnTurn1->isChecked());
        QStringList shown;
        QList<bool> blank;
        QList<int> beeps;
        QObject watch; // ends the watching with the test
        connect(w->client(), &ClientTable::countdownChanged, &watch, [&](int left) {
            if (left == 60)
                return; // the start, not a tick
            shown << w->txtPassCntDwn->text();
            blank << (iconKey() != normal);
            beeps << w->beepCount();
            if (shown.size() == 4)
                w->BeepOnTurn1->trigger();
        });
        w->client()->setCountdownTickMs(20);
        QVERIFY(annLeads());
        QVERIFY(TableFixture::waitFor([&] { return shown.size() >= 6; }));
        QCOMPARE(shown.mid(0, 6), QStringList({"59", "58", "57", "56", "55", "54"}));
        // One second normal, one second blank, whatever phase the blink had before.
        QVERIFY2(blank.mid(0, 6) == QList<bool>({false, true, false, true, false, true})
                     || blank.mid(0, 6) == QList<bool>({true, false, true, false, true, false}),
                 qPrintable(QString::number(blank.count(true))));
        for (int i = 1; i < 4; ++i)
            QCOMPARE(beeps.at(i), beeps.at(i - 1) + 1);
        QVERIFY(!w->BeepOnTurn1->isChecked());
        QCOMPARE(beeps.at(5), beeps.at(3));
    }

    void lastTickPassesAndRestoresTheIcon()
    {
        const qint64 normal = iconKey();
        w->client()->setCountdownTickMs(5);
        QVERIFY(annLeads());
        QVERIFY(TableFixture::waitFor([this] { return !w->passLabel(1)->isHidden() && w->client()->turnSeat() == 2; }));
        QVERIFY(labelsHidden());
        QVERIFY(!w->btnPass->isEnabled());
        QVERIFY(!w->btnThrow->isEnabled());
        // The countdown is over: the task bar keeps the normal icon, not the blank phase.
        QCOMPARE(iconKey(), normal);
    }

    void stoppedDealHidesTheCountdown()
    {
        const qint64 normal = iconKey();
        w->client()->setCountdownTickMs(20);
        QVERIFY(annLeads());
        // Stopped in a blank phase of the icon.
        QVERIFY(TableFixture::waitFor([&] { return iconKey() != normal; }));
        QVERIFY(w->btnStop->isEnabled());
        QTest::mouseClick(w->btnStop, Qt::LeftButton); // answered Yes by the fixture
        QVERIFY(TableFixture::waitFor([this] { return !w->client()->inDeal(); }));
        QVERIFY(labelsHidden());
        QVERIFY(!w->client()->countdownRunning());
        QCOMPARE(iconKey(), normal);
    }
};

QTEST_MAIN(TestCountdown)
#include "tst_countdown_gui.moc"

// "Add Computer Player": a player alone hosts, fills the table from the Connection menu and plays
// whole deals against the computer players, who leave when the table ends.
#include "bot/botplayer.h"
#include "game/gameflow.h"
#include "hub/hubserver.h"
#include "support/dealhelpers.h"
#include "support/tablefixture.h"
#include "ui/botseats.h"
#include "ui/mainfrm.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <algorithm>

using namespace DealHelpers;

namespace {

// What the player sees when opening the Connection menu.
bool itemEnabled(TmainFrm *w)
{
    emit w->Connection1->aboutToShow();
    return w->botSeats->action()->isEnabled();
}

int creditSum(TmainFrm *w)
{
    int sum = 0;
    for (int s = 1; s <= 4; ++s)
        if (w->roster.user(s).port >= 0 && !w->roster.user(s).nick.isEmpty())
            sum += w->roster.user(s).credit;
    return sum;
}

// The player's own simple play: lead the lowest card, pass on anything already on the table.
void playOwnTurn(TmainFrm *w)
{
    if (w->countTableCards() > 0) {
        QTest::mouseClick(w->btnPass, Qt::LeftButton);
        return;
    }
    const QStringList hand = handOf(w);
    QString lowest = hand.first();
    for (const QString &c : hand)
        if (lowestValue(w, {c}) < lowestValue(w, {lowest}))
            lowest = c;
    QVERIFY(clickCards(w, {lowest}));
    QTest::mouseClick(w->btnThrow, Qt::LeftButton);
}

} // namespace

class TestBotSeats : public QObject
{
    Q_OBJECT

private slots:
    void itemFollowsTheTable()
    {
        TableFixture fx;
        TmainFrm *w = fx.newWindow();
        QAction *item = w->findChild<QAction *>(QStringLiteral("mnuAddBot"));
        QVERIFY(item);
        QVERIFY(w->Connection1->actions().contains(item));
        QCOMPARE(item->text().remove(QLatin1Char('&')), QStringLiteral("Add Computer Player"));
        QVERIFY(!itemEnabled(w));
        QVERIFY(!w->botSeats->addBot());

        QVERIFY(fx.host(w, QStringLiteral("Ann")));
        QVERIFY(itemEnabled(w));
        w->botSeats->setMoveDelay(20);
        for (int i = 0; i < 3; ++i) {
            QVERIFY(itemEnabled(w));
            item->trigger();
        }
        // Three are on their way: a fourth would find no seat, so none is started.
        QVERIFY(!itemEnabled(w));
        QCOMPARE(w->botSeats->bots().size(), 3);
        QVERIFY(TableFixture::waitFor([&] { return w->roster.seatCount() == 4; }));
        QVERIFY(fx.tableShown());
        // Each knows its seat once the host's news reached it.
        QVERIFY(TableFixture::waitFor([&] {
            const QList<TBotPlayer *> bots = w->botSeats->bots();
            return std::all_of(bots.begin(), bots.end(), [](TBotPlayer *b) { return b->isSeated(); });
        }));
        QStringList nicks;
        for (int s = 1; s <= 4; ++s)
            nicks << w->roster.user(s).nick;
        nicks.removeDuplicates();
        QCOMPARE(nicks.size(), 4);
        QVERIFY(nicks.contains(QStringLiteral("Bot1")) && nicks.contains(QStringLiteral("Bot3")));
        QVERIFY(!itemEnabled(w));
        QVERIFY(fx.messagesOf(w).isEmpty());

        // A seat freed between deals can be filled again; not while a deal runs.
        TBotPlayer *leaving = w->botSeats->bots().first();
        const QString leavingNick = leaving->nick();
        leaving->stop();
        QVERIFY(TableFixture::waitFor([&] { return w->roster.seatCount() == 3; }));
        QVERIFY(TableFixture::waitFor([&] { return w->botSeats->bots().size() == 2; }));
        QVERIFY(itemEnabled(w));
        QVERIFY(w->btnNew->isEnabled());
        w->CardEng1.seed(1); // a deal nobody wins as dealt
        QTest::mouseClick(w->btnNew, Qt::LeftButton);
        QVERIFY(w->st.gameOn);
        QVERIFY(!itemEnabled(w));
        QVERIFY(!w->botSeats->addBot());
        QVERIFY(w->btnStop->isEnabled());
        QTest::mouseClick(w->btnStop, Qt::LeftButton); // answered Yes by the fixture
        QVERIFY(TableFixture::waitFor([&] { return !w->st.gameOn; }));
        QVERIFY(itemEnabled(w));
        TBotPlayer *again = w->botSeats->addBot();
        QVERIFY(again);
        QCOMPARE(again->nick(), leavingNick); // the freed nick is free again
        QVERIFY(TableFixture::waitFor([&] { return w->roster.seatCount() == 4; }));
    }

    void aloneAgainstThreeComputerPlayers()
    {
        TableFixture fx;
        TmainFrm *w = fx.newWindow();
        w->BeepOnTurn1->setChecked(false);
        QVERIFY(fx.host(w, QStringLiteral("Ann")));
        w->botSeats->setMoveDelay(20);
        w->botSeats->setNextDealDelay(100);
        for (int i = 0; i < 3; ++i)
            w->botSeats->action()->trigger();
        QVERIFY(TableFixture::waitFor([&] { return w->roster.seatCount() == 4; }));

        // Whole deals: whoever won starts the next one, the credits always add up.
        int deals = 0;
        bool wasOn = false;
        while (deals < 3) {
            // Until a deal ends, a deal may be started, or it is the player's turn.
            bool ended = false;
            QVERIFY2(TableFixture::waitFor([&] {
                ended = wasOn && !w->st.gameOn;
                wasOn = w->st.gameOn;
                return ended || (!w->st.gameOn && w->btnNew->isEnabled()) || (w->st.gameOn && w->btnThrow->isEnabled());
            }, 60000), qPrintable(QStringLiteral("nothing happened after %1 deals").arg(deals)));
            if (ended) {
                ++deals;
                QCOMPARE(creditSum(w), 4000);
                int shown = 0;
                for (int s = 1; s <= 4; ++s)
                    shown += w->pointLabel(s)->text().toInt();
                QCOMPARE(shown, 4000);
            }
            if (!w->st.gameOn && w->btnNew->isEnabled())
                QTest::mouseClick(w->btnNew, Qt::LeftButton);
            else if (w->st.gameOn && w->btnThrow->isEnabled())
                playOwnTurn(w);
        }
        QCOMPARE(w->roster.seatCount(), 4);
        for (TBotPlayer *b : w->botSeats->bots()) {
            QVERIFY(b->isSeated());
            QVERIFY(TableFixture::waitFor([&] { return b->dealsPlayed() >= 3; }));
            // Each computer player keeps the credits the host announced for it.
            const int seat = w->roster.seatOfNick(b->nick());
            QVERIFY(TableFixture::waitFor([&] { return b->credit() == w->roster.user(seat).credit; }));
        }
        QVERIFY2(fx.messagesOf(w).isEmpty(), qPrintable(fx.messageTextsOf(w).join('|')));
    }

    void computerPlayersEndWithTheTable()
    {
        TableFixture fx;
        TmainFrm *w = fx.newWindow();
        QVERIFY(fx.host(w, QStringLiteral("Ann")));
        for (int i = 0; i < 3; ++i)
            w->botSeats->action()->trigger();
        QVERIFY(TableFixture::waitFor([&] { return w->roster.seatCount() == 4; }));
        QList<QPointer<TBotPlayer>> bots;
        for (TBotPlayer *b : w->botSeats->bots())
            bots << b;
        w->mnuDisconn->trigger();
        QVERIFY(!w->gHost->Active());
        QVERIFY(TableFixture::waitFor([&] { return w->botSeats->bots().isEmpty(); }));
        // Gone for good, not merely disconnected.
        QVERIFY(TableFixture::waitFor([&] {
            for (const QPointer<TBotPlayer> &b : bots)
                if (b)
                    return false;
            return true;
        }));
        QVERIFY(!itemEnabled(w));
    }
};

QTEST_MAIN(TestBotSeats)
#include "tst_botseats_gui.moc"

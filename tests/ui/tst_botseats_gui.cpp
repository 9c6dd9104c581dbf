// "Add Computer Player": a player alone hosts, fills the table from the Connection menu and plays
// whole deals against the computer players, who leave when the table ends.
#include "bot/botplayer.h"
#include "client/clienttable.h"
#include "host/tablehost.h"
#include "support/dealhelpers.h"
#include "support/tablefixture.h"
#include "ui/botseats.h"
#include "ui/mainfrm.h"
#include "ui/tablesession.h"

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

int seatCount(TmainFrm *w)
{
    return w->tableHost() ? w->tableHost()->roster().seatCount() : 0;
}

// A deck nobody wins as dealt: each hand spans four or five ranks, and the 2s (the fourth rank here)
// fall into two hands.
QStringList plainDeck()
{
    const QList<int> ranks{3, 4, 5, 2, 6, 7, 8, 9, 10, 11, 12, 13, 1};
    QStringList deck;
    for (int k = 0; k < 13; ++k)
        for (int j = k; j < 52; j += 13) // card k of each seat's run of 13
            deck << QString::number(j % 4 + 1) + QString::number(ranks.at(j / 4));
    return deck;
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
        QVERIFY(TableFixture::waitFor([&] { return seatCount(w) == 4; }));
        QVERIFY(fx.waitTableShown());
        // Each knows its seat once the host's news reached it.
        QVERIFY(TableFixture::waitFor([&] {
            const QList<TBotPlayer *> bots = w->botSeats->bots();
            return std::all_of(bots.begin(), bots.end(), [](TBotPlayer *b) { return b->isSeated(); });
        }));
        QStringList nicks;
        for (int s = 1; s <= 4; ++s)
            nicks << w->tableHost()->roster().user(s).nick;
        nicks.removeDuplicates();
        QCOMPARE(nicks.size(), 4);
        QVERIFY(nicks.contains(QStringLiteral("Bot1")) && nicks.contains(QStringLiteral("Bot3")));
        QVERIFY(!itemEnabled(w));
        QVERIFY(fx.messagesOf(w).isEmpty());

        // A seat freed between deals can be filled again; not while a deal runs.
        TBotPlayer *leaving = w->botSeats->bots().first();
        const QString leavingNick = leaving->nick();
        leaving->stop();
        QVERIFY(TableFixture::waitFor([&] { return seatCount(w) == 3; }));
        QVERIFY(TableFixture::waitFor([&] { return w->botSeats->bots().size() == 2; }));
        QVERIFY(itemEnabled(w));
        QVERIFY(TableFixture::waitFor([&] { return w->btnNew->isEnabled(); }));
        w->tableHost()->setNextDeck(plainDeck());
        QTest::mouseClick(w->btnNew, Qt::LeftButton);
        QVERIFY(TableFixture::waitFor([&] { return w->client()->inDeal(); }));
        QVERIFY(!itemEnabled(w));
        QVERIFY(!w->botSeats->addBot());
        QVERIFY(w->btnStop->isEnabled());
        QTest::mouseClick(w->btnStop, Qt::LeftButton); // answered Yes by the fixture
        QVERIFY(TableFixture::waitFor([&] { return !w->client()->inDeal(); }));
        QVERIFY(itemEnabled(w));
        TBotPlayer *again = w->botSeats->addBot();
        QVERIFY(again);
        QCOMPARE(again->nick(), leavingNick); // the freed nick is free again
        QVERIFY(TableFixture::waitFor([&] { return seatCount(w) == 4; }));
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
        QVERIFY(TableFixture::waitFor([&] { return seatCount(w) == 4; }));
        const ClientTable *c = w->client();

        // Whole deals through the window: whoever won starts the next one, the credits shown add up.
        int deals = 0;
        bool wasOn = false;
        while (deals < 3) {
            // Until a deal ends, a deal may be started, or it is the player's turn.
            bool ended = false;
            QVERIFY2(TableFixture::waitFor([&] {
                ended = wasOn && !c->inDeal();
                wasOn = c->inDeal();
                return ended || (!c->inDeal() && w->btnNew->isEnabled()) || (c->inDeal() && w->btnThrow->isEnabled());
            }, 60000), qPrintable(QStringLiteral("nothing happened after %1 deals").arg(deals)));
            if (ended) {
                ++deals;
                // The credits shown add up once the last of them has come in.
                QVERIFY(TableFixture::waitFor([&] {
                    int shown = 0;
                    for (int s = 1; s <= 4; ++s)
                        shown += w->pointLabel(s)->text().toInt();
                    return shown == 4000;
                }));
            }
            if (!c->inDeal() && w->btnNew->isEnabled())
                QTest::mouseClick(w->btnNew, Qt::LeftButton);
            else if (c->inDeal() && w->btnThrow->isEnabled())
                playOwnTurn(w);
        }
        QCOMPARE(seatCount(w), 4);
        QVERIFY2(fx.messagesOf(w).isEmpty(), qPrintable(fx.messageTextsOf(w).join('|')));
    }

    void computerPlayersEndWithTheTable()
    {
        TableFixture fx;
        TmainFrm *w = fx.newWindow();
        QVERIFY(fx.host(w, QStringLiteral("Ann")));
        for (int i = 0; i < 3; ++i)
            w->botSeats->action()->trigger();
        QVERIFY(TableFixture::waitFor([&] { return seatCount(w) == 4; }));
        QList<QPointer<TBotPlayer>> bots;
        for (TBotPlayer *b : w->botSeats->bots())
            bots << b;
        w->mnuDisconn->trigger();
        QVERIFY(!w->session->active());
        QVERIFY(TableFixture::waitFor([&] { return w->botSeats->bots().isEmpty(); }));
        // Gone for good, not merely disconnected.
        QVERIFY(TableFixture::waitFor([&] {
            return std::none_of(bots.begin(), bots.end(), [](const QPointer<TBotPlayer> &b) { return !b.isNull(); });
        }));
        QVERIFY(!itemEnabled(w));
    }
};

QTEST_MAIN(TestBotSeats)
#include "tst_botseats_gui.moc"

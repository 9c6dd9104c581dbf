// A dropped connection in the middle of a deal over real loopback sockets: the host holds the seat,
// the cut copy gets back by itself and the deal is played to its end, every copy agreeing after
// every move; a stranger using a held seat's nick without its key is turned away.
#include "game/clientside.h"
#include "game/gameflow.h"
#include "game/hostadmission.h"
#include "game/protocol.h"
#include "hub/hubclient.h"
#include "hub/hubserver.h"
#include "support/rawpeer.h"
#include "support/tablecheck.h"
#include "support/tablefixture.h"
#include "ui/mainfrm.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTimer>

using Stress::RawPeer;
using Stress::TableCheck;

namespace {
TmainFrm *guestWhere(const QList<TmainFrm *> &copies, const TableCheck &check, bool toMove)
{
    for (TmainFrm *g : copies.mid(1))
        if ((check.mover() == g->st.myNick) == toMove)
            return g;
    return nullptr;
}

QStringList seatKeysOf(const TableFixture &fx, TmainFrm *w)
{
    QStringList keys;
    for (const Delivered &d : fx.clientReceived(w))
        if (d.tag() == Tag::SEATKEY)
            keys << d.value(1);
    return keys;
}
} // namespace

class TestRejoin : public QObject
{
    Q_OBJECT

private slots:
    void cutGuestsComeBackAndTheDealGoesOn()
    {
        TableFixture fx;
        TableCheck check;
        const QList<TmainFrm *> copies = fx.seatTable({"Ann", "Bob", "Cid", "Dan"});
        QCOMPARE(copies.size(), 4);
        TmainFrm *host = copies.first();
        // Each guest got one key of its own, and nobody else's.
        QStringList keys;
        for (TmainFrm *g : copies.mid(1)) {
            QCOMPARE(seatKeysOf(fx, g), QStringList{g->st.seatKey});
            QVERIFY(g->st.seatKey.size() >= 16);
            keys << g->st.seatKey;
        }
        keys.removeDuplicates();
        QCOMPARE(keys.size(), 3);

        host->CardEng1.seed(7);
        check.setCopies(copies);
        QVERIFY2(check.startDeal() && check.playMoves(3), qPrintable(check.problem()));

        // Cut on another's turn, then on its own turn; each time the copy gets back by itself.
        for (const bool ownTurn : {false, true}) {
            for (int i = 0; ownTurn && check.mover() == host->st.myNick && i < 4; ++i)
                QVERIFY2(check.playMove(), qPrintable(check.problem()));
            QVERIFY2(check.waitAgreement(5000), qPrintable(check.problem()));
            TmainFrm *victim = guestWhere(copies, check, ownTurn);
            QVERIFY(victim);
            const QString nick = victim->st.myNick;
            const int seat = host->roster.seatOfNick(nick);
            const QString oldKey = victim->st.seatKey;
            const int oldPort = victim->st.myPort;
            TmainFrm *other = guestWhere(copies, check, !ownTurn);
            fx.clearMessages();

            QElapsedTimer away;
            away.start();
            Stress::resetSocket(TableFixture::clientSocketOf(victim));
            QVERIFY(TableFixture::waitFor([&] { return host->roster.user(seat).away; }));
            QVERIFY(TableFixture::waitFor([&] {
                return !other->awayLabel(other->flow->screenSeat(seat))->isHidden();
            }));
            QVERIFY(victim->statusText().startsWith(QStringLiteral(" Reconnecting to 127.0.0.1 : ")));

            QVERIFY(TableFixture::waitFor([&] { return !host->roster.user(seat).away && !victim->clientSide->reconnecting(); }));
            QVERIFY(host->roster.user(seat).port != oldPort);
            QCOMPARE(host->roster.user(seat).port, victim->st.myPort);
            QVERIFY(victim->st.seatKey != oldKey); // a new key per seating
            QVERIFY2(check.waitAgreement(5000), qPrintable(check.problem()));
            qInfo("%s back and every copy agreeing %lld ms after the cut", qPrintable(nick), away.elapsed());
            QVERIFY(TableFixture::waitFor([&] {
                return other->awayLabel(other->flow->screenSeat(seat))->isHidden();
            }));
            QCOMPARE(check.mover(), ownTurn ? nick : check.mover());
            QVERIFY2(check.playMove(), qPrintable(check.problem()));
        }

        QVERIFY2(check.finishDeal(), qPrintable(check.problem()));
        QCOMPARE(check.creditSum(), 4000);
        QCOMPARE(host->roster.seatCount(), 4);
        for (TmainFrm *w : copies)
            QVERIFY2(fx.messagesOf(w).isEmpty(), qPrintable(fx.messageTextsOf(w).join('|')));
        // The next deal: a guest (not the one to lead it) is cut while the host deals; it gets its
        // hand when it is back and the deal starts on every copy.
        TmainFrm *victim = nullptr;
        for (TmainFrm *g : copies.mid(1))
            if (g->st.myNick != check.winner())
                victim = g;
        QVERIFY(victim);
        bool cutWhileDealing = false;
        QMetaObject::Connection firstCard;
        firstCard = connect(victim->gClient, &TwsHUBcli::OnDataArrived, this, [&](const QString &, int, const QString &tag) {
            if (tag != Tag::CARD)
                return;
            disconnect(firstCard);
            QTimer::singleShot(0, this, [&] {
                cutWhileDealing = host->flow->dealing();
                Stress::resetSocket(TableFixture::clientSocketOf(victim));
            });
        });
        QVERIFY2(check.startDeal(), qPrintable(check.problem()));
        QVERIFY(cutWhileDealing);
        QVERIFY2(check.playMoves(2), qPrintable(check.problem()));
        QCOMPARE(host->roster.seatCount(), 4);
    }

    void wrongKeyIsTurnedAway()
    {
        TableFixture fx;
        TableCheck check;
        const QList<TmainFrm *> copies = fx.seatTable({"Ann", "Bob", "Cid"});
        QCOMPARE(copies.size(), 3);
        TmainFrm *host = copies.first();
        TmainFrm *bob = copies.at(1);
        host->CardEng1.seed(7);
        check.setCopies(copies);
        QVERIFY2(check.startDeal() && check.playMoves(1), qPrintable(check.problem()));

        // Bob's player gives up on the table while his copy tries to get back; a stranger claims his
        // seat with keys that are not his.
        const int seat = host->roster.seatOfNick("Bob");
        const QString bobKey = bob->st.seatKey;
        Stress::resetSocket(TableFixture::clientSocketOf(bob));
        QVERIFY(TableFixture::waitFor([&] { return host->roster.user(seat).away; }));
        QVERIFY(bob->clientSide->reconnecting());
        bob->mnuDisconn->trigger();
        QVERIFY(!bob->clientSide->reconnecting());
        QVERIFY(!bob->st.gameOn);
        QVERIFY(bob->mnuSetting->isEnabled());

        for (const QString &key : {QStringLiteral("0123456789abcdef0123456789abcdef"), QString(), bobKey.toUpper()}) {
            RawPeer stranger;
            stranger.onMessage = [&](const HubMessage &m) {
                if (m.Protocol == Tag::REQVER)
                    stranger.send(Tag::CHKVER, kVersionText);
                else if (m.Protocol == Tag::REQINFO)
                    stranger.send(Tag::REJOIN, QStringLiteral("Bob"), key);
            };
            QVERIFY(stranger.connectTo(fx.hostPort()));
            QVERIFY(stranger.waitTag(Tag::CHNICK));
            QVERIFY(TableFixture::waitFor([&] { return stranger.closed(); }));
            QCOMPARE(stranger.count(Tag::CARD) + stranger.count(Tag::TABLE) + stranger.count(Tag::SEATKEY), 0);
        }
        // Nothing changed: the seat is still held for Bob, and the deal goes on.
        QVERIFY(host->admission->heldSeats().isHeld(seat));
        QVERIFY(host->roster.user(seat).away);
        QCOMPARE(host->roster.seatCount(), 3);
        QVERIFY(host->st.gameOn);
        QVERIFY(!bob->gClient->Active());

        // Cid is cut too and comes back while Bob is still away: his copy shows Bob away.
        TmainFrm *cid = copies.at(2);
        Stress::resetSocket(TableFixture::clientSocketOf(cid));
        QVERIFY(TableFixture::waitFor([&] { return host->roster.user(host->roster.seatOfNick("Cid")).away; }));
        QVERIFY(TableFixture::waitFor([&] { return !cid->clientSide->reconnecting() && cid->st.gameOn; }));
        QVERIFY(TableFixture::waitFor([&] { return !cid->awayLabel(cid->flow->screenSeat(seat))->isHidden(); }));
        QVERIFY(host->roster.user(seat).away);
    }
};

QTEST_MAIN(TestRejoin)
#include "tst_rejoin_gui.moc"

// Strangers at the host's port while a deal runs: a bare TCP peer that sends garbage, half a frame,
// a mebibyte without a frame end, or nothing at all, and a burst of two hundred connection attempts
// against a full table. The seated players notice none of it and play on, checked after every move.
#include "game/protocol.h"
#include "hub/hubclient.h"
#include "hub/hubserver.h"
#include "support/rawpeer.h"
#include "support/tablecheck.h"
#include "support/tablefixture.h"
#include "ui/mainfrm.h"

#include <QAction>
#include <QRandomGenerator>
#include <QSet>
#include <QTcpSocket>
#include <QTest>
#include <memory>
#include <vector>

using Stress::RawPeer;
using Stress::TableCheck;

namespace {

// What the seated guests may hear while a deal goes on undisturbed.
const QSet<QString> kGameTags{Tag::THROW, Tag::WHOSETURN, Tag::GAMEOVER, Tag::CREDIT, Tag::iSTART, Tag::CARD,
                              Tag::NEWGAME};

QString strayTraffic(const TableFixture &fx, const QList<TmainFrm *> &copies)
{
    for (TmainFrm *w : copies) {
        for (const Delivered &d : fx.clientReceived(w))
            if (!kGameTags.contains(d.tag()))
                return w->st.myNick + QStringLiteral(" was told ") + d.tag();
        if (!fx.messagesOf(w).isEmpty())
            return w->st.myNick + QStringLiteral(" was shown ") + fx.messageTextsOf(w).join(QLatin1Char('|'));
    }
    return {};
}

} // namespace

class TestRawPeers : public QObject
{
    Q_OBJECT

    TableFixture fx;
    TableCheck check;
    QList<TmainFrm *> copies;
    TmainFrm *host = nullptr;

private slots:
    void initTestCase()
    {
        // Three players, so the hub has a connection left for a stranger.
        copies = fx.seatTable({"Ann", "Bob", "Cid"});
        QCOMPARE(copies.size(), 3);
        host = copies.first();
        host->CardEng1.seed(424242);
        check.setCopies(copies);
        QVERIFY2(check.startDeal(), qPrintable(check.problem()));
    }

    void strangerGoesUnnoticed_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray garbage("GET / HTTP/1.1\r\nHost: quadrix\r\n\r\n");
        QRandomGenerator rng(7);
        for (int i = 0; i < 8192; ++i)
            garbage.append(char(rng.bounded(256)));
        const QByteArray frame = BuildFrame(Tag::THROW, "0", "Bob", "1", "11#", {}, {}, false, 0);
        QByteArray endless("\x01\x02[CHAT]\x02\x04");
        endless.append(QByteArray(1024 * 1024, 'x'));
        QTest::newRow("garbage") << garbage;
        QTest::newRow("half a frame") << frame.left(frame.size() / 2);
        QTest::newRow("a mebibyte without a frame end") << endless;
        QTest::newRow("nothing at all") << QByteArray();
    }

    void strangerGoesUnnoticed()
    {
        QFETCH(QByteArray, bytes);
        fx.clearTraffic();
        fx.clearMessages();
        Stress::LoopWatch watch;
        RawPeer stranger;
        QVERIFY(stranger.connectTo(fx.hostPort()));
        QVERIFY(TableFixture::waitFor([&] { return host->gHost->ClientCount() == 3; }));
        if (!bytes.isEmpty())
            stranger.write(bytes);
        QVERIFY2(check.playMoves(5), qPrintable(check.problem()));
        stranger.close();
        QVERIFY(TableFixture::waitFor([&] { return host->gHost->ClientCount() == 2; }));
        QVERIFY2(check.playMoves(2), qPrintable(check.problem()));

        QVERIFY2(strayTraffic(fx, copies).isEmpty(), qPrintable(strayTraffic(fx, copies)));
        QCOMPARE(host->roster.seatCount(), 3);
        QVERIFY(check.waitAgreement(1000));
        // The stranger was told a deal runs, and never got a seat.
        QVERIFY(!stranger.got.isEmpty());
        QCOMPARE(stranger.got.first().Protocol, Tag::ONGAME);
        for (const HubMessage &m : stranger.got)
            QVERIFY(m.Protocol != Tag::REQINFO && m.Protocol != Tag::USER);
        qInfo("longest pause of the event loop %lld ms, slowest move %lld ms", watch.longestGapMs(),
              check.slowestMoveMs());
        QVERIFY(watch.longestGapMs() < 1000);
    }

    void burstOfConnectionsAgainstFullTable()
    {
        // A fourth player fills the table.
        TmainFrm *dan = nullptr;
        if (check.inDeal() && !check.dealOver())
            QVERIFY2(check.stopDeal(), qPrintable(check.problem()));
        dan = fx.join("Dan");
        QVERIFY(dan);
        dan->BeepOnTurn1->setChecked(false);
        copies << dan;
        check.setCopies(copies);
        QVERIFY(host->roster.isFull());
        QVERIFY2(check.startDeal(), qPrintable(check.problem()));
        QVERIFY2(check.playMoves(2), qPrintable(check.problem()));
        fx.clearTraffic();
        fx.clearMessages();

        Stress::LoopWatch watch;
        int rejected = 0;
        const QMetaObject::Connection counting =
            connect(host->gHost, &TwsHUBsvr::OnClientReject, this, [&rejected] { ++rejected; });
        // Each attempt speaks first once connected: one that the system let through without the host
        // ever seeing it (its accept queue overflowed) learns so from the reset that answers.
        std::vector<std::unique_ptr<RawPeer>> burst;
        for (int i = 0; i < 200; ++i) {
            burst.push_back(std::make_unique<RawPeer>());
            RawPeer *p = burst.back().get();
            QObject::connect(p->socket(), &QTcpSocket::connected, p, [p] { p->send(Tag::CHKVER, kVersionText); });
            p->startConnect(fx.hostPort());
        }
        // The guests play on while the attempts are turned away.
        QVERIFY2(check.playMoves(6), qPrintable(check.problem()));
        QVERIFY(TableFixture::waitFor([&] {
            for (const auto &p : burst)
                if (!p->closed())
                    return false;
            return true;
        }, 20000));
        disconnect(counting);
        for (const auto &p : burst)
            for (const HubMessage &m : p->got)
                QCOMPARE(m.Protocol, Tag::FULL);
        qInfo("%d of 200 attempts turned away by the host, the rest by the system; longest pause of the event loop "
              "%lld ms",
              rejected, watch.longestGapMs());
        QVERIFY(rejected > 0 && rejected <= 200);
        QCOMPARE(host->gHost->ClientCount(), 3);
        QCOMPARE(host->roster.seatCount(), 4);
        QVERIFY2(strayTraffic(fx, copies).isEmpty(), qPrintable(strayTraffic(fx, copies)));

        // The deal goes on to its end, and the winner deals the next one.
        if (!check.dealOver())
            QVERIFY2(check.finishDeal(), qPrintable(check.problem()));
        QCOMPARE(check.creditSum(), 4000);
        QVERIFY2(check.startDeal(), qPrintable(check.problem()));
        QVERIFY2(check.playMoves(4), qPrintable(check.problem()));
        QVERIFY(watch.longestGapMs() < 1000);
    }
};

QTEST_MAIN(TestRawPeers)
#include "tst_rawpeers_gui.moc"

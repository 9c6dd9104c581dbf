// Faults at a table host: claims only the rules forbid, chat floods, guests that fall silent or stop
// reading, strangers at the port, connections cut in a deal. The honest players never notice more
// than the game says they should, and play on.
#include "client/clienttable.h"
#include "game/protocol.h"
#include "host/tablehost.h"
#include "hub/hubclient.h"
#include "hub/hubserver.h"
#include "hub/wire.h"
#include "net/hubdialer.h"
#include "net/hublistener.h"
#include "net/localpipe.h"
#include "support/localtable.h"
#include "support/scriptedguest.h"
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>
#include <memory>
#include <sys/socket.h>
#include <vector>

using namespace Stress;

namespace {

// What a player hears besides the play itself.
QStringList news(const QList<HubMessage> &got, qsizetype from = 0)
{
    static const QStringList play{Tag::THROW,    Tag::WHOSETURN, Tag::GAMEOVER,  Tag::CREDIT,  Tag::iSTART, Tag::CARD,
                                  Tag::NEWGAME,  Tag::CHAT,      Tag::DEALHASH, Tag::DEALSEEDS, Tag::DEALKEY};
    QStringList out;
    for (qsizetype i = from; i < got.size(); ++i)
        if (!play.contains(got.at(i).Protocol))
            out << got.at(i).Protocol;
    return out;
}

// An ownerless table over TCP. Guests either follow it raw (ScriptedGuest) or as client models over
// HubDialer that play the weakest single while autoPlay is on.
struct TcpTable
{
    LocalTable t{{}};
    HubListener listener;
    std::vector<std::unique_ptr<ScriptedGuest>> guests;
    bool autoPlay = false;

    TcpTable()
    {
        QObject::connect(&listener, &HubListener::newConnection, &t.host, &TableHost::addConnection);
        t.host.setFirstDealDelayMs(20);
        t.host.setNextDealDelayMs(50);
    }
    TableHost &host() { return t.host; }
    ScriptedGuest &guest(const QString &nick)
    {
        guests.push_back(std::make_unique<ScriptedGuest>(nick));
        if (!guests.back()->join(listener.port()))
            qWarning("%s could not connect", qPrintable(nick));
        return *guests.back();
    }
    ClientTable *player(const QString &nick)
    {
        auto *dialer = new HubDialer(QStringLiteral("127.0.0.1"), listener.port());
        t.players.push_back(std::make_unique<ClientTable>(dialer, nick));
        ClientTable *p = t.players.back().get();
        dialer->setParent(p);
        QObject::connect(p, &ClientTable::turnChanged, p, [this, p](int seat) {
            if (autoPlay && seat == p->mySeat())
                QTimer::singleShot(0, p, [p] {
                    const QStringList pick = weakestSingle(*p);
                    if (p->myTurn() && (pick.isEmpty() || !p->play(pick)))
                        p->pass();
                });
        });
        QObject::connect(p, &ClientTable::dealEnded, p, [this, p](int winner) {
            if (autoPlay && winner == p->mySeat())
                QTimer::singleShot(ClientTable::kEndPauseMs + 20, p, [p] { p->nextDeal(); });
        });
        p->start();
        return p;
    }
};


QStringList suitFrom3(int suit, const QStringList &extra)
{
    QStringList cards;
    for (int rank = 3; rank <= 13; ++rank)
        cards << QStringLiteral("%1%2").arg(suit).arg(rank);
    return cards + extra;
}

QTcpSocket *socketOf(ClientTable *p)
{
    return static_cast<HubDialer *>(p->connection())->hub()->findChild<QTcpSocket *>();
}

} // namespace

class TstTableFaults : public QObject
{
    Q_OBJECT

private slots:
    void unpacedCopiesAndAPacedOneShareATable()
    {
        TcpTable tt;
        QVERIFY(tt.listener.listen(0));
        tt.autoPlay = true;
        QElapsedTimer clock;
        clock.start();
        // A copy that sends no features, beside three that send at once.
        ScriptedGuest &old = tt.guest(QStringLiteral("Old"));
        QList<qint64> oldCards;
        old.peer.onMessage = [&, base = old.peer.onMessage](const HubMessage &m) {
            if (m.Protocol == Tag::CARD || m.Protocol == Tag::NEWGAME)
                oldCards << clock.elapsed();
            base(m);
        };
        QList<qint64> annCards;
        QStringList disagreements;
        int checks = 0;
        for (const char *nick : {"Ann", "Bob", "Cy"}) {
            ClientTable *p = tt.player(QString::fromLatin1(nick));
            if (tt.t.players.size() == 1)
                connect(p->connection(), &Connection::message, this, [&](const HubMessage &m) {
                    if (m.Protocol == Tag::CARD || m.Protocol == Tag::NEWGAME)
                        annCards << clock.elapsed();
                });
            // Once every copy has applied the host's last move and shows its turn, they must agree with it.
            const auto check = [&] {
                const TTable &truth = tt.host().table();
                for (const auto &q : tt.t.players)
                    if (q->table().moves().size() != truth.moves().size() || q->turnSeat() != truth.toMove())
                        return;
                ++checks;
                if (const QString d = tt.t.disagreement(); !d.isEmpty())
                    disagreements << d;
            };
            connect(p, &ClientTable::moved, this, check);
            connect(p, &ClientTable::turnChanged, this, check);
        }
        QTRY_VERIFY_WITH_TIMEOUT(tt.host().dealsStarted() >= 2, 60000);
        QCOMPARE(disagreements, QStringList());
        QVERIFY2(checks >= 20, qPrintable(QString::number(checks)));
        // A deal's thirteen cards and its start: at once for the unpaced copy, one every 25 ms for the other.
        QVERIFY(annCards.size() >= 14 && oldCards.size() >= 14);
        QVERIFY2(annCards.at(13) - annCards.at(0) < 100, qPrintable(QString::number(annCards.at(13) - annCards.at(0))));
        QVERIFY2(oldCards.at(13) - oldCards.at(0) >= 250, qPrintable(QString::number(oldCards.at(13) - oldCards.at(0))));
        for (const auto &p : tt.t.players)
            QVERIFY(static_cast<HubDialer *>(p->connection())->hub()->unpaced());
    }

    void weakOrIllegalMovesAndStrangersClaimsAreRefused()
    {
        TableHost host;
        host.setTurnDeadlineMs(60000);
        QSignalSpy refusals(&host, &TableHost::refused);
        // Seats fill 3, 2, 4, 1; seat 3 holds the Diamond 3 and leads.
        std::array<LocalConnection *, 5> seat{};
        std::array<QList<HubMessage>, 5> heard;
        for (int s : {3, 2, 4, 1}) {
            auto [hostEnd, playerEnd] = LocalConnection::createPair(&host, this);
            seat[size_t(s)] = playerEnd;
            connect(playerEnd, &Connection::message, this, [&heard, s](const HubMessage &m) { heard[size_t(s)] << m; });
            host.addConnection(hostEnd);
            playerEnd->send(Tag::REQJOIN, QStringLiteral("S%1").arg(s));
        }
        QTRY_COMPARE(host.seatedCount(), 4);
        host.setNextDeck(stackedDeck({QStringList(), suitFrom3(2, {"35", "22"}), suitFrom3(1, {"37", "38"}),
                                      suitFrom3(4, {"33", "34"}),
                                      {"11", "12", "21", "31", "32", "36", "39", "310", "311", "312", "313", "41", "42"}}));
        QVERIFY(host.deal());
        QCOMPARE(host.table().toMove(), 3);
        auto [strangerHostEnd, stranger] = LocalConnection::createPair(&host, this);
        QList<HubMessage> strangerHeard;
        connect(stranger, &Connection::message, this, [&](const HubMessage &m) { strangerHeard << m; });
        host.addConnection(strangerHostEnd);

        seat[3]->send(Tag::THROW, "0", "S3", "1", "43#");
        seat[4]->send(Tag::THROW, "0", "S4", "1", "36#");
        seat[1]->send(Tag::THROW, "0", "S1", "1", "35#");       // does not beat the Club 6
        seat[1]->send(Tag::THROW, "0", "S1", "2", "24#25#");    // a pair of two ranks
        seat[1]->send(Tag::SMALLESTCARD, "1");                  // decides nothing, refused nothing
        stranger->send(Tag::THROW, "0", "S1", "1", "27#");      // a bare connection has no say
        stranger->send(Tag::GAMEOVER, "0", "S1");
        seat[1]->send(Tag::THROW, "0", "S1", "1", "27#");
        seat[1]->send(Tag::CHAT, "S1", "sentinel");
        QTRY_VERIFY(!heard[2].isEmpty() && heard[2].last().Protocol == Tag::CHAT);
        QCOMPARE(refusals.count(), 2);
        QVERIFY(refusals.at(0).at(0).toString().endsWith(QLatin1String("does not beat the table")));
        QVERIFY(refusals.at(1).at(0).toString().endsWith(QLatin1String("not a combination the rules allow")));
        int throws = 0;
        for (const HubMessage &m : heard[2])
            throws += m.Protocol == Tag::THROW ? 1 : 0;
        QCOMPARE(throws, 3);
        QCOMPARE(host.table().cardCount(1), 12);
        QCOMPARE(host.table().toMove(), 2);
        QCOMPARE(host.phase(), TableHost::Phase::Playing);
        // The stranger was told the table is full and never got a seat.
        QCOMPARE(strangerHeard.first().Protocol, Tag::FULL);
        QVERIFY(!news(strangerHeard).contains(Tag::USER) && !news(strangerHeard).contains(Tag::SEATKEY));
    }

    // A move that crossed the host's pass is refused; a copy that announced it can take the deal's state
    // again gets it, as a rejoin does; a copy that did not hears nothing more.
    void aRefusedMoveBringsTheDealBackToACopyThatAsked()
    {
        TableHost host;
        host.setTurnDeadlineMs(60000);
        std::array<LocalConnection *, 5> seat{};
        std::array<LocalConnection *, 5> hostEnd{};
        std::array<QList<HubMessage>, 5> heard;
        for (int s : {3, 2, 4, 1}) {
            auto [h, p] = LocalConnection::createPair(&host, this);
            seat[size_t(s)] = p;
            hostEnd[size_t(s)] = h;
            connect(p, &Connection::message, this, [&heard, s](const HubMessage &m) { heard[size_t(s)] << m; });
            host.addConnection(h);
            // The even seats can take the deal's state again.
            if (s % 2 == 0)
                p->send(Tag::CAPS, QStringLiteral("resync#"));
            p->send(Tag::REQJOIN, QStringLiteral("S%1").arg(s));
        }
        QTRY_COMPARE(host.seatedCount(), 4);
        QVERIFY(host.deal());
        const int toMove = host.table().toMove();
        const int asked = toMove == 2 ? 4 : 2;
        const int silent = toMove == 1 ? 3 : 1;
        QSignalSpy refusals(&host, &TableHost::refused);
        QTRY_VERIFY(!heard[size_t(asked)].isEmpty() && heard[size_t(asked)].last().Protocol == Tag::WHOSETURN);
        const qsizetype from = heard[size_t(asked)].size();
        for (int s : {asked, silent})
            seat[size_t(s)]->send(Tag::THROW, "0", QStringLiteral("S%1").arg(s), "1", host.table().hand(s).first() + "#");
        QTRY_COMPARE(refusals.count(), 2);
        const QStringList hand = host.table().hand(asked);
        QTRY_COMPARE(heard[size_t(asked)].size(), from + hand.size() + 2);
        QCOMPARE(heard[size_t(asked)].at(from).value[3], hand.first());
        QCOMPARE(heard[size_t(asked)].at(from + hand.size()).Protocol, Tag::TABLE);
        QCOMPARE(heard[size_t(asked)].last().Protocol, Tag::WHOSETURN);
        QCOMPARE(heard[size_t(asked)].last().value[1], QStringLiteral("S%1").arg(toMove));
        QCOMPARE(news(heard[size_t(silent)]).count(Tag::TABLE), 0);
        QCOMPARE(host.table().toMove(), toMove);

        // The resend may have undone a move the copy made before it came: its next move comes back to it.
        const auto ownMoves = [&heard](int s) {
            return std::count_if(heard[size_t(s)].begin(), heard[size_t(s)].end(), [s](const HubMessage &m) {
                return m.Protocol == Tag::THROW && m.value[1] == QStringLiteral("S%1").arg(s);
            });
        };
        for (int s = toMove;; s = host.table().toMove()) {
            seat[size_t(s)]->send(Tag::THROW, "0", QStringLiteral("S%1").arg(s), "0", "");
            QTRY_VERIFY(host.table().toMove() != s);
            if (s == asked)
                break;
        }
        QTRY_COMPARE(ownMoves(asked), 1);
        QCOMPARE(ownMoves(toMove), 0);
    }

    void aChatFloodIsCutAtTheLimitAndTheTablePlaysOn()
    {
        TcpTable tt;
        QVERIFY(tt.listener.listen(0));
        tt.listener.hub()->setChatLimit(10, 60000);
        QSignalSpy refusals(&tt.host(), &TableHost::refused);
        for (const char *nick : {"Ann", "Bob", "Cid", "Dan"})
            tt.guest(QString::fromLatin1(nick));
        QTRY_COMPARE(tt.host().phase(), TableHost::Phase::Playing);
        ScriptedGuest &dan = *tt.guests.back();
        QByteArray burst;
        QStringList allowed;
        for (int n = 1; n <= 300; ++n) {
            burst += BuildFrame(Tag::CHAT, "Dan", QStringLiteral("flood %1").arg(n), {}, {}, {}, {}, false, 0);
            if (n <= 10)
                allowed << QStringLiteral("flood %1").arg(n);
        }
        LoopWatch watch;
        const int movesBefore = tt.guests.front()->peer.count(Tag::THROW);
        dan.peer.write(burst);

        QVERIFY(dan.peer.waitTag(Tag::SYSTEM));
        const auto linesOf = [](const ScriptedGuest &g) {
            QStringList lines;
            for (const HubMessage &m : g.peer.got)
                if (m.Protocol == Tag::CHAT)
                    lines << m.value[1];
            return lines;
        };
        for (const auto &g : tt.guests)
            QTRY_COMPARE(linesOf(*g), g.get() == &dan ? QStringList() : allowed);
        // Play goes on, and no line beyond the limit follows.
        QTRY_VERIFY(tt.guests.front()->peer.count(Tag::THROW) > movesBefore + 20);
        QCOMPARE(linesOf(*tt.guests.front()), allowed);
        QCOMPARE(dan.peer.count(Tag::SYSTEM), 1);
        QCOMPARE(tt.host().seatedCount(), 4);
        // Only a hand won as dealt may end a deal before the leader hears of it.
        QVERIFY2(refusals.count() <= tt.t.dealtWins(), qPrintable(refusals.value(0).value(0).toString()));
        QVERIFY2(watch.longestGapMs() < 1000, qPrintable(QString::number(watch.longestGapMs())));
    }

    // A guest whose program stops answering (and reading) is dropped by the ping; the others play on.
    void aSilentGuestLeavesAndTheOthersPlayOnPromptly()
    {
        TcpTable tt;
        QVERIFY(tt.listener.listen(0));
        tt.host().setTurnDeadlineMs(500);
        tt.host().setHoldMs(300);
        for (const char *nick : {"Ann", "Bob", "Cid"})
            tt.guest(QString::fromLatin1(nick));
        RawPeer rex;
        rex.joinAs(QStringLiteral("Rex"));
        QVERIFY(rex.connectTo(tt.listener.port()));
        QTRY_COMPARE(tt.host().phase(), TableHost::Phase::Playing);
        rex.setAnswerPings(false);
        rex.stopReading();
        ScriptedGuest &bob = *tt.guests[1];
        QTRY_COMPARE(bob.peer.count(Tag::NEWGAME), 1);
        const qsizetype from = bob.peer.got.size();
        QElapsedTimer clock;
        clock.start();
        qint64 lastMove = 0;
        qint64 longestBetweenMoves = 0;
        const auto inner = bob.peer.onMessage;
        bob.peer.onMessage = [&](const HubMessage &m) {
            inner(m);
            if (m.Protocol != Tag::THROW)
                return;
            longestBetweenMoves = std::max(longestBetweenMoves, clock.elapsed() - lastMove);
            lastMove = clock.elapsed();
        };
        LoopWatch watch;
        tt.host().setPingWaitMs(1000);
        tt.host().pingPlayers();
        QTRY_VERIFY_WITH_TIMEOUT(!TuserInfo::validSeat(tt.host().roster().seatOfNick("Rex")), 30000);
        qInfo("Rex left after %lld ms; longest wait between moves %lld ms, longest pause of the loop %lld ms",
              clock.elapsed(), longestBetweenMoves, watch.longestGapMs());

        // Dropped by the ping, the player leaves at once: its seat is not held.
        QTRY_COMPARE(news(bob.peer.got, from), QStringList({Tag::PING, Tag::USER, Tag::WAITMODE}));
        const HubMessage quit = *std::find_if(bob.peer.got.begin(), bob.peer.got.end(), [](const HubMessage &m) {
            return m.Protocol == Tag::USER && m.value[0] == Tag::QUIT;
        });
        QCOMPARE(quit.value[1], QStringLiteral("Rex"));
        QCOMPARE(tt.host().seatedCount(), 3);

        const int started = tt.host().dealsStarted();
        QTRY_VERIFY_WITH_TIMEOUT(tt.host().dealsStarted() >= started + 2, 20000);
        QVERIFY(longestBetweenMoves < 2000);
        QVERIFY(watch.longestGapMs() < 1000);
    }

    void strangersAtAFullTableGoUnnoticed()
    {
        TcpTable tt;
        QVERIFY(tt.listener.listen(0));
        tt.listener.hub()->setSeatTimeoutMs(300);
        for (const char *nick : {"Ann", "Bob", "Cid", "Dan"})
            tt.guest(QString::fromLatin1(nick));
        for (const auto &g : tt.guests)
            QTRY_COMPARE(g->peer.count(Tag::NEWGAME), 1);
        std::vector<qsizetype> from;
        for (const auto &g : tt.guests)
            from.push_back(g->peer.got.size());
        const int movesBefore = tt.guests.front()->peer.count(Tag::THROW);

        QByteArray garbage("GET / HTTP/1.1\r\nHost: quadrix\r\n\r\n");
        QRandomGenerator rng(7);
        for (int i = 0; i < 8192; ++i)
            garbage.append(char(rng.bounded(256)));
        const QByteArray frame = BuildFrame(Tag::THROW, "0", "Bob", "1", "11#", {}, {}, false, 0);
        QByteArray endless("\x01\x02[CHAT]\x02\x04");
        endless.append(QByteArray(1024 * 1024, 'x'));
        const QList<QByteArray> sends{garbage, frame.left(frame.size() / 2), endless, QByteArray()};
        LoopWatch watch;
        std::vector<std::unique_ptr<RawPeer>> strangers;
        for (int i = 0; i < 40; ++i) {
            strangers.push_back(std::make_unique<RawPeer>());
            RawPeer *p = strangers.back().get();
            const QByteArray bytes = i < sends.size() ? sends.at(i) : BuildFrame(Tag::CHKVER, kVersionText, {}, {}, {}, {}, {}, false, 0);
            connect(p->socket(), &QTcpSocket::connected, p, [p, bytes] {
                if (!bytes.isEmpty())
                    p->write(bytes);
            });
            p->startConnect(tt.listener.port());
        }
        // Each is told the table is full and closed once its time to sit down is over.
        QVERIFY(waitUntil([&] {
            return std::all_of(strangers.begin(), strangers.end(), [](const auto &p) { return p->closed(); });
        }, 10000));
        // Told the table is full; never offered a seat nor dealt a card.
        for (const auto &p : strangers) {
            QVERIFY(!p->got.isEmpty());
            QCOMPARE(p->got.first().Protocol, Tag::FULL);
            QCOMPARE(p->count(Tag::REQINFO) + p->count(Tag::SEATKEY) + p->count(Tag::CARD), 0);
        }
        QTRY_VERIFY(tt.guests.front()->peer.count(Tag::THROW) > movesBefore + 10);
        QCOMPARE(tt.host().seatedCount(), 4);
        for (size_t i = 0; i < tt.guests.size(); ++i)
            QCOMPARE(news(tt.guests[i]->peer.got, from[i]), QStringList());
        QVERIFY2(watch.longestGapMs() < 1000, qPrintable(QString::number(watch.longestGapMs())));
    }

    // A copy cut between deals asks once for its seat: a host that dealt the next deal meanwhile holds it
    // and the copy plays on; a host that let it go ends the copy's table as the loss did, without a refusal.
    void aCopyCutBetweenDealsAsksOnceForItsSeat()
    {
        TcpTable tt;
        QVERIFY(tt.listener.listen(0));
        std::vector<ClientTable *> players;
        for (const char *nick : {"Ann", "Bob", "Cid", "Dan"})
            players.push_back(tt.player(QString::fromLatin1(nick)));
        QTRY_VERIFY(std::all_of(players.begin(), players.end(), [](ClientTable *p) { return p->inDeal(); }));
        ClientTable *ann = players[0];
        QSignalSpy lost(ann, &ClientTable::connectionLost);
        QSignalSpy back(ann, &ClientTable::reconnected);
        QSignalSpy refused(ann, &ClientTable::refused);
        QSignalSpy gone(ann, &ClientTable::disconnected);
        // The cut comes as the next deal is dealt: Ann's copy never hears of it.
        tt.host().stopDeal();
        QTRY_VERIFY(!ann->inDeal());
        QMetaObject::Connection cut;
        cut = connect(&tt.host(), &TableHost::phaseChanged, this, [&](TableHost::Phase p) {
            if (p == TableHost::Phase::Playing) {
                disconnect(cut);
                resetSocket(socketOf(ann));
            }
        });
        QTRY_COMPARE(lost.count(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(back.count(), 1, 5000);
        QTRY_VERIFY(ann->inDeal());
        QTRY_COMPARE(tt.t.disagreement(), QString());

        // Cut while no deal runs: the host lets the seat go and the one try ends quietly.
        tt.host().setFirstDealDelayMs(60000);
        tt.host().setNextDealDelayMs(60000);
        tt.host().stopDeal();
        QTRY_VERIFY(!ann->inDeal());
        resetSocket(socketOf(ann));
        QTRY_COMPARE(lost.count(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(gone.count(), 1, 5000);
        QVERIFY(gone.at(0).at(0).toString().startsWith(QLatin1String(" Disconnected from ")));
        QVERIFY2(refused.isEmpty(), qPrintable(refused.value(0).value(0).toString()));
        QVERIFY(!ann->reconnecting());
    }

    void aCutPlayerComesBackByItselfAndAHoldThatRunsOutEndsTheDeal()
    {
        TcpTable tt;
        QVERIFY(tt.listener.listen(0));
        tt.host().setHoldMs(10000);
        std::vector<ClientTable *> players;
        std::vector<std::shared_ptr<QList<HubMessage>>> heard;
        for (const char *nick : {"Ann", "Bob", "Cid", "Dan"}) {
            players.push_back(tt.player(QString::fromLatin1(nick)));
            heard.push_back(std::make_shared<QList<HubMessage>>());
            connect(players.back()->connection(), &Connection::message, this,
                    [got = heard.back()](const HubMessage &m) { *got << m; });
        }
        QTRY_VERIFY(std::all_of(players.begin(), players.end(), [](ClientTable *p) { return p->inDeal(); }));
        // One key per player, nobody else's.
        QSet<QString> keys;
        for (ClientTable *p : players) {
            QVERIFY(p->seatKey().size() >= 16);
            keys.insert(p->seatKey());
        }
        QCOMPARE(keys.size(), 4);

        // Cut on another's turn, then on its own: each copy gets back by itself and agrees with the host.
        for (const bool ownTurn : {false, true}) {
            const int toMove = tt.host().table().toMove();
            ClientTable *victim = *std::find_if(players.begin(), players.end(),
                                                [&](ClientTable *p) { return (p->mySeat() == toMove) == ownTurn; });
            ClientTable *other = *std::find_if(players.begin(), players.end(), [&](ClientTable *p) { return p != victim; });
            const int seat = victim->mySeat();
            const QString oldKey = victim->seatKey();
            const int oldPort = tt.host().roster().user(seat).port;
            QSignalSpy lost(victim, &ClientTable::connectionLost);
            QSignalSpy back(victim, &ClientTable::reconnected);
            resetSocket(socketOf(victim));
            QTRY_VERIFY(other->away(seat));
            QVERIFY(tt.host().roster().user(seat).away);
            QCOMPARE(lost.count(), 1);
            QVERIFY(victim->reconnecting());
            QTRY_COMPARE_WITH_TIMEOUT(back.count(), 1, 10000);
            QVERIFY(!tt.host().roster().user(seat).away);
            QVERIFY(tt.host().roster().user(seat).port != oldPort);
            QVERIFY(victim->seatKey() != oldKey);
            QTRY_VERIFY(!other->away(seat));
            QTRY_COMPARE(tt.t.disagreement(), QString());
            QCOMPARE(tt.host().phase(), TableHost::Phase::Playing);
        }

        // Bob gives up while his seat is held; keys that are not his do not take it.
        ClientTable *bob = players[1];
        const int seat = bob->mySeat();
        const QString key = bob->seatKey();
        const int bobPort = tt.host().roster().user(seat).port;
        const qsizetype from = heard[0]->size();
        tt.host().setHoldMs(500);
        bob->leave();
        QTRY_VERIFY(tt.host().roster().user(seat).away);
        for (const QString &wrong : {QString(), key.toUpper(), QString(key).replace(0, 1, key.at(0) == '0' ? "1" : "0")}) {
            RawPeer stranger;
            stranger.onMessage = [&](const HubMessage &m) {
                if (m.Protocol == Tag::REQINFO)
                    stranger.send(Tag::REJOIN, QStringLiteral("Bob"), wrong);
            };
            QVERIFY(stranger.connectTo(tt.listener.port()));
            QVERIFY(stranger.waitTag(Tag::CHNICK));
            QTRY_VERIFY(stranger.closed());
            QCOMPARE(stranger.count(Tag::CARD) + stranger.count(Tag::TABLE) + stranger.count(Tag::SEATKEY), 0);
        }
        // The hold runs out: Bob leaves, the deal is called off and nobody scores.
        QTRY_COMPARE(tt.host().seatedCount(), 3);
        QTRY_COMPARE(news(*heard[0], from), (QStringList{Tag::AWAY, Tag::USER, Tag::WAITMODE}));
        const HubMessage quit = *std::find_if(heard[0]->begin() + from, heard[0]->end(),
                                              [](const HubMessage &m) { return m.Protocol == Tag::USER; });
        QCOMPARE(quit.value[0], Tag::QUIT);
        QCOMPARE(quit.value[1], QStringLiteral("Bob"));
        QCOMPARE(quit.value[3], QString::number(bobPort));
        int total = 0;
        for (int s = 1; s <= 4; ++s)
            total += tt.host().roster().user(s).credit;
        QCOMPARE(total, 3000);
        for (ClientTable *p : {players[0], players[2], players[3]})
            QTRY_COMPARE(p->roster().seatCount(), 3);

        // The three left play a whole deal.
        QSignalSpy won(players[0], &ClientTable::dealEnded);
        tt.autoPlay = true;
        QTRY_VERIFY_WITH_TIMEOUT(won.count() >= 1, 30000);
        QCOMPARE(tt.host().seatedCount(), 3);
    }
};

QTEST_GUILESS_MAIN(TstTableFaults)
#include "tst_tablefaults.moc"

// Chat floods at a full table: a guest program that sends a thousand chat lines in one burst, without
// the spacing of the player's send pump, and a player who types lines as fast as the keyboard goes
// while a deal runs. Every other copy logs every line, in order, and the table stays responsive.
//
// A player's copy sends at most one message every 100 ms, so a thousand typed lines would take
// 100 s to leave it; typed lines are therefore capped here, and the thousand arrive in one burst.
// The host relays at most one message every 25 ms or more per connection: a thousand lines take
// 25 s to reach a guest, so the burst is heard by the host and one guest. The host's limit on the
// lines of one sender is lifted here: what is tested is the relay of every line, in order.
#include "game/protocol.h"
#include "hub/hubclient.h"
#include "hub/hubserver.h"
#include "support/rawpeer.h"
#include "support/tablecheck.h"
#include "support/tablefixture.h"
#include "ui/mainfrm.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>

using Stress::RawPeer;
using Stress::TableCheck;

namespace {

QStringList logLines(TmainFrm *w)
{
    const QString text = w->chatLog->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

// The lines of a log that came from one nick, in the order they were logged.
QStringList linesOf(TmainFrm *w, const QString &nick)
{
    QStringList out;
    const QString mark = QLatin1Char('<') + nick + QStringLiteral("> ");
    for (const QString &line : logLines(w))
        if (line.startsWith(mark))
            out << line;
    return out;
}

QString chatLine(int n)
{
    return QStringLiteral("line %1 of the flood").arg(n, 4, 10, QLatin1Char('0'));
}

} // namespace

class TestChatFlood : public QObject
{
    Q_OBJECT

private slots:
    void thousandLinesInOneBurst();
    void linesTypedDuringDeal();
};

void TestChatFlood::thousandLinesInOneBurst()
{
    constexpr int kLines = 1000;
    TableFixture fx;
    TmainFrm *host = fx.newWindow();
    QVERIFY(fx.host(host, "Ann"));
    host->gHost->setChatLimit(0, 0);
    TmainFrm *bob = fx.join("Bob");
    QVERIFY(bob);
    const QList<TmainFrm *> others{host, bob};
    RawPeer dan;
    dan.joinAs("Dan");
    QVERIFY(dan.connectTo(fx.hostPort()));
    QVERIFY(TableFixture::waitFor([&] { return host->roster.seatCount() == 3 && fx.tableShown(); }));
    for (TmainFrm *w : others)
        w->chatLog->clear();
    fx.clearTraffic();

    QByteArray burst;
    QStringList expected;
    for (int n = 1; n <= kLines; ++n) {
        burst += BuildFrame(Tag::CHAT, "Dan", chatLine(n), {}, {}, {}, {}, false, 0);
        expected << QStringLiteral("<Dan> ") + chatLine(n);
    }
    Stress::LoopWatch watch;
    QElapsedTimer clock;
    clock.start();
    dan.write(burst);

    // The host reads the whole burst at once and logs it.
    QVERIFY(TableFixture::waitFor([&] { return linesOf(host, "Dan").size() >= kLines; }, 20000));
    const qint64 hostMs = clock.elapsed();
    QCOMPARE(linesOf(host, "Dan"), expected);
    // While the relay goes on, the host's window answers a click at once.
    QElapsedTimer click;
    click.start();
    host->ChatDialog1->trigger();
    QVERIFY(host->ChatDialog1->isChecked());
    const qint64 clickMs = click.elapsed();

    // The guest gets every line, in order, at the host's relay pace.
    QVERIFY(TableFixture::waitFor([&] {
        for (TmainFrm *g : others.mid(1))
            if (logLines(g).size() < kLines + 1)
                return false;
        return true;
    }, 90000));
    const qint64 relayMs = clock.elapsed();
    for (TmainFrm *g : others.mid(1)) {
        QCOMPARE(linesOf(g, "Dan"), expected);
        // Ann's entering the chat, said during the relay, comes after the flood.
        QCOMPARE(logLines(g).last(), QStringLiteral("[*] Ann enter chat"));
        QVERIFY(g->gClient->Active());
        QVERIFY2(fx.messagesOf(g).isEmpty(), qPrintable(fx.messageTextsOf(g).join('|')));
    }
    // The flooder itself is not sent its own lines.
    QCOMPARE(dan.count(Tag::CHAT), 0);
    QCOMPARE(host->roster.seatCount(), 3);
    qInfo("host logged %d lines after %lld ms, the guest after %lld ms; longest pause of the event loop %lld ms; "
          "a click took %lld ms",
          kLines, hostMs, relayMs, watch.longestGapMs(), clickMs);
    QVERIFY(watch.longestGapMs() < 1000);
}

void TestChatFlood::linesTypedDuringDeal()
{
    constexpr int kLines = 100;
    TableFixture fx;
    TmainFrm *host = fx.newWindow();
    QVERIFY(fx.host(host, "Ann"));
    QList<TmainFrm *> copies{host};
    for (const char *nick : {"Bob", "Cid", "Dan"}) {
        TmainFrm *g = fx.join(nick);
        QVERIFY(g);
        g->BeepOnTurn1->setChecked(false);
        copies << g;
    }
    host->BeepOnTurn1->setChecked(false);
    host->gHost->setChatLimit(0, 0);
    QVERIFY(fx.waitTableShown());
    TableCheck check;
    check.setCopies(copies);
    QVERIFY2(check.startDeal(), qPrintable(check.problem()));
    for (TmainFrm *w : copies)
        w->chatLog->clear();

    // Cid types as fast as the keys go.
    TmainFrm *cid = copies.at(2);
    QStringList expected;
    for (int n = 1; n <= kLines; ++n) {
        cid->txtInput->setText(chatLine(n));
        QTest::keyClick(cid->txtInput, Qt::Key_Return);
        expected << QStringLiteral("<Cid> ") + chatLine(n);
    }
    QCOMPARE(linesOf(cid, "Cid"), expected);

    // The deal goes on until every other copy has logged the lines, every move checked; Cid's own
    // moves wait behind Cid's lines.
    Stress::LoopWatch watch;
    QElapsedTimer clock;
    clock.start();
    const auto allLogged = [&] {
        for (TmainFrm *w : copies)
            if (w != cid && linesOf(w, "Cid").size() < kLines)
                return false;
        return true;
    };
    int moves = 0;
    qint64 othersSlowest = 0;
    while (!allLogged()) {
        QVERIFY2(clock.elapsed() < 60000, "the lines did not all arrive in a minute");
        const QString mover = check.mover();
        QVERIFY2(check.playMoves(1), qPrintable(check.problem()));
        ++moves;
        if (mover != cid->st.myNick)
            othersSlowest = std::max(othersSlowest, check.lastMoveMs());
    }
    for (TmainFrm *w : copies)
        if (w != cid)
            QCOMPARE(linesOf(w, "Cid"), expected);
    QVERIFY2(check.playMoves(4), qPrintable(check.problem()));
    qInfo("%d moves while %d lines left Cid's copy in %lld ms; slowest move %lld ms, by another player %lld ms; "
          "longest pause of the event loop %lld ms",
          moves, kLines, clock.elapsed(), check.slowestMoveMs(), othersSlowest, watch.longestGapMs());
    QVERIFY(watch.longestGapMs() < 1000);
    // The others' moves reach every copy as quickly as ever.
    QVERIFY(othersSlowest < 3000);
}

QTEST_MAIN(TestChatFlood)
#include "tst_chatflood_gui.moc"

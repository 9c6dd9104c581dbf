// The seat roster: seating, look-ups, turn stepping and the seat each screen shows.
#include "game/roster.h"
#include <QTest>

namespace {
TuserRec player(const QString &nick, int port)
{
    TuserRec r;
    r.nick = nick;
    r.IP = QStringLiteral("10.0.0.%1").arg(port % 200);
    r.port = port;
    r.credit = 1000;
    return r;
}

// Seats the given nicks; an empty nick leaves the seat free. The host (seat 1) has port 0.
void seat(TuserInfo &roster, const QStringList &nicks)
{
    for (int s = 1; s <= nicks.size(); ++s) {
        if (!nicks.at(s - 1).isEmpty())
            QVERIFY(roster.setSeat(player(nicks.at(s - 1), s == 1 ? 0 : 5000 + s), s));
    }
}
} // namespace

class TstRoster : public QObject
{
    Q_OBJECT

private slots:
    void emptyRoster();
    void hostOnly();
    void setSeatRefusals();
    void lookUps();
    void removeAndClear();
    void nextSeat_data();
    void nextSeat();
    void nextSeatSkipsNicklessSeat();
    void relativeSeats_data();
    void relativeSeats();
    void badSeatNumbersNeverIndex();
};

void TstRoster::emptyRoster()
{
    TuserInfo roster;
    QCOMPARE(roster.seatCount(), 0);
    QCOMPARE(roster.firstFreeSeat(), 1);
    QVERIFY(!roster.isFull());
    QCOMPARE(roster.turnCursor, 0);
    for (int s = 1; s <= 4; ++s) {
        QCOMPARE(roster.user(s).port, -1);
        QVERIFY(roster.user(s).nick.isEmpty());
        QCOMPARE(roster.user(s).credit, 0);
        QVERIFY(!roster.user(s).alive);
    }
    // a free seat's identity matches nobody
    QCOMPARE(roster.seatOfNick(QString()), -1);
    QCOMPARE(roster.seatOfPort(-1), -1);
    QVERIFY(!roster.removeByNick(QString()));
}

void TstRoster::hostOnly()
{
    TuserInfo roster;
    seat(roster, {"host"});
    QCOMPARE(roster.seatCount(), 1);
    QCOMPARE(roster.firstFreeSeat(), 2);
    QVERIFY(!roster.isFull());
    seat(roster, {"", "b", "c", "d"});
    QCOMPARE(roster.seatCount(), 4);
    QCOMPARE(roster.firstFreeSeat(), -1);
    QVERIFY(roster.isFull());
}

void TstRoster::setSeatRefusals()
{
    TuserInfo roster;
    QVERIFY(roster.setSeat(player("ann", 5001), 2));
    QVERIFY(!roster.setSeat(player("bob", 5002), 2));
    QCOMPARE(roster.user(2).nick, QStringLiteral("ann"));
    QCOMPARE(roster.user(2).port, 5001);
    for (int bad : {-1, 0, 5, 1000})
        QVERIFY(!roster.setSeat(player("bob", 5002), bad));
    QCOMPARE(roster.seatCount(), 1);
    QCOMPARE(roster.seatOfNick("bob"), -1);
}

void TstRoster::lookUps()
{
    TuserInfo roster;
    seat(roster, {"host", "", "Ann", "ann"});
    QCOMPARE(roster.seatOfNick("host"), 1);
    QCOMPARE(roster.seatOfNick("Ann"), 3);
    QCOMPARE(roster.seatOfNick("ann"), 4);
    QCOMPARE(roster.seatOfNick("ANN"), -1);
    QCOMPARE(roster.seatOfPort(0), 1);
    QCOMPARE(roster.seatOfPort(5004), 4);
    QCOMPARE(roster.seatOfPort(5002), -1);
    QCOMPARE(roster.firstFreeSeat(), 2);
    QCOMPARE(roster.relativeSeat("Ann", "ann"), 2);
}

void TstRoster::removeAndClear()
{
    TuserInfo roster;
    seat(roster, {"host", "b", "c"});
    roster.turnCursor = 3;
    QVERIFY(!roster.removeByNick("B"));
    QVERIFY(roster.removeByNick("b"));
    QCOMPARE(roster.user(2).port, -1);
    QVERIFY(roster.user(2).nick.isEmpty());
    QVERIFY(roster.user(2).IP.isEmpty());
    QCOMPARE(roster.user(2).credit, 0);
    QVERIFY(!roster.removeByNick("b"));
    QCOMPARE(roster.firstFreeSeat(), 2);
    // a rejoin takes a fresh seat
    QVERIFY(roster.setSeat(player("b", 6000), roster.firstFreeSeat()));
    QCOMPARE(roster.user(2).credit, 1000);
    roster.clearSeat(0);
    roster.clearSeat(5);
    QCOMPARE(roster.seatCount(), 3);
    roster.clearAll();
    QCOMPARE(roster.seatCount(), 0);
    QCOMPARE(roster.turnCursor, 3);
}

void TstRoster::nextSeat_data()
{
    QTest::addColumn<QStringList>("nicks");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QList<int>>("turns");
    QTest::newRow("full table wraps") << QStringList{"h", "b", "c", "d"} << 3 << QList<int>{4, 1, 2, 3};
    QTest::newRow("cursor 4, seats 1 and 4") << QStringList{"h", "", "", "d"} << 4 << QList<int>{1, 4, 1};
    QTest::newRow("cursor 1, seat 4 after free 2 and 3") << QStringList{"h", "", "", "d"} << 1 << QList<int>{4};
    QTest::newRow("seat 3 free") << QStringList{"h", "b", "", "d"} << 2 << QList<int>{4, 1, 2};
    QTest::newRow("fresh cursor") << QStringList{"h", "b"} << 0 << QList<int>{1, 2, 1};
    QTest::newRow("fresh cursor, only seat 4") << QStringList{"", "", "", "d"} << 0 << QList<int>{4, 4};
    QTest::newRow("alone keeps the turn") << QStringList{"h"} << 1 << QList<int>{1, 1};
    QTest::newRow("cursor out of range") << QStringList{"h", "b"} << 9 << QList<int>{1, 2};
    QTest::newRow("negative cursor") << QStringList{"h", "", "c"} << -3 << QList<int>{1, 3};
}

void TstRoster::nextSeat()
{
    QFETCH(QStringList, nicks);
    QFETCH(int, cursor);
    QFETCH(QList<int>, turns);
    TuserInfo roster;
    seat(roster, nicks);
    roster.turnCursor = cursor;
    for (int expected : turns) {
        QCOMPARE(roster.nextSeat(), expected);
        QCOMPARE(roster.turnCursor, expected);
    }
}

void TstRoster::nextSeatSkipsNicklessSeat()
{
    TuserInfo roster;
    seat(roster, {"h", "", "c"});
    TuserRec nameless;
    nameless.port = 5002;
    QVERIFY(roster.setSeat(nameless, 2));
    roster.turnCursor = 1;
    QCOMPARE(roster.nextSeat(), 3);
    QCOMPARE(roster.seatCount(), 3); // counting uses the port alone
}

void TstRoster::relativeSeats_data()
{
    QTest::addColumn<QString>("viewer");
    QTest::addColumn<QString>("viewed");
    QTest::addColumn<int>("expected");
    // seats: 1 "h", 2 "b", 3 "c", 4 "d"
    QTest::newRow("self") << "c" << "c" << 1;
    QTest::newRow("host sees 2 as left") << "h" << "b" << 2;
    QTest::newRow("host sees 3 opposite") << "h" << "c" << 3;
    QTest::newRow("host sees 4 as right") << "h" << "d" << 4;
    QTest::newRow("seat 4 sees 1 next") << "d" << "h" << 2;
    QTest::newRow("seat 4 sees 3 before") << "d" << "c" << 4;
    QTest::newRow("seat 2 sees 1 before") << "b" << "h" << 4;
    QTest::newRow("not seated viewed") << "h" << "x" << 0;
    QTest::newRow("not seated viewer") << "x" << "h" << 0;
    QTest::newRow("case differs") << "h" << "B" << 0;
    QTest::newRow("empty nick") << "h" << "" << 0;
}

void TstRoster::relativeSeats()
{
    QFETCH(QString, viewer);
    QFETCH(QString, viewed);
    QFETCH(int, expected);
    TuserInfo roster;
    seat(roster, {"h", "b", "c", "d"});
    QCOMPARE(roster.relativeSeat(viewer, viewed), expected);
    const int viewerPort = viewer == "h" ? 0 : roster.seatOfNick(viewer) < 1 ? 7777 : 5000 + roster.seatOfNick(viewer);
    const int viewedPort = viewed == "h" ? 0 : roster.seatOfNick(viewed) < 1 ? 7777 : 5000 + roster.seatOfNick(viewed);
    QCOMPARE(roster.relativeSeatByPort(viewerPort, viewedPort), expected);
}

void TstRoster::badSeatNumbersNeverIndex()
{
    TuserInfo roster;
    seat(roster, {"h", "b", "c", "d"});
    for (int bad : {-2147483647 - 1, -1, 0, 5, 2147483647}) {
        roster.user(bad).nick = QStringLiteral("intruder");
        roster.user(bad).port = 1;
        QCOMPARE(roster.user(bad).port, -1);
        QVERIFY(roster.user(bad).nick.isEmpty());
        const TuserInfo &view = roster;
        QCOMPARE(view.user(bad).port, -1);
    }
    QCOMPARE(roster.seatOfNick("intruder"), -1);
    QCOMPARE(roster.seatCount(), 4);
    // a free seat's port is nobody's identity
    roster.clearSeat(3);
    QCOMPARE(roster.relativeSeatByPort(0, -1), 0);
    QCOMPARE(roster.relativeSeatByPort(-1, 0), 0);
}

QTEST_GUILESS_MAIN(TstRoster)
#include "tst_roster.moc"

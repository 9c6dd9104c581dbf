// Sitting down at one table: hosting, joining, refusals, departures, the ping check, Stop Game,
// and the host's checks on who may say what.
#include "game/protocol.h"
#include "hub/hubclient.h"
#include "hub/hubserver.h"
#include "support/tablefixture.h"
#include "ui/frmsetting.h"
#include "ui/mainfrm.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

class TestJoining : public QObject
{
    Q_OBJECT
private slots:
    void guestsTakeSeatsThreeTwoFour();
};

void TestJoining::guestsTakeSeatsThreeTwoFour()
{
    TableFixture t;
    TmainFrm *h = t.newWindow();
    QVERIFY(t.host(h, QStringLiteral("Hank")));
    QCOMPARE(TableFixture::shownNick(h, 1), QStringLiteral("Hank"));

    const QStringList nicks{QStringLiteral("Ann"), QStringLiteral("Bob"), QStringLiteral("Cy")};
    const int seats[] = {3, 2, 4};
    QList<TmainFrm *> guests;
    for (int i = 0; i < nicks.size(); ++i) {
        TmainFrm *g = t.join(nicks[i]);
        QVERIFY2(g, qPrintable(nicks[i] + QStringLiteral(" was not seated")));
        guests.append(g);
        QCOMPARE(h->roster.seatOfNick(nicks[i]), seats[i]);
        for (TmainFrm *w : t.seatedWindows())
            QVERIFY2(t.tableProblem(w).isEmpty(), qPrintable(t.tableProblem(w)));
    }
    QVERIFY(h->roster.isFull());
    for (TmainFrm *g : guests) {
        QCOMPARE(TableFixture::shownNick(g, 1), g->st.myNick);
        QCOMPARE(g->pointLabel(1)->text(), QStringLiteral("1000"));
    }
}

QTEST_MAIN(TestJoining)
#include "tst_joining_gui.moc"

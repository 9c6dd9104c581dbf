// The hint: on the own turn it raises a throw the rules accept and "Throw Card" throws it, or
// says "Pass"; outside the own turn there is none.
#include "client/clienttable.h"
#include "support/dealhelpers.h"
#include "support/tablefixture.h"
#include "ui/hint.h"
#include "ui/mainfrm.h"
#include <QAction>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <memory>

using namespace DealHelpers;

class TestHint : public QObject
{
    Q_OBJECT

    std::unique_ptr<TableFixture> fx;
    TmainFrm *w = nullptr;
    QList<ClientTable *> quiet;

private slots:
    void init()
    {
        fx = std::make_unique<TableFixture>();
        w = fx->newWindow();
        QVERIFY(fx->host(w, QStringLiteral("Ann")));
        // No automatic pass while a test looks at the turn.
        w->client()->setCountdownTickMs(600000);
        quiet = seatQuietPlayers(w, {QStringLiteral("Bob"), QStringLiteral("Cid"), QStringLiteral("Dan")});
        QCOMPARE(quiet.size(), 3);
    }

    void cleanup()
    {
        w = nullptr;
        fx.reset();
    }

    void hintRaisesAThrowThatThrowCardThrows()
    {
        QVERIFY(!w->Hint1->isEnabled());
        QVERIFY(!w->hint->give());
        // "43", the lowest card, gives Ann the first turn.
        const QStringList mine{"43", "13", "23", "15", "25", "35", "19", "110", "211", "312", "41", "48", "49"};
        QVERIFY(dealHands(w, QHash<int, QStringList>({{1, mine}})));
        QVERIFY(TableFixture::waitFor([this] { return w->Hint1->isEnabled(); }));
        QVERIFY(w->client()->myTurn());
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QTest::keyClick(w, Qt::Key_H, Qt::ControlModifier);
        const QStringList raised = raisedOf(w);
        QVERIFY(!raised.isEmpty());
        QCOMPARE(w->client()->checkPlay(raised), Refusal::None);
        QVERIFY(tableOf(w).isEmpty()); // nothing thrown yet

        QTest::mouseClick(w->btnThrow, Qt::LeftButton);
        QCOMPARE(tableOf(w), raised);
        QVERIFY(!w->Hint1->isEnabled());
    }

    void hintSaysPassWhenNothingBeats()
    {
        // Dan, before Ann, leads the Spade 2, which no single beats.
        QVERIFY(dealHands(w, QHash<int, QStringList>({{4, {"43", "12"}}, {1, {"13", "23", "15"}}})));
        const auto dan = *std::find_if(quiet.begin(), quiet.end(), [](ClientTable *p) { return p->mySeat() == 4; });
        QVERIFY(TableFixture::waitFor([dan] { return dan->myTurn(); }));
        QVERIFY(throwFor(w, dan, {"12"}));
        QVERIFY(TableFixture::waitFor([this] { return w->Hint1->isEnabled(); }));
        QVERIFY(w->hint->give());
        QVERIFY(raisedOf(w).isEmpty());
        QCOMPARE(w->statusText(), QStringLiteral("Pass"));
    }
};

QTEST_MAIN(TestHint)
#include "tst_hint_gui.moc"

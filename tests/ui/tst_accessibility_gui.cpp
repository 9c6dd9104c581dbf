// What a screen reader gets through Qt's accessibility interfaces: every control has a name, the
// own cards read as rank and suit and whether they are raised, seats, table and countdown read as
// text that follows the game, and moves and turns are announced (the end of a deal is checked where
// a whole deal is played, in tst_keyboardplay_gui).
#include "client/clienttable.h"
#include "host/tablehost.h"
#include "support/dealhelpers.h"
#include "support/tablefixture.h"
#include "ui/mainfrm.h"
#include "ui/playcard.h"
#include "ui/tableaccessibility.h"
#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>

using namespace DealHelpers;

namespace {

QString name(QObject *o) { return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name); }
QString description(QObject *o) { return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Description); }

QStringList texts(const QSignalSpy &spy)
{
    QStringList out;
    for (const QList<QVariant> &args : spy)
        out << args.at(0).toString();
    return out;
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void namesAndTextsFollowTheGame()
    {
        TableFixture fx;
        TmainFrm *w = fx.newWindow();
        for (QWidget *c : w->controls())
            QVERIFY2(!name(c).isEmpty(), qPrintable(c->objectName()));
        QCOMPARE(name(w->btnThrow), QStringLiteral("Throw Card"));
        QCOMPARE(name(w->txtInput), QStringLiteral("Chat line"));
        QCOMPARE(name(w->handSlot(1)), QStringLiteral("Card face down"));

        QSignalSpy said(w->accessibility, &TTableAccessibility::announced);
        QVERIFY(fx.host(w, QStringLiteral("Ann")));
        w->client()->setCountdownTickMs(600000);
        const QList<ClientTable *> quiet = seatQuietPlayers(w, {QStringLiteral("Bob"), QStringLiteral("Cid"), QStringLiteral("Dan")});
        QCOMPARE(name(w->nickLabel(1)), QStringLiteral("You: Ann, 1000 credits"));
        QVERIFY(dealHands(w, {{1, {"43", "112", "23", "15"}}}));
        QVERIFY(TableFixture::waitFor([w] { return w->client()->myTurn(); }));

        TPlayCard *queen = slotHolding(w, QStringLiteral("112"));
        QCOMPARE(name(queen), QStringLiteral("Queen of Spades"));
        clickCard(queen);
        QCOMPARE(name(queen), QStringLiteral("Queen of Spades, raised"));
        clickCard(queen);
        QCOMPARE(name(queen), QStringLiteral("Queen of Spades"));
        QCOMPARE(name(w->nickLabel(1)), QStringLiteral("You: Ann, 13 cards, 1000 credits, to move"));
        QCOMPARE(description(w->Panel1), QStringLiteral("Nothing on the table"));
        QCOMPARE(name(w->txtPassCntDwn), QStringLiteral("Auto pass in %1 seconds").arg(w->client()->countdownLeft()));
        QCOMPARE(texts(said).last(), QStringLiteral("Your turn"));
        QCOMPARE(description(w->imgCarpet), QStringLiteral("Your turn"));

        said.clear();
        QVERIFY(clickCards(w, {QStringLiteral("43")}));
        QTest::mouseClick(w->btnThrow, Qt::LeftButton);
        QVERIFY(TableFixture::waitFor([&] { return said.size() >= 2; }));
        QCOMPARE(description(w->Panel1), QStringLiteral("On the table: Three of Diamonds, thrown by Ann"));
        QVERIFY(name(w->nickLabel(1)).startsWith(QStringLiteral("You: Ann, 12 cards")));
        const int next = w->client()->turnSeat();
        const QString nextNick = w->client()->roster().user(next).nick;
        QCOMPARE(texts(said).mid(0, 2), QStringList({QStringLiteral("Ann threw Three of Diamonds"), nextNick + QStringLiteral(" to move")}));
        QCOMPARE(description(w->imgCarpet), nextNick + QStringLiteral(" to move"));
        QVERIFY(name(w->nickLabel(w->screenSeat(next))).endsWith(QStringLiteral(", to move")));
        QCOMPARE(name(w->txtPassCntDwn), QStringLiteral("No countdown"));

        // The deal ends when the host stops it: the seats no longer read as in a deal.
        ClientTable *mover = *std::find_if(quiet.begin(), quiet.end(), [next](ClientTable *p) { return p->mySeat() == next; });
        QVERIFY(throwFor(w, mover, {}));
        QVERIFY(texts(said).contains(nextNick + QStringLiteral(" passed")));
        w->tableHost()->stopDeal();
        QVERIFY(TableFixture::waitFor([w] { return !w->client()->inDeal(); }));
        QVERIFY(!name(w->nickLabel(1)).contains(QStringLiteral("to move")));
        qDeleteAll(quiet);
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility_gui.moc"

// The corpus of the dispatch fuzz target (seeds and the crash inputs found so far), replayed through
// a table host: each input becomes the messages of its players, and the host must settle and leave
// the table consistent.
#include "../../fuzz/dispatch_harness.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

using namespace DispatchHarness;

class TestDispatchReplay : public QObject
{
    Q_OBJECT
private slots:
    void corpusInput_data();
    void corpusInput();
    void seedsAreInTheCorpus();
    void aMoveReachesTheHostAndTheOthers();
    void aFalseWinIsRefused();
    void aWonDealMovesCreditsAndItsWinnerDealsNext();
    void aDroppedGuestComesBackWithItsKey();

private:
    QString corpusDir() const { return QStringLiteral(QUADRIX_SOURCE_DIR "/fuzz/corpus/dispatch"); }
};

void TestDispatchReplay::corpusInput_data()
{
    QTest::addColumn<QByteArray>("input");
    const QDir dir(corpusDir());
    const QStringList names = dir.entryList(QDir::Files, QDir::Name);
    QVERIFY2(names.size() >= seedInputs().size(), qPrintable(QStringLiteral("no corpus in ") + dir.path()));
    for (const QString &name : names) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QTest::newRow(qPrintable(name)) << f.readAll();
    }
}

void TestDispatchReplay::corpusInput()
{
    QFETCH(QByteArray, input);
    Table table;
    table.feed(input);
    const QString problem = table.problem();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

// The corpus holds what the seed generator writes, so a change of the seeds reaches the fuzzer too.
void TestDispatchReplay::seedsAreInTheCorpus()
{
    for (const auto &[name, bytes] : seedInputs()) {
        QFile f(corpusDir() + QLatin1Char('/') + name);
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(name + QStringLiteral(" is missing from the corpus")));
        QCOMPARE(f.readAll(), bytes);
    }
}

// The replay is not vacuous: the guest's frames reach the host as a seated player's and are played.
void TestDispatchReplay::aMoveReachesTheHostAndTheOthers()
{
    Table table(true);
    QCOMPARE(table.host().seatedCount(), 3);
    table.feed(QByteArray(1, Cmd::Deal) + frame(Tag::THROW, QStringLiteral("0"), kGuestNick, QStringLiteral("1"),
                                                 QStringLiteral("43#")));
    const TTable &t = table.host().table();
    QCOMPARE(t.tableCards(), QStringList{QStringLiteral("43")});
    QCOMPARE(t.toMove(), 1); // seat 4 is free: after the guest in seat 3 comes the owner
    QCOMPARE(table.player(Third).heard.last().Protocol, Tag::WHOSETURN);
    QVERIFY(table.problem().isEmpty());
}

void TestDispatchReplay::aFalseWinIsRefused()
{
    // A guest that still holds twelve cards claims the deal: the deal goes on, no credit moves.
    Table table;
    table.feed(QByteArray(1, Cmd::Deal)
               + frame(Tag::THROW, QStringLiteral("0"), kGuestNick, QStringLiteral("1"), QStringLiteral("43#"))
               + frame(Tag::GAMEOVER, QStringLiteral("0"), kGuestNick));
    QCOMPARE(table.host().phase(), TableHost::Phase::Playing);
    QCOMPARE(table.host().roster().user(3).credit, 1000);
    QVERIFY(table.problem().isEmpty());
}

void TestDispatchReplay::aWonDealMovesCreditsAndItsWinnerDealsNext()
{
    Table table;
    table.feed(QByteArray(1, Cmd::FourTwos) + QByteArray(1, Cmd::Deal)
               + frame(Tag::GAMEOVER, QStringLiteral("0"), kGuestNick));
    QCOMPARE(table.host().phase(), TableHost::Phase::DealOver);
    QCOMPARE(table.host().roster().user(1).credit, 1000 - 39); // 13 cards left, three points each
    QVERIFY(table.host().roster().user(3).credit > 1000);
    QVERIFY(table.problem().isEmpty());
    table.feed(frame(Tag::NEXTGAME));
    QCOMPARE(table.host().dealsStarted(), 2);
    QVERIFY(table.problem().isEmpty());
}

void TestDispatchReplay::aDroppedGuestComesBackWithItsKey()
{
    Table table;
    table.feed(QByteArray(1, Cmd::Deal) + QByteArray(1, Cmd::Close));
    QVERIFY(table.host().roster().user(3).away);
    table.feed(QByteArray(1, Cmd::NewConnection) + Cmd::from(4) + frame(Tag::REJOIN, kGuestNick, kAskKey));
    QVERIFY(!table.host().roster().user(3).away);
    QCOMPARE(table.player(4).seated, kGuestNick);
    QCOMPARE(table.host().table().cardCount(3), 13);
    QVERIFY(table.problem().isEmpty());
}

QTEST_GUILESS_MAIN(TestDispatchReplay)
#include "tst_dispatchreplay.moc"

// The corpus of the dispatch fuzz target (seeds and the crash inputs found so far), replayed
// through a hosted table: each input is written as raw bytes by a seated guest, and the host must
// get through it and leave the table consistent.
#include "../../fuzz/dispatch_harness.h"

#include "game/dealend.h"

#include <QDir>
#include <QFile>
#include <QTest>

class TestDispatchReplay : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void corpusInput_data();
    void corpusInput();
    void seedsAreInTheCorpus();
    void aDealReachesTheDispatcher();
    void aFalseWinIsRefused();

private:
    QString corpusDir() const { return QStringLiteral(QUADRIX_SOURCE_DIR "/fuzz/corpus/dispatch"); }
    void feedFresh(const QByteArray &bytes);
    std::unique_ptr<DispatchHarness::Table> table;
    QStringList boxes;
};

void TestDispatchReplay::initTestCase()
{
    TmainFrm::setMessageHook([this](TmainFrm *, QMessageBox::Icon, const QString &text,
                                    QMessageBox::StandardButtons b) {
        boxes << text;
        return b.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    });
    table = std::make_unique<DispatchHarness::Table>();
    const QString why = table->setUp();
    QVERIFY2(why.isEmpty(), qPrintable(why));
}

void TestDispatchReplay::cleanupTestCase()
{
    table.reset();
    TmainFrm::setMessageHook({});
}

void TestDispatchReplay::feedFresh(const QByteArray &bytes)
{
    const QString why = table->setUp();
    QVERIFY2(why.isEmpty(), qPrintable(why));
    table->resetDeal();
    QCOMPARE(table->feed(bytes, 20000), DispatchHarness::Table::Consumed);
}

void TestDispatchReplay::corpusInput_data()
{
    QTest::addColumn<QByteArray>("input");
    const QDir dir(corpusDir());
    const QStringList names = dir.entryList(QDir::Files, QDir::Name);
    QVERIFY2(names.size() >= DispatchHarness::seedInputs().size(), qPrintable(QStringLiteral("no corpus in ") + dir.path()));
    for (const QString &name : names) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QTest::newRow(qPrintable(name)) << f.readAll();
    }
}

void TestDispatchReplay::corpusInput()
{
    QFETCH(QByteArray, input);
    feedFresh(input);
    const QString problem = table->problem();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

// The corpus holds what the seed generator writes, so a change of the seeds reaches the fuzzer too.
void TestDispatchReplay::seedsAreInTheCorpus()
{
    for (const auto &[name, bytes] : DispatchHarness::seedInputs()) {
        QFile f(corpusDir() + QLatin1Char('/') + name);
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(name + QStringLiteral(" is missing from the corpus")));
        QCOMPARE(f.readAll(), bytes);
    }
}

// The replay is not vacuous: the guest's frames are read as a seated player's and played.
void TestDispatchReplay::aDealReachesTheDispatcher()
{
    using namespace DispatchHarness;
    feedFresh(frame(Tag::NEXTGAME) + frame(Tag::SMALLESTCARD, QStringLiteral("31"))
              + frame(Tag::THROW, QStringLiteral("1"), kGuestNick, QStringLiteral("1"), QStringLiteral("43#")));
    TmainFrm *host = table->host();
    QVERIFY(host->st.gameOn);
    QCOMPARE(host->countTableCards(), 1);
    QCOMPARE(host->tableSlot(1)->GetCardCode(), QStringLiteral("43"));
    QCOMPARE(host->st.turnSeat, 1); // the turn passed from the guest to the host's player
    QVERIFY(table->problem().isEmpty());
}

void TestDispatchReplay::aFalseWinIsRefused()
{
    // A guest that still holds twelve cards claims the deal: the deal goes on, no credit moves.
    using namespace DispatchHarness;
    feedFresh(frame(Tag::NEXTGAME)
              + frame(Tag::THROW, QStringLiteral("1"), kGuestNick, QStringLiteral("1"), QStringLiteral("43#"))
              + frame(Tag::GAMEOVER, QStringLiteral("1"), kGuestNick));
    TmainFrm *host = table->host();
    QVERIFY(host->st.gameOn);
    QCOMPARE(host->roster.user(1).credit, 1000);
    QCOMPARE(host->roster.user(host->roster.seatOfNick(kGuestNick)).credit, 1000);
    QVERIFY(host->chatLog->toPlainText().contains(
        kGuestNick + QStringLiteral("'s claim of the deal was refused: cards still in the hand")));
    QVERIFY(table->problem().isEmpty());
}

QTEST_MAIN(TestDispatchReplay)
#include "tst_dispatchreplay_gui.moc"

// Every input of the wire fuzz target's corpus (seeds and the crash inputs found so far) is run
// through the target's checks once more: the reader stays within its cap on any cut of the stream,
// and built frames come back whole.
#include "../../fuzz/wire_checks.h"

#include <QDir>
#include <QFile>
#include <QTest>

class TestFuzzReplay : public QObject
{
    Q_OBJECT
private slots:
    void corpusInput_data();
    void corpusInput();
    void readsCutAnywhereKeepFramesWithinCap();
};

void TestFuzzReplay::corpusInput_data()
{
    QTest::addColumn<QByteArray>("input");
    const QDir dir(QStringLiteral(QUADRIX_SOURCE_DIR "/fuzz/corpus/wire"));
    const QStringList names = dir.entryList(QDir::Files, QDir::Name);
    QVERIFY2(names.size() >= 8, qPrintable(QStringLiteral("no corpus in ") + dir.path()));
    for (const QString &name : names) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QTest::newRow(qPrintable(name)) << f.readAll();
    }
}

void TestFuzzReplay::corpusInput()
{
    QFETCH(QByteArray, input);
    const QString why = WireChecks::problem(reinterpret_cast<const uint8_t *>(input.constData()), size_t(input.size()));
    QVERIFY2(why.isEmpty(), qPrintable(why));
}

// What the checks rely on: frames cut at any read boundary come back, and a frame that never
// closes is let go at the cap.
void TestFuzzReplay::readsCutAnywhereKeepFramesWithinCap()
{
    FrameReader reader;
    bool over = false;
    const QByteArray frame = BuildFrame(QStringLiteral("[CHAT]"), QStringLiteral("Ann"), QStringLiteral("hi"), {}, {},
                                        {}, {}, false, 0);
    // Reads of 1..64 bytes: both copies come back although every frame is cut somewhere.
    const QList<HubMessage> got =
        WireChecks::feedInPieces(reader, frame + frame, WireChecks::Cutter{7}, false, 0, true, &over);
    QCOMPARE(got.size(), 2);
    QVERIFY(!over);
    // An opening mark and more than the cap of bytes that never close: the reader lets go of them.
    QByteArray endless(FrameReader::kMaxPending + 100, 'x');
    endless[0] = '\x01';
    WireChecks::feedInPieces(reader, endless, WireChecks::Cutter{3}, false, 0, true, &over);
    QVERIFY(!over);
    QVERIFY(reader.pendingBytes() <= FrameReader::kMaxPending);
    QVERIFY(reader.droppedBytes() > 0);
}

QTEST_GUILESS_MAIN(TestFuzzReplay)
#include "tst_fuzzreplay.moc"

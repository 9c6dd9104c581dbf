// Framing, scrambling and reassembly of hub messages, without sockets.
#include "hub/wire.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray out;
    for (int b : list)
        out.append(char(b));
    return out;
}

QByteArray frame(const QString &tag, const QStringList &values = {}, bool encrypt = false, qint32 key = 0)
{
    QStringList v = values;
    while (v.size() < 6)
        v << QString();
    return BuildFrame(tag, v[0], v[1], v[2], v[3], v[4], v[5], encrypt, key);
}

QStringList fieldsOf(const HubMessage &m)
{
    QStringList out{m.Protocol};
    for (const QString &v : m.value)
        out << v;
    return out;
}

QStringList expected(const QString &tag, const QStringList &values = {})
{
    QStringList out{tag};
    out << values;
    while (out.size() < 7)
        out << QString();
    return out;
}

QList<QStringList> readAll(const QByteArray &chunk, bool serverSide = false)
{
    FrameReader reader;
    QList<QStringList> out;
    for (const HubMessage &m : reader.feed(chunk, false, 0, serverSide))
        out << fieldsOf(m);
    return out;
}

// The draw of the generator written the other way round: (state * 128) div 2^32.
quint8 drawByMultiplication(quint32 state) { return quint8((quint64(state) * 128u) >> 32); }

QString stripDelimiters(QString s)
{
    for (char c = 1; c <= 4; ++c)
        s.remove(QChar(c));
    return s;
}

} // namespace

class tst_wire : public QObject
{
    Q_OBJECT
private slots:
    void pongWorkedExample();
    void frameLengthIsFieldsPlusEleven_data();
    void frameLengthIsFieldsPlusEleven();
    void delimitersRemovedFromFields();
    void scrambleFollowsGenerator();
    void scrambleRoundTripsAndKeepsLength_data();
    void scrambleRoundTripsAndKeepsLength();
    void printableNeverScramblesToDelimiter();
    void sharedPrefixScramblesAlike();
    void encryptedFrameKeepsLengthAndRoundTrips();
    void encryptedHighBytesKeepFramesApart();
    void wholeChunk_data();
    void wholeChunk();
    void emptyValuesSectionOnBothSides();
    void rawCallbackSeesTaglessFrames();
    void everySplitOfThreeMessages();
    void randomStreamsRandomCuts();
    void truncatedFrameSkippedNextDelivered();
    void unclosedFrameCapped();
    void hugeFrameDroppedThenStreamRecovers();
    void garbageNeverDeliversOrGrows();
};

void tst_wire::pongWorkedExample()
{
    const QByteArray f = BuildFrame(QStringLiteral("[PONG]"), QStringLiteral("Ann"), {}, {}, {}, {}, {}, false, 0);
    QCOMPARE(f, bytes({0x01, 0x02, 0x5B, 0x50, 0x4F, 0x4E, 0x47, 0x5D, 0x02, 0x04, 0x41, 0x6E, 0x6E, 0x03, 0x03,
                       0x03, 0x03, 0x03, 0x04, 0x01}));
    // Followed directly by a second message: both; behind three stray bytes: the one; first ten bytes: none.
    QCOMPARE(readAll(f + frame("[X]")), (QList<QStringList>{expected("[PONG]", {"Ann"}), expected("[X]")}));
    QCOMPARE(readAll("abc" + f), QList<QStringList>{expected("[PONG]", {"Ann"})});
    QVERIFY(readAll(f.left(10)).isEmpty());
}

void tst_wire::frameLengthIsFieldsPlusEleven_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("all empty") << QStringList{"[T]", "", "", "", "", "", ""};
    QTest::newRow("throw") << QStringList{"[THROW]", "51234", "Ann", "2", "310#311#", "", ""};
    QTest::newRow("latin1") << QStringList{"[CHAT]", QString::fromLatin1("caf\xe9"), "x", "", "", "", QString(QChar(0xff))};
}

void tst_wire::frameLengthIsFieldsPlusEleven()
{
    QFETCH(QStringList, fields);
    const QByteArray f = BuildFrame(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6],
                                    false, 0);
    qsizetype sum = 0;
    for (const QString &s : fields)
        sum += s.toLatin1().size();
    QCOMPARE(f.size(), sum + 11);
    const QList<QStringList> got = readAll(f);
    QCOMPARE(got.size(), 1);
    QCOMPARE(got.first(), fields);
}

void tst_wire::delimitersRemovedFromFields()
{
    const QString dirty = QStringLiteral("a\x01" "b\x02" "c\x03" "d\x04" "e");
    const QByteArray f = frame(dirty, {dirty, "x", dirty, "", "", dirty});
    // Only the eleven framing bytes are delimiters.
    int delimiters = 0;
    for (char c : f)
        delimiters += (c >= 1 && c <= 4);
    QCOMPARE(delimiters, 11);
    const QList<QStringList> got = readAll(f + frame("[NEXT]", {"1"}));
    QCOMPARE(got.size(), 2);
    QCOMPARE(got[0], expected("abcde", {"abcde", "x", "abcde", "", "", "abcde"}));
    QCOMPARE(got[1], expected("[NEXT]", {"1"}));
}

void tst_wire::scrambleFollowsGenerator()
{
    QByteArray plain;
    for (int i = 0; i < 300; ++i)
        plain.append(char(i * 7));
    for (qint32 key : {0, 1, 1972, -1, std::numeric_limits<qint32>::min()}) {
        const QByteArray s = Scramble(plain, key);
        quint32 state = quint32(key);
        for (int i = 0; i < plain.size(); ++i) {
            state = state * 0x08088405u + 1u;
            QCOMPARE(quint8(s[i]), quint8(quint8(plain[i]) + drawByMultiplication(state)));
        }
    }
}

void tst_wire::scrambleRoundTripsAndKeepsLength_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint32>("key");
    QTest::newRow("empty") << QByteArray() << 5;
    QTest::newRow("nick") << QByteArray("Ann") << 1972;
    QTest::newRow("negative key") << QByteArray("310#311#412#") << -123456;
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    QTest::newRow("every byte") << all << 0x7fffffff;
}

void tst_wire::scrambleRoundTripsAndKeepsLength()
{
    QFETCH(QByteArray, text);
    QFETCH(qint32, key);
    const QByteArray s = Scramble(text, key);
    QCOMPARE(s.size(), text.size());
    QCOMPARE(Descramble(s, key), text);
    if (text.size() > 8)
        QVERIFY(s != text);
}

void tst_wire::printableNeverScramblesToDelimiter()
{
    QByteArray printable;
    for (int b = 0x20; b <= 0x7f; ++b)
        printable.append(char(b));
    for (qint32 key : {0, 1, 99, 1972, -7}) {
        // Every printable byte at each of the first 200 positions: one pass per rotation.
        for (int rot = 0; rot < printable.size(); ++rot) {
            QByteArray text;
            for (int i = 0; i < 200; ++i)
                text.append(printable[(i + rot) % printable.size()]);
            const QByteArray s = Scramble(text, key);
            for (int i = 0; i < s.size(); ++i)
                if (uchar(s[i]) < 0x20 || uchar(s[i]) > 0xfe)
                    QFAIL(qPrintable(QStringLiteral("key %1: byte 0x%2 at %3 scrambled to 0x%4")
                                         .arg(key)
                                         .arg(uchar(text[i]), 0, 16)
                                         .arg(i)
                                         .arg(uchar(s[i]), 0, 16)));
        }
    }
}

void tst_wire::sharedPrefixScramblesAlike()
{
    const QByteArray a = Scramble("Annabel", 42);
    const QByteArray b = Scramble("Anna", 42);
    QCOMPARE(a.left(4), b);
    QVERIFY(Scramble("Anna", 43) != b);
}

void tst_wire::encryptedFrameKeepsLengthAndRoundTrips()
{
    const QStringList values{"Ann", "hello, world ~!", "310#", "", "0", "The quick brown fox"};
    const QByteArray plain = frame("[CHAT]", values);
    const QByteArray scrambled = frame("[CHAT]", values, true, 1972);
    QCOMPARE(scrambled.size(), plain.size());
    QVERIFY(scrambled != plain);
    FrameReader reader;
    const QList<HubMessage> got = reader.feed(scrambled + scrambled, true, 1972, false);
    QCOMPARE(got.size(), 2);
    QCOMPARE(fieldsOf(got[0]), expected("[CHAT]", values));
    QCOMPARE(fieldsOf(got[1]), expected("[CHAT]", values));
}

void tst_wire::encryptedHighBytesKeepFramesApart()
{
    // Latin-1 letters can land on a delimiter once scrambled; the frame must still hold.
    QString high;
    for (int b = 0x80; b <= 0xff; ++b)
        high.append(QChar(b));
    const qint32 key = 1972;
    const QByteArray f = frame(high, {high, high, "", "", "", high}, true, key);
    int delimiters = 0;
    for (char c : f)
        delimiters += (c >= 1 && c <= 4);
    QCOMPARE(delimiters, 11);
    FrameReader reader;
    const QList<HubMessage> got = reader.feed(f + frame("[NEXT]", {"1"}, true, key), true, key, false);
    QCOMPARE(got.size(), 2);
    // What arrives is the text less the bytes that could not travel, in order.
    const QString tag = got[0].Protocol;
    QVERIFY(!tag.isEmpty());
    qsizetype at = 0;
    for (QChar ch : tag) {
        at = high.indexOf(ch, at);
        QVERIFY(at >= 0);
        ++at;
    }
    QCOMPARE(got[0].value[0], tag);
    QCOMPARE(got[0].value[5], tag);
    QCOMPARE(fieldsOf(got[1]), expected("[NEXT]", {"1"}));
}

void tst_wire::wholeChunk_data()
{
    QTest::addColumn<QByteArray>("chunk");
    QTest::addColumn<QList<QStringList>>("delivered");
    const QByteArray a = frame("[A]", {"1", "2"});
    const QByteArray b = frame("[B]", {"x"});
    QTest::newRow("two in one chunk") << a + b
                                      << QList<QStringList>{expected("[A]", {"1", "2"}), expected("[B]", {"x"})};
    QTest::newRow("stray bytes before") << "xyz" + a << QList<QStringList>{expected("[A]", {"1", "2"})};
    QTest::newRow("01 01 before") << bytes({1, 1}) + a << QList<QStringList>{expected("[A]", {"1", "2"})};
    QTest::newRow("stray bytes between")
        << a + "junk" + b << QList<QStringList>{expected("[A]", {"1", "2"}), expected("[B]", {"x"})};
    QTest::newRow("no mark at all") << QByteArray("just text") << QList<QStringList>{};
    QTest::newRow("seven values")
        << bytes({1, 2}) + "[S]" + bytes({2, 4}) + "a\x03" "b\x03" "c\x03" "d\x03" "e\x03" "f\x03" "g"
               + bytes({4, 1})
        << QList<QStringList>{expected("[S]", {"a", "b", "c", "d", "e", "f"})};
    QTest::newRow("two values")
        << bytes({1, 2}) + "[S]" + bytes({2, 4}) + "a\x03" "b" + bytes({4, 1})
        << QList<QStringList>{expected("[S]", {"a", "b"})};
    QTest::newRow("no values section") << bytes({1, 2}) + "[S]" + bytes({2, 1})
                                       << QList<QStringList>{expected("[S]")};
    QTest::newRow("02 inside values")
        << bytes({1, 2}) + "[S]" + bytes({2, 4}) + "a\x02" "a\x03" "b\x03" "c\x03" "d\x03" "e\x03" "f\x02" "f"
               + bytes({4, 1})
        << QList<QStringList>{expected("[S]", {"aa", "b", "c", "d", "e", "f\x02" "f"})};
    QTest::newRow("no tag") << bytes({1, 4}) + "a" + bytes({4, 1}) + b << QList<QStringList>{expected("[B]", {"x"})};
    QTest::newRow("empty tag") << bytes({1, 2, 2, 4}) + "a" + bytes({4, 1}) + b
                               << QList<QStringList>{expected("[B]", {"x"})};
    QTest::newRow("single mark") << bytes({1}) + "[A]" << QList<QStringList>{};
}

void tst_wire::wholeChunk()
{
    QFETCH(QByteArray, chunk);
    QFETCH(QList<QStringList>, delivered);
    QCOMPARE(readAll(chunk), delivered);
    QCOMPARE(readAll(chunk, true), delivered);
}

void tst_wire::emptyValuesSectionOnBothSides()
{
    const QByteArray f = bytes({1, 2}) + "[P]" + bytes({2, 4, 4, 1});
    for (bool server : {false, true}) {
        const QList<QStringList> got = readAll(f, server);
        QCOMPARE(got.size(), 1);
        QCOMPARE(got.first(), expected("[P]"));
    }
}

void tst_wire::rawCallbackSeesTaglessFrames()
{
    FrameReader reader;
    QStringList raw;
    const QByteArray chunk = bytes({1, 4}) + "v" + bytes({4, 1}) + frame("[A]", {"1"});
    const QList<HubMessage> got =
        reader.feed(chunk, false, 0, false, [&](const HubMessage &m) { raw << m.Protocol + "|" + m.value[0]; });
    QCOMPARE(raw, (QStringList{"|v", "[A]|1"}));
    QCOMPARE(got.size(), 1);
}

void tst_wire::everySplitOfThreeMessages()
{
    const QByteArray stream = frame("[ONE]", {"a"}) + frame("[TWO]", {"", "b"}) + frame("[THREE]", {"c", "d", "e"});
    const QList<QStringList> want{expected("[ONE]", {"a"}), expected("[TWO]", {"", "b"}),
                                  expected("[THREE]", {"c", "d", "e"})};
    for (int cut = 0; cut <= stream.size(); ++cut) {
        FrameReader reader;
        QList<QStringList> got;
        for (const QByteArray &part : {stream.left(cut), stream.mid(cut)})
            for (const HubMessage &m : reader.feed(part, false, 0, false))
                got << fieldsOf(m);
        QVERIFY2(got == want, qPrintable(QString("cut at %1").arg(cut)));
        QCOMPARE(reader.pendingBytes(), 0);
    }
}

void tst_wire::randomStreamsRandomCuts()
{
    QRandomGenerator rng(20240611);
    for (int round = 0; round < 300; ++round) {
        const bool encrypt = rng.bounded(2) == 1;
        const qint32 key = qint32(rng.generate());
        QByteArray stream;
        QList<QStringList> want;
        const int count = 1 + rng.bounded(12);
        for (int n = 0; n < count; ++n) {
            QStringList fields;
            for (int f = 0; f < 7; ++f) {
                QString s;
                const int len = rng.bounded(f == 0 ? 1 : 0, 30);
                for (int k = 0; k < len; ++k) {
                    // Scrambled fields carry printable text; plain ones any byte at all.
                    s.append(QChar(encrypt ? 0x20 + rng.bounded(0x60) : rng.bounded(256)));
                }
                fields << s;
            }
            stream += BuildFrame(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6], encrypt,
                                 key);
            for (QString &s : fields)
                s = stripDelimiters(s);
            if (!fields[0].isEmpty())
                want << fields;
        }
        FrameReader reader;
        QList<QStringList> got;
        qsizetype at = 0;
        while (at < stream.size()) {
            const qsizetype len = 1 + rng.bounded(int(qMin<qsizetype>(stream.size() - at, 40)));
            for (const HubMessage &m : reader.feed(stream.mid(at, len), encrypt, key, rng.bounded(2) == 1))
                got << fieldsOf(m);
            at += len;
        }
        QVERIFY2(got == want, qPrintable(QString("round %1").arg(round)));
        QCOMPARE(reader.pendingBytes(), 0);
    }
}

void tst_wire::truncatedFrameSkippedNextDelivered()
{
    const QByteArray good = frame("[GOOD]", {"1"});
    const QByteArray truncated = frame("[CUT]", {"a", "b", "c"}).left(12);
    for (bool split : {false, true}) {
        FrameReader reader;
        QStringList tags;
        const QByteArray stream = good + truncated + good;
        const qsizetype cut = split ? good.size() + truncated.size() : stream.size();
        for (const QByteArray &part : {stream.left(cut), stream.mid(cut)})
            for (const HubMessage &m : reader.feed(part, false, 0, true))
                tags << m.Protocol;
        QCOMPARE(tags, (QStringList{"[GOOD]", "[GOOD]"}));
    }
}

void tst_wire::unclosedFrameCapped()
{
    FrameReader reader;
    QByteArray opening = bytes({1, 2}) + "[NEVER]" + bytes({2, 4});
    QVERIFY(reader.feed(opening, false, 0, true).isEmpty());
    const QByteArray filler(4096, 'z');
    int maxPending = 0;
    for (int i = 0; i < 40; ++i) {
        QVERIFY(reader.feed(filler, false, 0, true).isEmpty());
        maxPending = qMax(maxPending, reader.pendingBytes());
    }
    QVERIFY(maxPending <= FrameReader::kMaxPending);
    QVERIFY(reader.droppedBytes() > FrameReader::kMaxPending);
    QVERIFY(reader.pendingBytes() < FrameReader::kMaxPending);
    // The reader keeps working once the runaway frame is gone.
    const QList<HubMessage> got = reader.feed(frame("[AFTER]", {"ok"}), false, 0, true);
    QCOMPARE(got.size(), 1);
    QCOMPARE(fieldsOf(got[0]), expected("[AFTER]", {"ok"}));
}

void tst_wire::hugeFrameDroppedThenStreamRecovers()
{
    const QByteArray huge = frame("[HUGE]", {QString(3 * FrameReader::kMaxPending, QLatin1Char('h'))});
    const QByteArray stream = frame("[A]") + huge + frame("[B]") + frame("[C]");
    FrameReader reader;
    QStringList tags;
    for (qsizetype at = 0; at < stream.size(); at += 1000) {
        for (const HubMessage &m : reader.feed(stream.mid(at, 1000), false, 0, false))
            tags << m.Protocol;
        QVERIFY(reader.pendingBytes() <= FrameReader::kMaxPending);
    }
    QCOMPARE(tags, (QStringList{"[A]", "[B]", "[C]"}));
}

void tst_wire::garbageNeverDeliversOrGrows()
{
    QRandomGenerator rng(77);
    FrameReader reader;
    for (int i = 0; i < 2000; ++i) {
        QByteArray junk;
        const int len = rng.bounded(1, 200);
        for (int k = 0; k < len; ++k)
            junk.append(char(rng.bounded(5, 256))); // no delimiter bytes at all
        QVERIFY(reader.feed(junk, false, 0, true).isEmpty());
        QCOMPARE(reader.pendingBytes(), 0);
    }
    // Random bytes including marks: whatever comes out, the buffer stays bounded.
    for (int i = 0; i < 2000; ++i) {
        QByteArray junk;
        const int len = rng.bounded(1, 300);
        for (int k = 0; k < len; ++k)
            junk.append(char(rng.bounded(0, 8)));
        reader.feed(junk, rng.bounded(2) == 1, 3, true);
        QVERIFY(reader.pendingBytes() <= FrameReader::kMaxPending);
    }
}

QTEST_GUILESS_MAIN(tst_wire)
#include "tst_wire.moc"

// libFuzzer target for the hub's message parser and frame builder.
//
// Input: byte 0 holds flags (bit 0 scrambling, bit 1 server side), bytes 1..4 the key,
// byte 5 seeds where the stream is cut into reads; the rest is the payload.
// Two checks run on every input:
//  1. the payload as a raw stream, cut into reads: the reader must not crash and must
//     never hold more than its cap;
//  2. the payload split at 0x00 bytes into seven fields, framed twice and fed in pieces:
//     both messages must come back, equal to the fields less the bytes that cannot travel.
#include "hub/wire.h"

#include <cstdint>
#include <cstdlib>

namespace {

struct Cutter
{
    uint32_t state;
    // Lengths of the reads, 1..64 bytes, from a small generator.
    qsizetype next()
    {
        state = state * 1103515245u + 12345u;
        return 1 + qsizetype((state >> 16) % 64);
    }
};

void check(bool ok)
{
    if (!ok)
        abort();
}

QList<HubMessage> feedInPieces(FrameReader &reader, const QByteArray &stream, Cutter cut, bool encrypt, qint32 key,
                               bool server)
{
    QList<HubMessage> out;
    qsizetype at = 0;
    while (at < stream.size()) {
        const qsizetype len = qMin(cut.next(), stream.size() - at);
        out += reader.feed(stream.mid(at, len), encrypt, key, server, [](const HubMessage &) {});
        check(reader.pendingBytes() <= FrameReader::kMaxPending);
        at += len;
    }
    return out;
}

bool isSubsequence(const QString &part, const QString &whole)
{
    qsizetype at = 0;
    for (QChar ch : part) {
        at = whole.indexOf(ch, at);
        if (at < 0)
            return false;
        ++at;
    }
    return true;
}

bool travelsWhole(const QString &s)
{
    for (QChar ch : s) {
        if (ch.unicode() < 0x05 || ch.unicode() > 0x81)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 6)
        return 0;
    const bool encrypt = data[0] & 1;
    const bool server = data[0] & 2;
    const qint32 key = qint32(uint32_t(data[1]) | uint32_t(data[2]) << 8 | uint32_t(data[3]) << 16
                              | uint32_t(data[4]) << 24);
    const Cutter cut{data[5]};
    const QByteArray payload(reinterpret_cast<const char *>(data + 6), qsizetype(size - 6));

    // 1. Anything at all, read by read.
    {
        FrameReader reader;
        feedInPieces(reader, payload, cut, encrypt, key, server);
        // And the same bytes as one read.
        FrameReader whole;
        whole.feed(payload, encrypt, key, server);
        check(whole.pendingBytes() <= FrameReader::kMaxPending);
    }

    // 2. Fields from the payload, framed, must come back (frames within the reader's cap).
    if (payload.size() + 11 <= FrameReader::kMaxPending) {
        QStringList fields = QString::fromLatin1(payload).split(QChar(0));
        while (fields.size() < 7)
            fields << QString();
        fields = fields.mid(0, 7);
        QStringList plain;
        for (QString f : fields) {
            for (char c = 1; c <= 4; ++c)
                f.remove(QChar(c));
            plain << f;
        }
        const QByteArray frame =
            BuildFrame(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6], encrypt, key);
        int delimiters = 0;
        for (char c : frame)
            delimiters += (c >= 1 && c <= 4);
        check(delimiters == 11);

        FrameReader reader;
        const QList<HubMessage> got = feedInPieces(reader, frame + frame, cut, encrypt, key, server);
        check(reader.pendingBytes() == 0);
        const QByteArray tagBytes = frame.mid(2, frame.indexOf('\x02', 2) - 2);
        check(got.size() == (tagBytes.isEmpty() ? 0 : 2));
        for (const HubMessage &m : got) {
            const QString out[7] = {m.Protocol, m.value[0], m.value[1], m.value[2],
                                    m.value[3], m.value[4], m.value[5]};
            for (int i = 0; i < 7; ++i) {
                if (!encrypt || travelsWhole(plain[i]))
                    check(out[i] == plain[i]);
                else
                    check(isSubsequence(out[i], plain[i]));
            }
        }
    }
    return 0;
}

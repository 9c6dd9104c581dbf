#pragma once
// The checks of the wire fuzz target, shared with the replay test of its corpus.
//
// Input: byte 0 holds flags (bit 0 scrambling, bit 1 server side), bytes 1..4 the key,
// byte 5 seeds where the stream is cut into reads; the rest is the payload.
// Two checks run on every input:
//  1. the payload as a raw stream, cut into reads: the reader must not crash and must
//     never hold more than its cap;
//  2. the payload split at 0x00 bytes into seven fields, framed twice and fed in pieces:
//     both messages must come back, equal to the fields less the bytes that cannot travel.
#include "hub/wire.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace WireChecks {

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

// Feeds the stream in reads cut by cut; *capExceeded is set when the reader ever held more than its cap.
inline QList<HubMessage> feedInPieces(FrameReader &reader, const QByteArray &stream, Cutter cut, bool encrypt,
                                      qint32 key, bool server, bool *capExceeded)
{
    QList<HubMessage> out;
    qsizetype at = 0;
    while (at < stream.size()) {
        const qsizetype len = qMin(cut.next(), stream.size() - at);
        out += reader.feed(stream.mid(at, len), encrypt, key, server, [](const HubMessage &) {});
        if (reader.pendingBytes() > FrameReader::kMaxPending)
            *capExceeded = true;
        at += len;
    }
    return out;
}

inline bool isSubsequence(const QString &part, const QString &whole)
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

inline bool travelsWhole(const QString &s)
{
    for (QChar ch : s) {
        if (ch.unicode() < 0x05 || ch.unicode() > 0x81)
            return false;
    }
    return true;
}

// Empty when the parser and the builder behave on this input; otherwise what went wrong.
inline QString problem(const uint8_t *data, size_t size)
{
    if (size < 6)
        return {};
    const bool encrypt = data[0] & 1;
    const bool server = data[0] & 2;
    const qint32 key = qint32(uint32_t(data[1]) | uint32_t(data[2]) << 8 | uint32_t(data[3]) << 16
                              | uint32_t(data[4]) << 24);
    const Cutter cut{data[5]};
    const QByteArray payload(reinterpret_cast<const char *>(data + 6), qsizetype(size - 6));

    // 1. Anything at all, read by read, and the same bytes as one read.
    {
        bool over = false;
        FrameReader reader;
        feedInPieces(reader, payload, cut, encrypt, key, server, &over);
        if (over)
            return QStringLiteral("the reader held more than its cap");
        FrameReader whole;
        whole.feed(payload, encrypt, key, server);
        if (whole.pendingBytes() > FrameReader::kMaxPending)
            return QStringLiteral("the reader held more than its cap after one read");
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
        if (delimiters != 11)
            return QStringLiteral("a built frame holds %1 delimiter bytes instead of 11").arg(delimiters);

        bool over = false;
        FrameReader reader;
        const QList<HubMessage> got = feedInPieces(reader, frame + frame, cut, encrypt, key, server, &over);
        if (over || reader.pendingBytes() != 0)
            return QStringLiteral("bytes were left in the reader after two whole frames");
        const QByteArray tagBytes = frame.mid(2, frame.indexOf('\x02', 2) - 2);
        const int expected = tagBytes.isEmpty() ? 0 : 2;
        if (got.size() != expected)
            return QStringLiteral("%1 messages came back instead of %2").arg(got.size()).arg(expected);
        for (const HubMessage &m : got) {
            const QString out[7] = {m.Protocol, m.value[0], m.value[1], m.value[2],
                                    m.value[3], m.value[4], m.value[5]};
            for (int i = 0; i < 7; ++i) {
                const bool ok = (!encrypt || travelsWhole(plain[i])) ? out[i] == plain[i]
                                                                     : isSubsequence(out[i], plain[i]);
                if (!ok)
                    return QStringLiteral("field %1 came back as '%2' instead of '%3'").arg(i).arg(out[i], plain[i]);
            }
        }
    }
    return {};
}

} // namespace WireChecks

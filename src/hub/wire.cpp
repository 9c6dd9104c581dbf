#include "hub/wire.h"

namespace {

constexpr char kMessageMark = '\x01';
constexpr char kTagMark = '\x02';
constexpr char kValueSeparator = '\x03';
constexpr char kValuesMark = '\x04';

constexpr quint32 kMultiplier = 134775813u; // 0x08088405

bool isDelimiter(uchar b) { return b >= 0x01 && b <= 0x04; }

quint32 advance(quint32 state) { return state * kMultiplier + 1u; }

// A field as it goes on the wire: Latin-1, no delimiter byte, scrambled when asked.
// Scrambling is positional, so a byte that would come out as a delimiter is left out
// without advancing the generator; the receiver then descrambles the rest unchanged.
QByteArray wireField(const QString &text, bool encrypt, qint32 key)
{
    const QByteArray raw = text.toLatin1();
    QByteArray out;
    out.reserve(raw.size());
    quint32 state = quint32(key);
    for (char c : raw) {
        const uchar b = uchar(c);
        if (isDelimiter(b))
            continue;
        if (!encrypt) {
            out.append(c);
            continue;
        }
        const quint32 next = advance(state);
        const uchar s = uchar(b + uchar(next >> 25));
        if (isDelimiter(s))
            continue;
        state = next;
        out.append(char(s));
    }
    return out;
}

// The text from the first mark through the second, both included; the buffer is cut to
// begin at the first mark. Fewer than two marks: empty section, buffer untouched.
QByteArray takeSection(QByteArray &buffer, char mark)
{
    const qsizetype first = buffer.indexOf(mark);
    if (first < 0)
        return {};
    const qsizetype second = buffer.indexOf(mark, first + 1);
    if (second < 0)
        return {};
    QByteArray section = buffer.mid(first, second - first + 1);
    buffer.remove(0, first);
    return section;
}

// A section without its two marks; a bare pair of marks is an empty section.
QByteArray inner(const QByteArray &section)
{
    return section.size() >= 2 ? section.mid(1, section.size() - 2) : QByteArray();
}

QByteArray takeValue(QByteArray &values)
{
    const qsizetype sep = values.indexOf(kValueSeparator);
    if (sep < 0) {
        QByteArray value = values;
        values.clear();
        return value;
    }
    QByteArray value;
    value.reserve(sep);
    for (qsizetype i = 0; i < sep; ++i) {
        const char c = values.at(i);
        if (c != kMessageMark && c != kTagMark && c != kValuesMark)
            value.append(c);
    }
    values.remove(0, sep + 1);
    return value;
}

} // namespace

QByteArray Scramble(const QByteArray &field, qint32 key)
{
    QByteArray out(field.size(), Qt::Uninitialized);
    quint32 state = quint32(key);
    for (qsizetype i = 0; i < field.size(); ++i) {
        state = advance(state);
        out[i] = char(uchar(uchar(field.at(i)) + uchar(state >> 25)));
    }
    return out;
}

QByteArray Descramble(const QByteArray &field, qint32 key)
{
    QByteArray out(field.size(), Qt::Uninitialized);
    quint32 state = quint32(key);
    for (qsizetype i = 0; i < field.size(); ++i) {
        state = advance(state);
        out[i] = char(uchar(uchar(field.at(i)) - uchar(state >> 25)));
    }
    return out;
}

QByteArray BuildFrame(const QString &Protocol, const QString &v1, const QString &v2, const QString &v3,
                      const QString &v4, const QString &v5, const QString &v6, bool Encrypt, qint32 EncryptKey)
{
    const QString *values[6] = {&v1, &v2, &v3, &v4, &v5, &v6};
    QByteArray frame;
    frame.append(kMessageMark).append(kTagMark);
    frame.append(wireField(Protocol, Encrypt, EncryptKey));
    frame.append(kTagMark).append(kValuesMark);
    for (int i = 0; i < 6; ++i) {
        if (i > 0)
            frame.append(kValueSeparator);
        frame.append(wireField(*values[i], Encrypt, EncryptKey));
    }
    frame.append(kValuesMark).append(kMessageMark);
    return frame;
}

HubMessage ParseFrame(const QByteArray &frame, bool Encrypt, qint32 EncryptKey, bool serverSide)
{
    QByteArray rest = frame;
    QByteArray tag = inner(takeSection(rest, kTagMark));
    QByteArray values = inner(takeSection(rest, kValuesMark));
    QByteArray parts[6];
    for (auto &part : parts) {
        if (!values.isEmpty())
            part = takeValue(values);
    }
    if (Encrypt) {
        tag = Descramble(tag, EncryptKey);
        for (auto &part : parts)
            part = Descramble(part, EncryptKey);
    }
    // What an empty values section used to leave behind in the first value.
    if (serverSide && parts[0].size() == 2 && parts[0].at(0) == kValuesMark)
        parts[0].clear();
    HubMessage msg;
    msg.Protocol = QString::fromLatin1(tag);
    for (int i = 0; i < 6; ++i)
        msg.value[i] = QString::fromLatin1(parts[i]);
    return msg;
}

QList<HubMessage> FrameReader::feed(const QByteArray &chunk, bool Encrypt, qint32 EncryptKey, bool serverSide,
                                    const std::function<void(const HubMessage &)> &onRaw)
{
    QList<HubMessage> out;
    if (m_pending.isEmpty()) {
        // Bytes before the first message mark belong to no frame.
        const qsizetype start = chunk.indexOf(kMessageMark);
        if (start < 0)
            return out;
        m_pending = chunk.mid(start);
        m_scanned = 0;
    } else {
        m_pending.append(chunk);
    }

    qsizetype pos = 0; // opening mark of the frame being cut
    qsizetype scanFrom = pos + 1 + m_scanned;
    for (;;) {
        const qsizetype close = m_pending.indexOf(kMessageMark, scanFrom);
        if (close < 0) {
            m_scanned = m_pending.size() - pos - 1;
            break;
        }
        // A frame always ends "04 01" and the next always begins "01 02": a mark right after a
        // frame that ends otherwise opens the next one, so the truncated frame is skipped
        // instead of swallowing the frame after it.
        if (close + 1 < m_pending.size() && m_pending.at(close + 1) == kTagMark
            && m_pending.at(close - 1) != kValuesMark) {
            pos = close;
            scanFrom = pos + 1;
            continue;
        }
        const HubMessage msg = ParseFrame(m_pending.mid(pos, close - pos + 1), Encrypt, EncryptKey, serverSide);
        if (onRaw)
            onRaw(msg);
        if (!msg.Protocol.isEmpty())
            out.append(msg);
        const qsizetype next = m_pending.indexOf(kMessageMark, close + 1);
        if (next < 0) {
            clear();
            return out;
        }
        pos = next;
        scanFrom = pos + 1;
    }
    m_pending.remove(0, pos);
    if (m_pending.size() > kMaxPending) {
        // A frame that never closes: forget it rather than grow without end.
        m_dropped += m_pending.size();
        clear();
    }
    return out;
}

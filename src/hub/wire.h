#pragma once
// Bytes of a message on the stream: 01 02 tag 02 04 v1 03 v2 03 v3 03 v4 03 v5 03 v6 04 01.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

struct HubMessage
{
    QString Protocol;
    QString value[6]; // value1 .. value6
};

// Both hub components start with the same key, so they understand each other out of the box.
constexpr qint32 kDefaultEncryptKey = 1972;

// Fields travel as Latin-1; the four delimiter bytes 0x01..0x04 are removed from every field.
// With Encrypt on, a byte that would scramble to a delimiter is left out as well.
QByteArray BuildFrame(const QString &Protocol, const QString &v1, const QString &v2, const QString &v3,
                      const QString &v4, const QString &v5, const QString &v6, bool Encrypt, qint32 EncryptKey);
QByteArray Scramble(const QByteArray &field, qint32 key);
QByteArray Descramble(const QByteArray &field, qint32 key);

// Keeps the unfinished bytes of one connection between reads, so a frame cut by TCP
// is finished when the rest arrives. The unfinished part is capped.
class FrameReader
{
public:
    static constexpr int kMaxPending = 64 * 1024;
    // Appends a chunk and returns every whole frame it completes, in stream order;
    // each frame is parsed as one chunk: tag and six values, descrambled when asked.
    // Frames without a tag are skipped; onRaw (if set) sees every frame cut, tag or not, for the log.
    QList<HubMessage> feed(const QByteArray &chunk, bool Encrypt, qint32 EncryptKey,
                           bool serverSide, const std::function<void(const HubMessage &)> &onRaw = {});
    void clear()
    {
        m_pending.clear();
        m_scanned = 0;
    }
    int pendingBytes() const { return int(m_pending.size()); }
    // Unfinished bytes thrown away because they passed kMaxPending, since construction.
    qint64 droppedBytes() const { return m_dropped; }

private:
    QByteArray m_pending; // empty, or begins at the opening 0x01 of a frame not closed yet
    qsizetype m_scanned = 0; // bytes of m_pending after the opening mark known to hold no 0x01
    qint64 m_dropped = 0;
};

// One frame, 0x01 through 0x01, cut into tag and six values as a single chunk would be.
HubMessage ParseFrame(const QByteArray &frame, bool Encrypt, qint32 EncryptKey, bool serverSide);

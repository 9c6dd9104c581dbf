#pragma once
// Bytes of a message on the stream: 01 02 tag 02 04 v1 03 v2 03 v3 03 v4 03 v5 03 v6 04 01.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

struct HubMessage
{
    QString Protocol;
    QString value[6]; // value1 .. value6
};

// Fields travel as Latin-1; the four delimiter bytes 0x01..0x04 are removed from every field.
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
    void clear() { m_pending.clear(); }
    int pendingBytes() const { return int(m_pending.size()); }

private:
    QByteArray m_pending;
};

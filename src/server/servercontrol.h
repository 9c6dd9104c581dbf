#pragma once
// The operator's local door to a running server: a UNIX socket that only the server's user may use.
// A connection sends one command line (servercommands.h), gets the answer, and is closed.
#include <QHash>
#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;
class TableServer;

class ServerControl : public QObject
{
public:
    explicit ServerControl(TableServer *server, QObject *parent = nullptr);
    ~ServerControl() override;

    // False with errorText() when the socket cannot be made, when others may write to its folder
    // (they could put a socket of theirs in its place), or when another server answers on it.
    bool listen(const QString &path);
    QString errorText() const { return m_error; }
    QString path() const { return m_path; }

private:
    void onNewConnection();
    void onReadable(QLocalSocket *socket);
    bool fail(const QString &why);

    TableServer *m_server;
    QLocalServer *m_local;
    QString m_path;
    QString m_error;
};

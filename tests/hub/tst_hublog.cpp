// The hub's log file, its error texts and the choice of the address shown to the user.
#include "hub/hublog.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>

class tst_hublog : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { setLocalAddressProvider({}); }
    void appendCreatesThenAppends();
    void appendKeepsLatin1AndCommas();
    void appendFailureIsSwallowed_data();
    void appendFailureIsSwallowed();
    void errorTexts_data();
    void errorTexts();
    void errorKinds_data();
    void errorKinds();
    void preferredAddress_data();
    void preferredAddress();
    void preferredAddressFromProvider();
    void seatKeysNeverLogged();
};

void tst_hublog::seatKeysNeverLogged()
{
    QCOMPARE(LogLine("[S] ", {"[SEATKEY]", "a1b2c3", "", ""}), QStringLiteral("[S] [SEATKEY],********,,"));
    QCOMPARE(LogLine("[R] ", {"[REJOIN]", "Ann", "a1b2c3"}), QStringLiteral("[R] [REJOIN],Ann,********"));
    // Other messages, and a message cut short, stay as they are.
    QCOMPARE(LogLine("[R] ", {"[REJOIN]", "Ann"}), QStringLiteral("[R] [REJOIN],Ann"));
    QCOMPARE(LogLine("[S] ", {"[CHAT]", "Ann", "a1b2c3"}), QStringLiteral("[S] [CHAT],Ann,a1b2c3"));
}

void tst_hublog::appendCreatesThenAppends()
{
    QTemporaryDir dir;
    const QString name = dir.filePath("gHost.log");
    QVERIFY(!QFile::exists(name));
    const QTime before = QTime::currentTime();
    AppendLog(name, "[R] [PONG],,,,,,");
    QVERIFY(QFile::exists(name));
    // A later run appends to what is there.
    AppendLog(name, "[S] [PING],1,2,3,4,5,6");
    const QTime after = QTime::currentTime();
    QFile f(name);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray all = f.readAll();
    QVERIFY(all.endsWith('\n'));
    const QList<QByteArray> lines = all.trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    const QRegularExpression form("^\\[(\\d\\d:\\d\\d:\\d\\d)\\] (.*)$");
    const QStringList entries{"[R] [PONG],,,,,,", "[S] [PING],1,2,3,4,5,6"};
    for (int i = 0; i < 2; ++i) {
        const auto m = form.match(QString::fromLatin1(lines[i]));
        QVERIFY2(m.hasMatch(), lines[i].constData());
        QCOMPARE(m.captured(2), entries[i]);
        const QTime stamp = QTime::fromString(m.captured(1), "hh:mm:ss");
        QVERIFY(stamp.isValid());
        // Written between the two clock readings (to the second), unless midnight passed.
        if (before <= after)
            QVERIFY(stamp >= before.addMSecs(-before.msec()) && stamp <= after);
    }
}

void tst_hublog::appendKeepsLatin1AndCommas()
{
    QTemporaryDir dir;
    const QString name = dir.filePath("gClient.log");
    const QString entry = QString("[S] [CHAT],Ann,caf") + QChar(0xe9) + ", ok,,";
    AppendLog(name, entry);
    QFile f(name);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray line = f.readAll();
    QVERIFY(line.contains(entry.toLatin1()));
}

void tst_hublog::appendFailureIsSwallowed_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing directory") << "no/such/dir/gHost.log";
    QTest::newRow("directory in the way") << "inTheWay";
    QTest::newRow("empty name") << "";
}

void tst_hublog::appendFailureIsSwallowed()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("inTheWay"));
    // Relative names resolve in the temporary directory: whatever the call creates shows there.
    const QString oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    AppendLog(name, "[S] [X],,,,,,"); // returns, no throw, no crash
    QStringList tree;
    QDirIterator it(dir.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        tree << QDir(dir.path()).relativeFilePath(it.next());
    QDir::setCurrent(oldCurrent);
    // Nothing was created, moved or removed: no missing directory made, no file beside or in the way.
    QVERIFY2(tree == QStringList{"inTheWay"}, qPrintable(tree.join(", ")));
    QVERIFY(QFileInfo(dir.filePath("inTheWay")).isDir());
    // A failed write leaves the log usable for the next entry.
    AppendLog(dir.filePath("gHost.log"), "[S] [Y],,,,,,");
    QFile log(dir.filePath("gHost.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().endsWith("] [S] [Y],,,,,,\n"));
}

void tst_hublog::errorTexts_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::newRow("general") << int(eeGeneral)
                             << "The socket received an error message that does not fit into any of the following "
                                "categories.";
    QTest::newRow("send") << int(eeSend) << "An error occurred when trying to write to the socket connection.";
    QTest::newRow("receive") << int(eeReceive) << "An error occurred when trying to read from the socket connection.";
    QTest::newRow("connect") << int(eeConnect)
                             << "A connection request that was already accepted could not be completed.";
    QTest::newRow("disconnect") << int(eeDisconnect) << "An error occurred when trying to close a connection.";
    QTest::newRow("accept") << int(eeAccept) << "A problem occurred when trying to accept a client connection request.";
    QTest::newRow("lookup") << int(eeLookup) << "";
    QTest::newRow("beyond") << 7 << "";
    QTest::newRow("negative") << -1 << "";
}

void tst_hublog::errorTexts()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    QCOMPARE(SocketErrorText(kind), text);
}

void tst_hublog::errorKinds_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<int>("kind");
    QTest::newRow("refused") << int(QAbstractSocket::ConnectionRefusedError) << false << int(eeConnect);
    QTest::newRow("timeout connecting") << int(QAbstractSocket::SocketTimeoutError) << false << int(eeConnect);
    QTest::newRow("network connecting") << int(QAbstractSocket::NetworkError) << false << int(eeConnect);
    QTest::newRow("network connected") << int(QAbstractSocket::NetworkError) << true << int(eeReceive);
    QTest::newRow("no such host") << int(QAbstractSocket::HostNotFoundError) << false << int(eeLookup);
    QTest::newRow("peer closed") << int(QAbstractSocket::RemoteHostClosedError) << true << -1;
    QTest::newRow("unknown") << int(QAbstractSocket::UnknownSocketError) << true << int(eeGeneral);
}

void tst_hublog::errorKinds()
{
    QFETCH(int, error);
    QFETCH(bool, connected);
    QFETCH(int, kind);
    QCOMPARE(SocketErrorKindOf(QAbstractSocket::SocketError(error), connected), kind);
}

void tst_hublog::preferredAddress_data()
{
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QString>("shown");
    QTest::newRow("private then public") << QStringList{"192.168.1.5", "203.0.113.7"} << "203.0.113.7";
    QTest::newRow("all private") << QStringList{"10.0.0.2", "192.168.1.5"} << "192.168.1.5";
    QTest::newRow("172 by prefix alone") << QStringList{"172.217.1.1"} << "172.217.1.1";
    QTest::newRow("first public wins") << QStringList{"10.1.1.1", "8.8.4.4", "9.9.9.9", "10.2.2.2"} << "8.8.4.4";
    QTest::newRow("public first") << QStringList{"203.0.113.7", "10.0.0.1"} << "203.0.113.7";
    QTest::newRow("prefix is text") << QStringList{"100.64.0.1", "10.0.0.1"} << "100.64.0.1";
    QTest::newRow("empty") << QStringList{} << "";
}

void tst_hublog::preferredAddress()
{
    QFETCH(QStringList, addresses);
    QFETCH(QString, shown);
    QCOMPARE(PreferredLocalAddress(addresses), shown);
}

void tst_hublog::preferredAddressFromProvider()
{
    setLocalAddressProvider([] { return QStringList{"10.0.0.2", "198.51.100.1"}; });
    QCOMPARE(PreferredLocalAddress(), QString("198.51.100.1"));
    setLocalAddressProvider([] { return QStringList{}; });
    QCOMPARE(PreferredLocalAddress(), QString());
}

QTEST_GUILESS_MAIN(tst_hublog)
#include "tst_hublog.moc"

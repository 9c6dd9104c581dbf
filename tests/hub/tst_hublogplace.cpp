// Where the hub's message log goes when the working folder cannot take it.
#include "hub/hublog.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestHubLogPlace : public QObject
{
    Q_OBJECT
private slots:
    void unwritableWorkingFolderSendsTheLogToTheUsersDataFolder();
};

void TestHubLogPlace::unwritableWorkingFolderSendsTheLogToTheUsersDataFolder()
{
    QTemporaryDir data;
    QVERIFY(data.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    const QString before = QDir::currentPath();
    {
        // A working folder that is gone takes no file, whoever runs the test (root writes anywhere else).
        QTemporaryDir gone;
        QVERIFY(QDir::setCurrent(gone.path()));
    }
    AppendLog(QStringLiteral("gHost.log"), QStringLiteral("[R] [PONG],,,,,,"));
    AppendLog(QStringLiteral("gHost.log"), QStringLiteral("[S] [PING],,,,,,"));
    QVERIFY(QDir::setCurrent(before));

    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    QVERIFY(folder.startsWith(data.path()));
    QFile log(QDir(folder).filePath(QStringLiteral("gHost.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines[0].endsWith("] [R] [PONG],,,,,,"));
    QVERIFY(lines[1].endsWith("] [S] [PING],,,,,,"));
}

QTEST_GUILESS_MAIN(TestHubLogPlace)
#include "tst_hublogplace.moc"

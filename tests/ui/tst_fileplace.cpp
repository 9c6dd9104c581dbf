// Where the settings file goes: beside the program when it can be written there, else in the
// user's configuration folder.
#include "ui/fileplace.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestFilePlace : public QObject
{
    Q_OBJECT
private slots:
    void writableFolderKeepsTheFile();
    void unwritableFolderSendsItToTheUser();
};

void TestFilePlace::writableFolderKeepsTheFile()
{
    QTemporaryDir dir, user;
    QCOMPARE(writablePlace(dir.path() + QLatin1Char('/'), QStringLiteral("Quadrix.INI"), user.path()),
             dir.filePath(QStringLiteral("Quadrix.INI")));
}

void TestFilePlace::unwritableFolderSendsItToTheUser()
{
    QTemporaryDir dir, user;
    // Nothing can be created below a file, whatever the rights of the user running the test.
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString programDir = blocker.fileName() + QLatin1Char('/');
    QCOMPARE(writablePlace(programDir, QStringLiteral("Quadrix.INI"), user.path()),
             user.filePath(QStringLiteral("Quadrix.INI")));
    // Without a folder of the user's the usual place stays, and its failure is reported there.
    QCOMPARE(writablePlace(programDir, QStringLiteral("Quadrix.INI"), QString()),
             blocker.fileName() + QStringLiteral("/Quadrix.INI"));
}

QTEST_GUILESS_MAIN(TestFilePlace)
#include "tst_fileplace.moc"

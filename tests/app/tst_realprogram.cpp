// The real executable as a user starts it: without arguments, on an X display (xvfb-run), from a
// directory of its own. Its window must appear; SIGTERM closes it like the window's close button,
// so the program ends cleanly and writes its settings file beside the executable.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

class TestRealProgram : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void closingWritesTheLoadedSettings();
    void firstStartWritesTheDefaults();

private:
    struct Run
    {
        int exitCode = -1;
        bool finished = false;
        QString output;
    };
    // Copies the executable into dir, runs it there under a virtual X server, waits for the window and
    // closes it with SIGTERM.
    Run runInDirectory(const QString &dir);
    QString m_xvfbRun;
};

void TestRealProgram::initTestCase()
{
    m_xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    if (m_xvfbRun.isEmpty())
        QSKIP("xvfb-run is not installed (Debian package xvfb): the real program cannot be started here");
    if (QStandardPaths::findExecutable(QStringLiteral("xwininfo")).isEmpty())
        QSKIP("xwininfo is not installed (Debian package x11-utils): the window cannot be waited for");
    QVERIFY2(QFileInfo::exists(QStringLiteral(QUADRIX_APP_PATH)), QUADRIX_APP_PATH " has not been built");
}

TestRealProgram::Run TestRealProgram::runInDirectory(const QString &dir)
{
    Run run;
    const QString exe = dir + QStringLiteral("/quadrix");
    if (!QFile::copy(QStringLiteral(QUADRIX_APP_PATH), exe))
        return run;
    QFile::setPermissions(exe, QFile::permissions(exe) | QFile::ExeOwner);

    QProcess p;
    p.setWorkingDirectory(dir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM")); // the suite runs offscreen; this program gets the X server
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(m_xvfbRun, {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1024x768x24"),
                        QStringLiteral("/bin/sh"), QStringLiteral(QUADRIX_SOURCE_DIR "/tests/app/run_and_close.sh"),
                        QStringLiteral("40"), exe});
    run.finished = p.waitForFinished(90000);
    if (!run.finished) {
        p.kill();
        p.waitForFinished(5000);
    }
    run.output = QString::fromLocal8Bit(p.readAll());
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return run;
}

void TestRealProgram::closingWritesTheLoadedSettings()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ini = dir.filePath(QStringLiteral("Quadrix.INI"));
    {
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[CONNECTION]\nNICK=Ann\nHOST=example.org\nPORT=2345\n");
    }
    // An old time stamp: the file must be written again at the close, not merely left in place.
    const QDateTime old(QDate(2001, 1, 1), QTime(12, 0), Qt::UTC);
    {
        QFile f(ini);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(old, QFileDevice::FileModificationTime));
    }

    const Run run = runInDirectory(dir.path());
    QVERIFY2(run.finished, qPrintable(run.output));
    QVERIFY2(run.output.contains(QStringLiteral("window shown")), qPrintable(run.output));
    QVERIFY2(run.exitCode == 0, qPrintable(QStringLiteral("exit code %1: %2").arg(run.exitCode).arg(run.output)));

    QVERIFY(QFileInfo(ini).lastModified() > old.addSecs(3600));
    QSettings s(ini, QSettings::IniFormat);
    QCOMPARE(s.childGroups(), QStringList{QStringLiteral("CONNECTION")});
    QCOMPARE(s.value(QStringLiteral("CONNECTION/NICK")).toString(), QStringLiteral("Ann"));
    QCOMPARE(s.value(QStringLiteral("CONNECTION/HOST")).toString(), QStringLiteral("example.org"));
    QCOMPARE(s.value(QStringLiteral("CONNECTION/PORT")).toString(), QStringLiteral("2345"));
}

void TestRealProgram::firstStartWritesTheDefaults()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ini = dir.filePath(QStringLiteral("Quadrix.INI"));
    QVERIFY(!QFileInfo::exists(ini));

    const Run run = runInDirectory(dir.path());
    QVERIFY2(run.finished, qPrintable(run.output));
    QVERIFY2(run.output.contains(QStringLiteral("window shown")), qPrintable(run.output));
    QVERIFY2(run.exitCode == 0, qPrintable(QStringLiteral("exit code %1: %2").arg(run.exitCode).arg(run.output)));

    QVERIFY2(QFileInfo::exists(ini), "no settings file beside the executable");
    QFile raw(ini);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    const QByteArray text = raw.readAll();
    QVERIFY2(text.startsWith("[CONNECTION]"), text.constData());
    QSettings s(ini, QSettings::IniFormat);
    QCOMPARE(s.value(QStringLiteral("CONNECTION/NICK")).toString(), QSysInfo::machineHostName());
    QCOMPARE(s.value(QStringLiteral("CONNECTION/HOST")).toString(), QStringLiteral("localhost"));
    QCOMPARE(s.value(QStringLiteral("CONNECTION/PORT")).toString(), QStringLiteral("110"));
}

QTEST_GUILESS_MAIN(TestRealProgram)
#include "tst_realprogram.moc"

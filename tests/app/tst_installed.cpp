// The program as a package installs it: `cmake --install` into a staging folder (DESTDIR), the
// installed files and what the desktop's validators say of them, and the installed executable run
// under a virtual X server by a user who cannot write its folder (as /usr/bin is once installed).
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

namespace {

const QString kId = QStringLiteral(QUADRIX_APP_ID);

// Width and height from a PNG file's header chunk; an invalid size when it is no PNG.
QSize pngSize(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = f.read(24);
    if (head.size() < 24 || !head.startsWith("\x89PNG\r\n\x1a\n") || head.mid(12, 4) != "IHDR")
        return {};
    auto be32 = [&head](int at) {
        return int(quint8(head[at]) << 24 | quint8(head[at + 1]) << 16 | quint8(head[at + 2]) << 8 | quint8(head[at + 3]));
    };
    return QSize(be32(16), be32(20));
}

} // namespace

class TestInstalled : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void installsTheProgramsAndTheirDesktopFiles();
    void desktopFilesPassTheirValidators();
    void answersHelpAndVersionWithoutADisplay();
    void keepsTheSettingsInTheUsersFolder();
    void signalEndIsNotHeldUpWhenNothingCanBeWritten();

private:
    struct Run
    {
        bool finished = false;
        int exitCode = -1;
        QString output;
        int endMs = -1; // from SIGTERM to the end of the program
    };
    // Starts the installed program under a virtual X server as a user who cannot write its folder,
    // with `configHome` as that user's configuration folder, waits for the window and sends SIGTERM.
    Run runAsUser(const QString &configHome, const QStringList &arguments = {});
    // A folder the user of runAsUser owns and may write.
    QString userFolder(const QString &name);
    QString installed(const QString &path) const { return m_stage + QStringLiteral("/usr/") + path; }
    QString exe() const { return installed(QStringLiteral("bin/quadrix")); }

    QTemporaryDir m_root;
    QString m_stage;
    QString m_xvfbRun;
    QStringList m_asUser; // the launcher that runs a command as the unprivileged user
    uid_t m_uid = 0;
    gid_t m_gid = 0;
};

void TestInstalled::initTestCase()
{
    QVERIFY(m_root.isValid());
    // Whoever runs the installed program must reach it through this folder.
    QVERIFY(QFile::setPermissions(m_root.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                     | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                                                     | QFile::ExeOther));
    m_stage = m_root.filePath(QStringLiteral("stage"));

    QProcess install;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DESTDIR"), m_stage);
    install.setProcessEnvironment(env);
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(CMAKE_COMMAND),
                  {QStringLiteral("--install"), QStringLiteral(QUADRIX_BUILD_DIR), QStringLiteral("--prefix"), QStringLiteral("/usr")});
    QVERIFY(install.waitForFinished(60000));
    QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0, install.readAll().constData());

    // As root the test cannot lose its own rights to a folder: the program runs as "nobody".
    // Anybody else loses the right to write the folder of the executable.
    if (::geteuid() == 0) {
        const passwd *nobody = ::getpwnam("nobody");
        if (!nobody)
            QSKIP("the user nobody does not exist here: the program cannot run unprivileged");
        if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            QSKIP("setpriv is not installed (Debian package util-linux)");
        m_uid = nobody->pw_uid;
        m_gid = nobody->pw_gid;
        m_asUser = {QStringLiteral("setpriv"), QStringLiteral("--reuid=%1").arg(m_uid),
                    QStringLiteral("--regid=%1").arg(m_gid), QStringLiteral("--clear-groups")};
    } else {
        m_uid = ::getuid();
        m_gid = ::getgid();
    }
    QVERIFY(QFile::setPermissions(installed(QStringLiteral("bin")), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup
                                                                      | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    m_xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
}

void TestInstalled::cleanupTestCase()
{
    // The folders taken away from the user must be removable again.
    QDirIterator it(m_root.path(), QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString dir = it.next();
        QFile::setPermissions(dir, QFile::permissions(dir) | QFile::WriteOwner);
    }
}

void TestInstalled::installsTheProgramsAndTheirDesktopFiles()
{
    QStringList expected = {QStringLiteral("usr/bin/quadrix"), QStringLiteral("usr/bin/quadrix-bot"),
                            QStringLiteral("usr/bin/quadrix-server"), QStringLiteral("etc/quadrix/server.ini"),
                            QStringLiteral("usr/lib/systemd/system/quadrix-server.service"),
                            QStringLiteral("usr/share/applications/%1.desktop").arg(kId),
                            QStringLiteral("usr/share/metainfo/%1.metainfo.xml").arg(kId),
                            QStringLiteral("usr/share/icons/hicolor/scalable/apps/%1.svg").arg(kId)};
    const int sizes[] = {16, 32, 48, 64, 128, 256};
    for (int size : sizes)
        expected << QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kId);
    QStringList found;
    QDirIterator it(m_stage, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(m_stage).relativeFilePath(it.next());
    expected.sort();
    found.sort();
    QCOMPARE(found, expected);

    for (const QString &program :
         {QStringLiteral("bin/quadrix"), QStringLiteral("bin/quadrix-bot"), QStringLiteral("bin/quadrix-server")})
        QVERIFY2(QFileInfo(installed(program)).permissions() & QFile::ExeOther, qPrintable(program));
    // The service starts the program where this installation put it, with the installed settings.
    QFile unit(m_stage + QStringLiteral("/usr/lib/systemd/system/quadrix-server.service"));
    QVERIFY(unit.open(QIODevice::ReadOnly));
    QVERIFY(unit.readAll().contains("\nExecStart=/usr/bin/quadrix-server --config /etc/quadrix/server.ini\n"));
    for (int size : sizes)
        QCOMPARE(pngSize(installed(QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kId))),
                 QSize(size, size));
    QFile svg(installed(QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(kId)));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    const QByteArray drawing = svg.readAll();
    QVERIFY(drawing.startsWith("<svg xmlns=\"http://www.w3.org/2000/svg\""));
    QVERIFY(drawing.count("<path ") >= 3); // at least the three cards of the fan

    QFile entry(installed(QStringLiteral("share/applications/%1.desktop").arg(kId)));
    QVERIFY(entry.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(entry.readAll()).split(QLatin1Char('\n'));
    QVERIFY(lines.contains(QStringLiteral("Exec=quadrix %u"))); // a clicked invitation link comes as the argument
    QVERIFY(lines.contains(QStringLiteral("MimeType=x-scheme-handler/quadrix;")));
    QVERIFY(lines.contains(QStringLiteral("Icon=") + kId));
    QVERIFY(lines.contains(QStringLiteral("Categories=Game;CardGame;")));
}

void TestInstalled::desktopFilesPassTheirValidators()
{
    const QString desktopValidate = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    const QString appstreamcli = QStandardPaths::findExecutable(QStringLiteral("appstreamcli"));
    if (desktopValidate.isEmpty() || appstreamcli.isEmpty())
        QSKIP("desktop-file-validate or appstreamcli is missing (Debian packages desktop-file-utils, appstream)");

    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(desktopValidate, {installed(QStringLiteral("share/applications/%1.desktop").arg(kId))});
    QVERIFY(p.waitForFinished(30000));
    const QByteArray said = p.readAll();
    QVERIFY2(p.exitCode() == 0 && said.trimmed().isEmpty(), said.constData()); // not even a hint

    p.start(appstreamcli, {QStringLiteral("validate"), QStringLiteral("--no-net"),
                           installed(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(kId))});
    QVERIFY(p.waitForFinished(30000));
    QVERIFY2(p.exitCode() == 0, p.readAll().constData());
}

void TestInstalled::answersHelpAndVersionWithoutADisplay()
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb")); // would abort without a display
    p.setProcessEnvironment(env);

    p.start(exe(), {QStringLiteral("--version")});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(p.readAllStandardOutput(), QByteArray("Quadrix v1.11\n"));

    p.start(exe(), {QStringLiteral("--help")});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    const QString help = QString::fromLocal8Bit(p.readAllStandardOutput());
    QVERIFY2(help.contains(QStringLiteral("--version")) && help.contains(QStringLiteral("Quadrix.INI")), qPrintable(help));
}

QString TestInstalled::userFolder(const QString &name)
{
    const QString dir = m_root.filePath(name);
    if (!QDir().mkpath(dir) || ::chown(QFile::encodeName(dir).constData(), m_uid, m_gid) != 0)
        return QString();
    return dir;
}

TestInstalled::Run TestInstalled::runAsUser(const QString &configHome, const QStringList &arguments)
{
    Run run;
    const QString home = userFolder(QStringLiteral("home"));
    const QString runtime = userFolder(QStringLiteral("home/runtime"));
    if (home.isEmpty() || runtime.isEmpty() || !QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return run;
    QStringList command = m_asUser;
    // The X server of xvfb-run admits any local client (-ac): its key file is not the user's to read.
    command << QStringLiteral("env") << QStringLiteral("-u") << QStringLiteral("XAUTHORITY")
            << QStringLiteral("HOME=") + home << QStringLiteral("XDG_CONFIG_HOME=") + configHome
            << QStringLiteral("XDG_DATA_HOME=") + home + QStringLiteral("/.local/share")
            << QStringLiteral("XDG_RUNTIME_DIR=") + runtime << exe() << arguments;

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(m_xvfbRun, QStringList{QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-ac -screen 0 1024x768x24"),
                                   QStringLiteral("/bin/sh"), QStringLiteral(QUADRIX_SOURCE_DIR "/tests/app/run_and_close.sh"),
                                   QStringLiteral("40")}
                           + command);
    run.finished = p.waitForFinished(90000);
    if (!run.finished) {
        p.kill();
        p.waitForFinished(5000);
    }
    run.output = QString::fromLocal8Bit(p.readAll());
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    const QRegularExpressionMatch ended = QRegularExpression(QStringLiteral("ended after (\\d+) ms")).match(run.output);
    if (ended.hasMatch())
        run.endMs = ended.captured(1).toInt();
    return run;
}

void TestInstalled::keepsTheSettingsInTheUsersFolder()
{
    if (m_xvfbRun.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("xwininfo")).isEmpty())
        QSKIP("xvfb-run or xwininfo is missing (Debian packages xvfb, x11-utils)");
    const QString config = userFolder(QStringLiteral("config"));
    QVERIFY(!config.isEmpty());
    const QString ini = config + QStringLiteral("/quadrix/Quadrix.INI");

    const Run first = runAsUser(config);
    QVERIFY2(first.finished && first.exitCode == 0, qPrintable(first.output));
    QVERIFY2(first.endMs >= 0 && first.endMs < 1000, qPrintable(first.output));
    QVERIFY2(QFileInfo(ini).isFile(), qPrintable(first.output));
    QVERIFY(!QFileInfo::exists(installed(QStringLiteral("bin/Quadrix.INI"))));
    QCOMPARE(QSettings(ini, QSettings::IniFormat).value(QStringLiteral("CONNECTION/PORT")).toString(), QStringLiteral("110"));

    // Values of the user's own, and an old time stamp: the second start must read them and write them again.
    {
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[CONNECTION]\nNICK=Zoe\nHOST=example.org\nPORT=2345\n");
        QVERIFY(f.setFileTime(QDateTime(QDate(2001, 1, 1), QTime(12, 0), Qt::UTC), QFileDevice::FileModificationTime));
    }
    // Arguments other than --help and --version change nothing.
    const Run second = runAsUser(config, {QStringLiteral("--no-such-option")});
    QVERIFY2(second.finished && second.exitCode == 0, qPrintable(second.output));
    QVERIFY2(second.endMs >= 0 && second.endMs < 1000, qPrintable(second.output));
    QVERIFY(QFileInfo(ini).lastModified().date().year() > 2001);
    QSettings s(ini, QSettings::IniFormat);
    QCOMPARE(s.value(QStringLiteral("CONNECTION/NICK")).toString(), QStringLiteral("Zoe"));
    QCOMPARE(s.value(QStringLiteral("CONNECTION/HOST")).toString(), QStringLiteral("example.org"));
    QCOMPARE(s.value(QStringLiteral("CONNECTION/PORT")).toString(), QStringLiteral("2345"));
}

void TestInstalled::signalEndIsNotHeldUpWhenNothingCanBeWritten()
{
    if (m_xvfbRun.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("xwininfo")).isEmpty())
        QSKIP("xvfb-run or xwininfo is missing (Debian packages xvfb, x11-utils)");
    // A configuration folder the user may read but not write.
    const QString locked = m_root.filePath(QStringLiteral("locked"));
    QVERIFY(QDir().mkpath(locked));
    QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
                                              | QFile::ReadOther | QFile::ExeOther));

    const Run run = runAsUser(locked);
    QVERIFY2(run.finished && run.exitCode == 0, qPrintable(run.output));
    QVERIFY2(run.endMs >= 0 && run.endMs < 1000, qPrintable(run.output));
    // Told on the standard error, since nobody may be there to answer a box.
    QVERIFY2(run.output.contains(QStringLiteral("The settings could not be saved to ") + locked), qPrintable(run.output));
    QVERIFY(QDir(locked).isEmpty());
}

QTEST_GUILESS_MAIN(TestInstalled)
#include "tst_installed.moc"

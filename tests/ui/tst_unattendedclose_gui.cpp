// Ending for a termination signal (as at logout): no message box may wait for an answer, not even
// one that was already open when the signal came.
#include "ui/mainfrm.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestUnattendedClose : public QObject
{
    Q_OBJECT
private slots:
    void signalEndsABoxAlreadyOpen();
};

void TestUnattendedClose::signalEndsABoxAlreadyOpen()
{
    QTemporaryDir dir;
    // Nothing can be written below a file: the close will fail to save and open its box.
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TmainFrm w;
    w.programDir = blocker.fileName() + QLatin1Char('/');
    w.userConfigDir = blocker.fileName() + QStringLiteral("/config");
    w.show();

    bool boxWasOpen = false;
    QTimer::singleShot(0, &w, [&] {
        boxWasOpen = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()) != nullptr;
        w.closeUnattended(); // what the termination signal does
    });
    // Should the box survive the signal, the test fails instead of hanging.
    bool stuck = false;
    QTimer::singleShot(10000, &w, [&] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            stuck = true;
            modal->close();
        }
    });
    w.close();

    QVERIFY(boxWasOpen);
    QVERIFY(!stuck);
    QVERIFY(!w.isVisible());
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(TestUnattendedClose)
#include "tst_unattendedclose_gui.moc"

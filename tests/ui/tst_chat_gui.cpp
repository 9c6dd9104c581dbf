// The chat panel of a hosting window: opening and closing, sending with Enter and Alt+S, the log, colours.
#include "client/clienttable.h"
#include "support/dealhelpers.h"
#include "support/tablefixture.h"
#include "ui/chatpanel.h"
#include "ui/mainfrm.h"
#include <QAction>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>
#include <memory>

class TestChat : public QObject
{
    Q_OBJECT

    std::unique_ptr<TableFixture> fx;
    TmainFrm *w = nullptr;
    ClientTable *bob = nullptr; // another player at the table, who only talks
    QList<QColor> offered;      // what the colour chooser was opened with
    QColor answer;

    QStringList logLines() const
    {
        const QString text = w->chatLog->toPlainText();
        return text.isEmpty() ? QStringList{} : text.split(QLatin1Char('\n'));
    }

private slots:
    void initTestCase()
    {
        TChatPanel::setColorChooser([this](const QColor &initial) {
            offered << initial;
            return answer;
        });
    }

    void init()
    {
        fx = std::make_unique<TableFixture>();
        w = fx->newWindow();
        QVERIFY(fx->host(w, QStringLiteral("Ann")));
        const QList<ClientTable *> quiet = DealHelpers::seatQuietPlayers(w, {QStringLiteral("Bob")});
        QCOMPARE(quiet.size(), 1);
        bob = quiet.first();
        QVERIFY(bob->mySeat() != 0);
        w->chatLog->clear();
        offered.clear();
    }

    void cleanup()
    {
        w = nullptr;
        fx.reset();
    }

    void openAndClose()
    {
        QSignalSpy heard(bob, &ClientTable::systemLine);
        QVERIFY(!w->ChatDialog1->isChecked());
        QCOMPARE(w->chatPanel->width(), 0);
        w->ChatDialog1->trigger();
        QVERIFY(w->ChatDialog1->isChecked());
        QVERIFY(w->chatPanel->width() > 200);
        QCOMPARE(logLines(), QStringList({"[*] Ann enter chat"}));
        QTRY_COMPARE(heard.size(), 1);
        QCOMPARE(heard.at(0).at(0).toString(), QStringLiteral("[*] Ann enter chat"));

        // The outer widths are fixed; the frame the platform reports decides a few pixels of them.
        QVERIFY(qAbs(w->frameGeometry().width() - 640) <= 8);
        QTest::mouseClick(w->btnNoChat, Qt::LeftButton);
        QVERIFY(!w->ChatDialog1->isChecked());
        QVERIFY(qAbs(w->frameGeometry().width() - 363) <= 8);
        QVERIFY(w->chatPanel->width() < 10);
        QCOMPARE(logLines(), QStringList({"[*] Ann enter chat", "[*] Ann leave chat"}));

        // A closed panel still logs what arrives.
        QVERIFY(bob->say(QStringLiteral("hi")));
        QTRY_COMPARE(logLines().last(), QStringLiteral("<Bob> hi"));
    }

    void enterSends_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<QString>("left");
        QTest::newRow("plain") << "hello there" << "<Ann> hello there" << "";
        QTest::newRow("leading blanks kept") << "   indented" << "<Ann>    indented" << "";
        QTest::newRow("markup stays text") << "<b>bold</b> & co" << "<Ann> <b>bold</b> & co" << "";
        QTest::newRow("only blanks") << "    " << "" << "    ";
        QTest::newRow("empty") << "" << "" << "";
    }

    void enterSends()
    {
        QFETCH(QString, typed);
        QFETCH(QString, logged);
        QFETCH(QString, left);
        w->ChatDialog1->trigger();
        w->chatLog->clear();
        QSignalSpy heard(bob, &ClientTable::chatLine);
        w->txtInput->setText(typed);
        QTest::keyClick(w->txtInput, Qt::Key_Return);
        QCOMPARE(logLines(), logged.isEmpty() ? QStringList{} : QStringList{logged});
        QCOMPARE(w->txtInput->text(), left);
        if (logged.isEmpty())
            return;
        // The others get the line as typed.
        QTRY_COMPARE(heard.size(), 1);
        QCOMPARE(heard.at(0).at(0).toString(), QStringLiteral("Ann"));
        QCOMPARE(heard.at(0).at(1).toString(), typed);
    }

    void altSSends()
    {
        w->ChatDialog1->trigger();
        QVERIFY(QTest::qWaitForWindowActive(w));
        w->chatLog->clear();
        w->txtInput->setText(QStringLiteral("quick"));
        QTest::keyClick(w->txtInput, Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(logLines(), QStringList({"<Ann> quick"}));
        QVERIFY(w->txtInput->text().isEmpty());
        // The hidden button does not keep the focus: the next line can be typed at once.
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w->txtInput));
    }

    void receivedLinesAndClear()
    {
        QVERIFY(bob->announce(QStringLiteral("[*] Bob enter chat")));
        QVERIFY(bob->say(QStringLiteral(" <i>x</i>")));
        QTRY_COMPARE(logLines(), QStringList({"[*] Bob enter chat", "<Bob>  <i>x</i>"}));
        w->btnClear->setEnabled(true);
        QTest::mouseClick(w->btnClear, Qt::LeftButton);
        QVERIFY(logLines().isEmpty());
    }

    void colours()
    {
        w->ChatDialog1->trigger();
        const QColor text = w->chatLog->palette().color(QPalette::Text);
        answer = QColor(Qt::darkBlue);
        QTest::mouseClick(w->btnBGColor, Qt::LeftButton);
        QCOMPARE(offered, QList<QColor>({QColor(Qt::black)}));
        QCOMPARE(w->chatLog->palette().color(QPalette::Base), QColor(Qt::darkBlue));
        QCOMPARE(w->txtInput->palette().color(QPalette::Base), QColor(Qt::darkBlue));
        QCOMPARE(w->chatLog->palette().color(QPalette::Text), text);
        QCOMPARE(w->txtInput->palette().color(QPalette::Text), text);

        answer = QColor(Qt::yellow);
        QTest::mouseClick(w->btnForeColor, Qt::LeftButton);
        QCOMPARE(offered.last(), QColor(Qt::darkBlue)); // opens with the colour last chosen
        QCOMPARE(w->chatLog->palette().color(QPalette::Text), QColor(Qt::yellow));
        QCOMPARE(w->txtInput->palette().color(QPalette::Text), QColor(Qt::yellow));
        QCOMPARE(w->txtInput->palette().color(QPalette::Base), QColor(Qt::darkBlue));

        answer = QColor(); // cancelled
        QTest::mouseClick(w->btnBGColor, Qt::LeftButton);
        QCOMPARE(w->chatLog->palette().color(QPalette::Base), QColor(Qt::darkBlue));
        QCOMPARE(offered.last(), QColor(Qt::yellow));
    }

    void clickInLogFocusesInput()
    {
        w->ChatDialog1->trigger();
        QVERIFY(QTest::qWaitForWindowActive(w));
        w->btnClear->setFocus();
        QTest::mouseClick(w->chatLog->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w->txtInput));
    }
};

QTEST_MAIN(TestChat)
#include "tst_chat_gui.moc"

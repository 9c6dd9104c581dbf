// The chat panel on one window: opening and closing, sending with Enter and Alt+S, the log, colours.
#include "game/messagerouter.h"
#include "game/protocol.h"
#include "support/tablefixture.h"
#include "ui/chatpanel.h"
#include "ui/mainfrm.h"
#include <QAction>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <memory>

class TestChat : public QObject
{
    Q_OBJECT

    std::unique_ptr<TableFixture> fx;
    TmainFrm *w = nullptr;
    QList<QColor> offered; // what the colour chooser was opened with
    QColor answer;

    QStringList logLines() const
    {
        const QString text = w->chatLog->toPlainText();
        return text.isEmpty() ? QStringList{} : text.split(QLatin1Char('\n'));
    }
    void type(const QString &text)
    {
        w->txtInput->setText(text);
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
        w->st.myNick = QStringLiteral("Ann"); // after the settings were loaded on show
        offered.clear();
    }

    void cleanup()
    {
        w = nullptr;
        fx.reset();
    }

    void openAndClose()
    {
        QVERIFY(!w->ChatDialog1->isChecked());
        QCOMPARE(w->chatPanel->width(), 0);
        w->ChatDialog1->trigger();
        QVERIFY(w->ChatDialog1->isChecked());
        QVERIFY(w->chatPanel->width() > 200);
        QCOMPARE(logLines(), QStringList({"[*] Ann enter chat"}));

        // The outer widths are fixed; the frame the platform reports decides a few pixels of them.
        QVERIFY(qAbs(w->frameGeometry().width() - 640) <= 8);
        QTest::mouseClick(w->btnNoChat, Qt::LeftButton);
        QVERIFY(!w->ChatDialog1->isChecked());
        QVERIFY(qAbs(w->frameGeometry().width() - 363) <= 8);
        QVERIFY(w->chatPanel->width() < 10);
        QCOMPARE(logLines(), QStringList({"[*] Ann enter chat", "[*] Ann leave chat"}));

        // A closed panel still logs what arrives.
        w->router->dispatchGameMessage("127.0.0.1", 0, Tag::CHAT, "Bob", "hi", {}, {}, {}, {});
        QCOMPARE(logLines().last(), QStringLiteral("<Bob> hi"));
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
        type(typed);
        QTest::keyClick(w->txtInput, Qt::Key_Return);
        QCOMPARE(logLines(), logged.isEmpty() ? QStringList{} : QStringList{logged});
        QCOMPARE(w->txtInput->text(), left);
    }

    void altSSends()
    {
        w->ChatDialog1->trigger();
        QVERIFY(QTest::qWaitForWindowActive(w));
        w->chatLog->clear();
        type("quick");
        QTest::keyClick(w->txtInput, Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(logLines(), QStringList({"<Ann> quick"}));
        QVERIFY(w->txtInput->text().isEmpty());
        // The hidden button does not keep the focus: the next line can be typed at once.
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w->txtInput));
    }

    void receivedLinesAndClear()
    {
        w->router->dispatchGameMessage("127.0.0.1", 0, Tag::SYSTEM, "[*] Bob enter chat", {}, {}, {}, {}, {});
        w->router->dispatchGameMessage("127.0.0.1", 0, Tag::CHAT, "Bob", " <i>x</i>", {}, {}, {}, {});
        QCOMPARE(logLines(), QStringList({"[*] Bob enter chat", "<Bob>  <i>x</i>"}));
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

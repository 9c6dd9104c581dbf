// The link label: the address it opens, when a click opens it, the jump to a control,
// and the look under the pointer.
#include "ui/webtext.h"
#include <QLineEdit>
#include <QTest>

namespace {

// A shown window with a link label and an input to jump to, driven through the window.
struct Page
{
    QWidget window;
    TwebText *link;
    QLineEdit *edit;
    QLineEdit *other;
    QStringList opened;

    Page()
    {
        window.resize(240, 120);
        link = new TwebText(&window);
        link->setText(QStringLiteral("www.example.com"));
        link->setGeometry(10, 10, 120, 16);
        edit = new QLineEdit(&window);
        edit->setGeometry(60, 60, 100, 22);
        other = new QLineEdit(&window);
        other->setGeometry(60, 90, 100, 22);
        TwebText::setUrlOpener([this](const QString &t) { opened << t; });
        window.show();
    }
    ~Page() { TwebText::setUrlOpener(nullptr); }
    QWindow *handle() { return window.windowHandle(); }
    QPoint onLink() const { return link->geometry().center(); }
    QPoint offLink() const { return {200, 40}; }
    void click()
    {
        QTest::mouseMove(handle(), offLink());
        QTest::mouseMove(handle(), onLink());
        QTest::mouseClick(handle(), Qt::LeftButton, {}, onLink());
    }
};

} // namespace

class TestWebText : public QObject
{
    Q_OBJECT
private slots:
    void targetGetsItsPrefix_data();
    void targetGetsItsPrefix();
    void clickOpensTheTarget();
    void linkTextWinsOverLinkControl();
    void linkControlGetsFocusAndPointer();
    void pressDragReleaseOpensNothing();
    void pressElsewhereReleaseOverOpensNothing();
    void noTargetUnderlinesButKeepsArrow();
    void handPointerWithATarget();
    void underlinedFontStaysUnderlined();
    void boldAddedWhileHoveringIsDropped();
};

void TestWebText::targetGetsItsPrefix_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("target");
    QTest::newRow("bare web") << "www.example.com" << "http://www.example.com";
    QTest::newRow("http") << "http://example.com/a" << "http://example.com/a";
    QTest::newRow("HTTP capitals") << "HTTP://EXAMPLE.COM" << "HTTP://EXAMPLE.COM";
    QTest::newRow("Http mixed") << "hTtP://example.com" << "hTtP://example.com";
    QTest::newRow("other scheme") << "ftp://example.com" << "http://ftp://example.com";
    QTest::newRow("https counts as other") << "https://example.com" << "http://https://example.com";
    QTest::newRow("short") << "a.b" << "http://a.b";
    QTest::newRow("mail") << "someone@example.com" << "mailto:someone@example.com";
    QTest::newRow("mailto") << "mailto:someone@example.com" << "mailto:someone@example.com";
    QTest::newRow("MAILTO capitals") << "MAILTO:someone@example.com" << "MAILTO:someone@example.com";
    QTest::newRow("MailTo mixed") << "MailTo:someone@example.com" << "MailTo:someone@example.com";
}

void TestWebText::targetGetsItsPrefix()
{
    QFETCH(QString, link);
    QFETCH(QString, target);
    QCOMPARE(TwebText::targetFor(link), target);
}

void TestWebText::clickOpensTheTarget()
{
    Page p;
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    QVERIFY(!p.link->About().isEmpty());
    p.link->setLinkText(QStringLiteral("someone@example.com"));
    p.click();
    QCOMPARE(p.opened, QStringList{QStringLiteral("mailto:someone@example.com")});
    p.click();
    QCOMPARE(p.opened.size(), 2);
    // Only the left button opens.
    QTest::mouseClick(p.handle(), Qt::RightButton, {}, p.onLink());
    QCOMPARE(p.opened.size(), 2);
}

void TestWebText::linkTextWinsOverLinkControl()
{
    Page p;
    QVERIFY(QTest::qWaitForWindowActive(&p.window));
    p.other->setFocus();
    p.link->setLinkText(QStringLiteral("www.example.com"));
    p.link->setLinkControl(p.edit);
    p.click();
    QCOMPARE(p.opened, QStringList{QStringLiteral("http://www.example.com")});
    QVERIFY(p.other->hasFocus());
    QVERIFY(!p.edit->hasFocus());
}

void TestWebText::linkControlGetsFocusAndPointer()
{
    Page p;
    QVERIFY(QTest::qWaitForWindowActive(&p.window));
    p.other->setFocus();
    p.link->setLinkControl(p.edit);
    p.click();
    QVERIFY(p.opened.isEmpty());
    QVERIFY(p.edit->hasFocus());
    QCOMPARE(QCursor::pos(), p.edit->mapToGlobal(QPoint(0, 0)));
}

void TestWebText::pressDragReleaseOpensNothing()
{
    Page p;
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    p.link->setLinkText(QStringLiteral("www.example.com"));
    QTest::mouseMove(p.handle(), p.onLink());
    QVERIFY(p.link->hovering());
    QTest::mousePress(p.handle(), Qt::LeftButton, {}, p.onLink());
    QTest::mouseMove(p.handle(), p.offLink());
    QVERIFY(!p.link->hovering());
    QVERIFY(!p.link->font().underline());
    QTest::mouseRelease(p.handle(), Qt::LeftButton, {}, p.offLink());
    QVERIFY(p.opened.isEmpty());

    // Dragging off and back on before release still opens: the pointer is over the label again.
    QTest::mouseMove(p.handle(), p.onLink());
    QTest::mousePress(p.handle(), Qt::LeftButton, {}, p.onLink());
    QTest::mouseMove(p.handle(), p.offLink());
    QTest::mouseMove(p.handle(), p.onLink());
    QTest::mouseRelease(p.handle(), Qt::LeftButton, {}, p.onLink());
    QCOMPARE(p.opened.size(), 1);
}

void TestWebText::pressElsewhereReleaseOverOpensNothing()
{
    Page p;
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    p.link->setLinkText(QStringLiteral("www.example.com"));
    QTest::mouseMove(p.handle(), p.offLink());
    QTest::mousePress(p.handle(), Qt::LeftButton, {}, p.offLink());
    QTest::mouseMove(p.handle(), p.onLink());
    QTest::mouseRelease(p.handle(), Qt::LeftButton, {}, p.onLink());
    QVERIFY(p.opened.isEmpty());

    // Even a button-up delivered to the label itself opens nothing without its button-down.
    QTest::mouseMove(p.handle(), p.onLink());
    QVERIFY(p.link->hovering());
    QMouseEvent up(QEvent::MouseButtonRelease, QPointF(3, 3), p.link->mapToGlobal(QPointF(3, 3)),
                   Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(p.link, &up);
    QVERIFY(p.opened.isEmpty());
}

void TestWebText::noTargetUnderlinesButKeepsArrow()
{
    Page p;
    QVERIFY(QTest::qWaitForWindowActive(&p.window));
    p.other->setFocus();
    QVERIFY(!p.link->font().underline());
    QTest::mouseMove(p.handle(), p.offLink());
    QTest::mouseMove(p.handle(), p.onLink());
    QVERIFY(p.link->hovering());
    QVERIFY(p.link->font().underline());
    QCOMPARE(p.link->cursor().shape(), Qt::ArrowCursor);
    const QPoint before = QCursor::pos();
    QTest::mouseClick(p.handle(), Qt::LeftButton, {}, p.onLink());
    QVERIFY(p.opened.isEmpty());
    QVERIFY(p.other->hasFocus());
    QCOMPARE(QCursor::pos(), before);
    QTest::mouseMove(p.handle(), p.offLink());
    QVERIFY(!p.link->font().underline());
}

void TestWebText::handPointerWithATarget()
{
    Page p;
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    p.link->setLinkControl(p.edit);
    QTest::mouseMove(p.handle(), p.onLink());
    QTest::mouseMove(p.handle(), p.onLink() + QPoint(1, 0));
    QCOMPARE(p.link->cursor().shape(), Qt::PointingHandCursor);
    p.link->setLinkControl(nullptr);
    p.link->setLinkText(QStringLiteral("a@b"));
    QTest::mouseMove(p.handle(), p.onLink());
    QCOMPARE(p.link->cursor().shape(), Qt::PointingHandCursor);
    p.link->setLinkText(QString());
    QTest::mouseMove(p.handle(), p.onLink() + QPoint(1, 0));
    QCOMPARE(p.link->cursor().shape(), Qt::ArrowCursor);
}

void TestWebText::underlinedFontStaysUnderlined()
{
    Page p;
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    QFont f = p.link->font();
    f.setUnderline(true);
    f.setItalic(true);
    p.link->setFont(f);
    QTest::mouseMove(p.handle(), p.onLink());
    QVERIFY(p.link->font().underline());
    QTest::mouseMove(p.handle(), p.offLink());
    QVERIFY(!p.link->hovering());
    QVERIFY(p.link->font().underline());
    QVERIFY(p.link->font().italic());
}

void TestWebText::boldAddedWhileHoveringIsDropped()
{
    Page p;
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    const int pixelSize = p.link->font().pixelSize();
    QTest::mouseMove(p.handle(), p.onLink());
    QFont f = p.link->font();
    f.setBold(true);
    p.link->setFont(f);
    QTest::mouseMove(p.handle(), p.offLink());
    QVERIFY(!p.link->font().bold());
    QVERIFY(!p.link->font().underline());
    QCOMPARE(p.link->font().pixelSize(), pixelSize);

    // Crossing again saves the style afresh.
    QTest::mouseMove(p.handle(), p.onLink());
    QVERIFY(p.link->font().underline());
    QVERIFY(!p.link->font().bold());
    QTest::mouseMove(p.handle(), p.offLink());
    QVERIFY(!p.link->font().underline());
}

QTEST_MAIN(TestWebText)
#include "tst_webtext_gui.moc"

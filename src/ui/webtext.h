#pragma once
// TwebText: a label that behaves like a hyperlink (web page, e-mail, or a jump to a control).
#include <QLabel>
#include <QPointer>
#include <functional>

class TwebText : public QLabel
{
    Q_OBJECT
public:
    explicit TwebText(QWidget *parent = nullptr);

    QString LinkText() const { return m_linkText; }
    void setLinkText(const QString &t);
    QWidget *LinkControl() const { return m_linkControl; }
    void setLinkControl(QWidget *w);
    QString About() const { return m_about; }

    // The address handed to the desktop for a link text ("http://" or "mailto:" prefixed as needed).
    static QString targetFor(const QString &linkText);
    void openLink();
    bool hovering() const { return m_hovering; }

    // Replaces QDesktopServices::openUrl, so tests can see what would be opened.
    static void setUrlOpener(std::function<void(const QString &)> opener);

signals:
    void OnMouseEnter(QObject *sender);
    void OnMouseExit(QObject *sender);

protected:
    void mouseMoveEvent(QMouseEvent *) override;
    void mousePressEvent(QMouseEvent *) override;
    void mouseReleaseEvent(QMouseEvent *) override;
    void enterEvent(QEnterEvent *) override;
    void leaveEvent(QEvent *) override;

private:
    void pointerEnter();
    void pointerLeave();
    QString m_linkText;
    QPointer<QWidget> m_linkControl;
    QString m_about;
    bool m_hovering = false;
    bool m_pressed = false;
    // The font style before the underline was added, given back when the pointer leaves.
    struct FontStyle
    {
        QFont::Weight weight = QFont::Normal;
        bool italic = false;
        bool underline = false;
        bool strikeOut = false;
    };
    FontStyle m_savedStyle;
};

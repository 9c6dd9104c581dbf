#pragma once
// The chat panel beside the table: opening and closing it, sending lines, colours.
#include <QColor>
#include <QObject>
#include <QString>
#include <functional>

class TmainFrm;
class QPushButton;

class TChatPanel : public QObject
{
    Q_OBJECT
public:
    explicit TChatPanel(TmainFrm &w);

    void ChatDialog1Click();
    void btnNoChatClick();
    // Enter in the input line; true when the key was used (a line was sent).
    bool txtInputKeyPress();
    void btnAltSClick();
    void btnClearClick();
    void btnColorClick(QPushButton *sender);
    void chatLogClick();
    void addLine(const QString &line);
    void onChat(const QString &nick, const QString &text);   // "[CHAT]"
    void onSystem(const QString &line);                      // "[SYSTEM]"

    // Tests replace the colour chooser; an invalid colour means cancelled.
    static void setColorChooser(std::function<QColor(const QColor &initial)> chooser);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TmainFrm &w;
    QColor m_lastColor = Qt::black;
};

#pragma once
// TKeyboardPlay: the table played without the mouse. Left and Right move a visible focus over the
// own hand; Space or Up raises or lowers the focused card (as a click would), Down lowers it; Enter
// throws, P passes, N and F sort, Escape unselects all, D starts the next deal; Ctrl+H stays the
// hint. A key does only what the button beside it would do now, never while the chat line has the
// focus, and a key held down acts once per press. Help > Keys lists them.
#include <QObject>

class QAction;
class QKeyEvent;
class QPushButton;
class TmainFrm;

class TKeyboardPlay : public QObject
{
    Q_OBJECT
public:
    explicit TKeyboardPlay(TmainFrm &w);
    ~TKeyboardPlay() override;

    // The own slot the keys act on, 1..13; 0 before the first Left or Right.
    int focusSlot() const { return m_focus; }
    QAction *keysAction() const { return m_keysAction; }
    static QString keysText();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool handle(QKeyEvent *e);
    void moveFocus(int step);
    void showFocus();
    int heldCount() const;
    static bool press(QPushButton *b);
    TmainFrm &w;
    QAction *m_keysAction = nullptr;
    int m_focus = 0;
};

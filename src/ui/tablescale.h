#pragma once
// TTableScale: the table drawn at any size. Every control keeps the place and font it has at the
// design size; the window's client area gives a factor (the largest at which the design fits), and
// each control is put at its design place times that factor, centred where the shapes differ, with
// the chat panel taking the width beside the table. Pictures are drawn again at the size shown.
#include <QFont>
#include <QHash>
#include <QPointer>
#include <QRect>
#include <QSize>

class QWidget;
class TmainFrm;

class TTableScale
{
public:
    explicit TTableScale(TmainFrm &w) : w(w) {}

    // Notes every control's design place and font; once, after the controls are built.
    void record();
    // Lays the controls out for a client area of this size, the chat panel open or closed.
    void apply(QSize clientSize, bool chatOpen);
    qreal factor() const { return m_factor; }
    // Draws the felt, the backs of the others' cards and the turn marker for the present factor.
    void paintPictures();

    // Design sizes of the client area below the menu bar and above the status bar.
    static constexpr int kTableWidth = 355;
    static constexpr int kChatWidth = 277;
    static constexpr int kTableHeight = 391;
    static QSize designClientSize(bool chatOpen) { return {chatOpen ? kTableWidth + kChatWidth : kTableWidth, kTableHeight}; }

    // Moves a control to a place given at the design size (raised cards, the turn marker).
    static void moveDesign(QWidget *control, QPoint designTopLeft);
    static QRect designRect(const QWidget *control);

private:
    struct Design
    {
        QPointer<QWidget> control;
        QFont font;
        int lineWidth = 0;
    };
    void place(QWidget *control, const QRect &designRect, QPoint offset);
    TmainFrm &w;
    QList<Design> m_controls;
    qreal m_factor = 1.0;
    qreal m_picturesFactor = 0; // the factor the pictures were last drawn for
};

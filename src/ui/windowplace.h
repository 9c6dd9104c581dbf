#pragma once
// TWindowPlace: the window's own part of the settings file. [WINDOW] keeps the size, place and
// maximised state, [SETTINGS] the notification on the turn; each is written only once it differs
// from what a first start gives, so a file of a window left as it opened keeps [CONNECTION] alone.
#include <QRect>

class QScreen;
class TmainFrm;

class TWindowPlace
{
public:
    explicit TWindowPlace(TmainFrm &w) : w(w) {}

    // Reads both sections and puts the window there; a size no screen holds, negative or not a
    // number gives the design size on the main screen. Called once the window is first shown.
    void load();
    bool save(); // false when the file could not be written

    // Where a stored geometry may go: a rect at least the design size that some screen holds whole.
    static bool fitsAScreen(const QRect &geometry, QSize designSize);

private:
    TmainFrm &w;
    QRect m_opened;          // the window's normal geometry as it first came up
    bool m_hadSection = false;
};

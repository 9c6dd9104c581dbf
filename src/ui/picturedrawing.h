#pragma once
// Vector drawings of the game's pictures, in logical units of each picture's own size, so that one
// drawing serves every scale: the pictures tool writes the PNG files with them, and the window draws
// the card back, the suits, the felt and the turn marker at the size the table is shown.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSizeF>
#include <functional>

namespace PictureDrawing {

using Painter = std::function<void(QPainter &, QSizeF)>;

inline const QColor kBlack{0, 0, 0};
inline const QColor kRed{214, 0, 0};

// Paths are laid out in a unit box and mapped onto the target rectangle.
QPainterPath mapped(const QPainterPath &unit, const QRectF &box);
QPainterPath heartUnit();
QPainterPath spadeUnit();
QPainterPath clubUnit();
QPainterPath diamondUnit();
void fillPath(QPainter &p, const QPainterPath &path, const QColor &c);
// Suit symbols fill their picture.
Painter suitPainter(QPainterPath (*unit)(), QColor colour);
void drawCardBack(QPainter &p, QSizeF s);
void drawTurnMarker(QPainter &p, QSizeF s);
void drawIcon(QPainter &p, QSizeF s);
// The felt tile of logical x logical units, at scale image pixels per unit.
QImage drawFelt(int logical, int scale);
// The drawing on a transparent image of logical x scale pixels, marked with that pixel ratio.
QImage render(QSize logical, qreal scale, const Painter &draw);

} // namespace PictureDrawing

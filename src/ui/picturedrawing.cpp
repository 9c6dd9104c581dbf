// Vector drawings of the game's pictures: the pictures tool writes them as PNG files, and the
// window draws them again at whatever size the table is shown.
#include "ui/picturedrawing.h"
#include <QPainterPath>
#include <QtMath>

namespace PictureDrawing {


// Paths are laid out in a unit box and mapped onto the target rectangle.
QPainterPath mapped(const QPainterPath &unit, const QRectF &box)
{
    QTransform t;
    t.translate(box.x(), box.y());
    t.scale(box.width(), box.height());
    return t.map(unit);
}

QPainterPath heartUnit()
{
    QPainterPath p;
    p.moveTo(0.5, 0.24);
    p.cubicTo(0.44, 0.04, 0.25, 0.0, 0.13, 0.04);
    p.cubicTo(-0.02, 0.10, -0.04, 0.34, 0.06, 0.50);
    p.cubicTo(0.16, 0.68, 0.38, 0.80, 0.5, 1.0);
    p.cubicTo(0.62, 0.80, 0.84, 0.68, 0.94, 0.50);
    p.cubicTo(1.04, 0.34, 1.02, 0.10, 0.87, 0.04);
    p.cubicTo(0.75, 0.0, 0.56, 0.04, 0.5, 0.24);
    p.closeSubpath();
    return p;
}

QPainterPath spadeUnit()
{
    // An upside-down heart over a flared stem.
    QPainterPath p;
    p.moveTo(0.5, 0.0);
    p.cubicTo(0.38, 0.18, 0.14, 0.30, 0.05, 0.46);
    p.cubicTo(-0.04, 0.62, 0.04, 0.80, 0.22, 0.80);
    p.cubicTo(0.34, 0.80, 0.43, 0.74, 0.47, 0.66);
    p.cubicTo(0.46, 0.80, 0.40, 0.92, 0.24, 1.0);
    p.lineTo(0.76, 1.0);
    p.cubicTo(0.60, 0.92, 0.54, 0.80, 0.53, 0.66);
    p.cubicTo(0.57, 0.74, 0.66, 0.80, 0.78, 0.80);
    p.cubicTo(0.96, 0.80, 1.04, 0.62, 0.95, 0.46);
    p.cubicTo(0.86, 0.30, 0.62, 0.18, 0.5, 0.0);
    p.closeSubpath();
    return p;
}

QPainterPath clubUnit()
{
    QPainterPath p;
    p.setFillRule(Qt::WindingFill);
    const qreal r = 0.235;
    p.addEllipse(QPointF(0.5, 0.25), r, r * 1.0);
    p.addEllipse(QPointF(0.245, 0.58), r, r);
    p.addEllipse(QPointF(0.755, 0.58), r, r);
    QPainterPath core;
    core.addEllipse(QPointF(0.5, 0.52), 0.14, 0.14);
    p.addPath(core);
    QPainterPath stem;
    stem.moveTo(0.46, 0.5);
    stem.cubicTo(0.46, 0.78, 0.40, 0.92, 0.24, 1.0);
    stem.lineTo(0.76, 1.0);
    stem.cubicTo(0.60, 0.92, 0.54, 0.78, 0.54, 0.5);
    stem.closeSubpath();
    p.addPath(stem);
    return p;
}

QPainterPath diamondUnit()
{
    QPainterPath p;
    p.moveTo(0.5, 0.0);
    p.quadTo(0.70, 0.28, 1.0, 0.5);
    p.quadTo(0.70, 0.72, 0.5, 1.0);
    p.quadTo(0.30, 0.72, 0.0, 0.5);
    p.quadTo(0.30, 0.28, 0.5, 0.0);
    p.closeSubpath();
    return p;
}

void fillPath(QPainter &p, const QPainterPath &path, const QColor &c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(path);
}

// Suit symbols fill their bitmap; a hair of margin keeps the antialiased edge inside.
Painter suitPainter(QPainterPath (*unit)(), QColor colour)
{
    return [unit, colour](QPainter &p, QSizeF s) {
        fillPath(p, mapped(unit(), QRectF(0.25, 0.25, s.width() - 0.5, s.height() - 0.5)), colour);
    };
}

void drawCardBack(QPainter &p, QSizeF s)
{
    const QRectF all(0, 0, s.width(), s.height());
    p.fillRect(all, Qt::white);
    // One-pixel dark frame, the same weight as the face's outline.
    p.setPen(QPen(QColor(20, 20, 20), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(all.adjusted(0.5, 0.5, -0.5, -0.5));

    const QRectF inner = all.adjusted(3, 3, -3, -3);
    const QColor deep(22, 52, 140), light(86, 128, 214);
    p.fillRect(inner, deep);

    // Diamond lattice, clipped to the inner field.
    p.save();
    p.setClipRect(inner);
    p.setPen(QPen(light, 0.9));
    const qreal step = 5.0;
    for (qreal d = -s.height(); d < s.width() + s.height(); d += step) {
        p.drawLine(QPointF(d, 0), QPointF(d + s.height(), s.height()));
        p.drawLine(QPointF(d, s.height()), QPointF(d + s.height(), 0));
    }
    p.restore();

    // A medallion in the middle with a small white spade.
    const QPointF c = all.center();
    QPainterPath oval;
    oval.addEllipse(c, 7.5, 9.5);
    fillPath(p, oval, deep);
    p.setPen(QPen(QColor(236, 236, 245), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 7.0, 9.0);
    fillPath(p, mapped(spadeUnit(), QRectF(c.x() - 4.5, c.y() - 5.5, 9, 11)), QColor(245, 245, 250));

    // Thin white rule around the field.
    p.setPen(QPen(QColor(236, 236, 245), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(inner.adjusted(0.5, 0.5, -0.5, -0.5));
}

namespace {
// Deterministic hash noise: the same pictures come out on every run.
qreal noise(int x, int y, int seed)
{
    quint32 h = quint32(x) * 374761393u + quint32(y) * 668265263u + quint32(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xffff) / 65535.0;
}

// The felt is drawn pixel by pixel; every term repeats with the tile, so tiles meet seamlessly.
} // namespace

QImage drawFelt(int logical, int scale)
{
    const int n = logical * scale;
    QImage img(n, n, QImage::Format_ARGB32);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const qreal u = qreal(x) / n * 2 * M_PI, v = qreal(y) / n * 2 * M_PI;
            const qreal wave = 0.5 * qSin(u + 0.7) * qCos(2 * v) + 0.5 * qSin(2 * u + v);
            const qreal grain = noise(x, y, scale) - 0.5;
            const qreal fibre = noise(x / 2, y, 7 * scale) - 0.5;
            const qreal k = 1.0 + 0.015 * wave + 0.10 * grain + 0.05 * fibre;
            const auto ch = [k](int base) { return qBound(0, qRound(base * k), 255); };
            img.setPixel(x, y, qRgb(ch(18), ch(112), ch(52)));
        }
    }
    img.setDevicePixelRatio(scale);
    return img;
}

void drawTurnMarker(QPainter &p, QSizeF s)
{
    const QPainterPath spade = mapped(spadeUnit(), QRectF(2.2, 1.6, s.width() - 4.4, s.height() - 3.2));
    // A pale rim so the black spade stands out on the dark green felt.
    QPen rim(QColor(255, 246, 200), 2.6);
    rim.setJoinStyle(Qt::RoundJoin);
    p.setPen(rim);
    p.setBrush(Qt::NoBrush);
    p.drawPath(spade);
    fillPath(p, spade, kBlack);
}

// Program icon: a fan of three cards, a back on the left, a heart on the right, a spade in front.
void drawIcon(QPainter &p, QSizeF s)
{
    const qreal w = s.width();
    const QSizeF card(w * 0.46, w * 0.64);
    const QPointF pivot(w * 0.5, w * 0.96);
    const qreal corner = w * 0.05;
    const qreal edge = qMax(1.0, w / 40.0);
    struct Fanned { qreal angle; int kind; };
    const Fanned fan[] = {{-24, 0}, {24, 1}, {0, 2}};
    for (const Fanned &f : fan) {
        p.save();
        p.translate(pivot);
        p.rotate(f.angle);
        const QRectF r(-card.width() / 2, -card.height() - w * 0.22, card.width(), card.height());
        p.setPen(QPen(QColor(40, 40, 40), edge));
        if (f.kind == 0) {
            p.setBrush(QColor(22, 52, 140));
            p.drawRoundedRect(r, corner, corner);
            p.setPen(QPen(QColor(236, 236, 245), edge));
            p.setBrush(Qt::NoBrush);
            const qreal m = card.width() * 0.12;
            p.drawRoundedRect(r.adjusted(m, m, -m, -m), corner / 2, corner / 2);
        } else {
            p.setBrush(Qt::white);
            p.drawRoundedRect(r, corner, corner);
            const qreal fw = f.kind == 2 ? 0.64 : 0.58, fh = f.kind == 2 ? 0.56 : 0.46;
            const QRectF sym(r.center().x() - r.width() * fw / 2, r.center().y() - r.height() * fh / 2,
                             r.width() * fw, r.height() * fh);
            fillPath(p, mapped(f.kind == 2 ? spadeUnit() : heartUnit(), sym), f.kind == 2 ? kBlack : kRed);
        }
        p.restore();
    }
}


QImage render(QSize logical, qreal scale, const Painter &draw)
{
    const QSize pixels(qCeil(logical.width() * scale - 1e-9), qCeil(logical.height() * scale - 1e-9));
    QImage img(pixels, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    img.setDevicePixelRatio(scale);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p, QSizeF(logical));
    p.end();
    return img;
}

} // namespace PictureDrawing

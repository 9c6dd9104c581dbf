// Draws the game's pictures (card back, suit symbols, felt, turn marker, icons) as PNG files
// at 1x and 2x, the program icon also as SVG for the desktop, and writes the resource file that
// lists the PNG files.
// Usage: drawpictures [assets folder]
#include <QDir>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPaintEngine>
#include <QPainterPath>
#include <QTextStream>
#include <QtMath>
#include <climits>
#include <cstdio>
#include <functional>

#ifndef QUADRIX_ASSETS_DIR
#define QUADRIX_ASSETS_DIR "assets"
#endif

namespace {

using Painter = std::function<void(QPainter &, QSizeF)>;

const QColor kBlack(0, 0, 0);
const QColor kRed(214, 0, 0);

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

// Deterministic hash noise: the same pictures come out on every run.
qreal noise(int x, int y, int seed)
{
    quint32 h = quint32(x) * 374761393u + quint32(y) * 668265263u + quint32(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xffff) / 65535.0;
}

// The felt is drawn pixel by pixel; every term repeats with the tile, so tiles meet seamlessly.
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

bool writeImage(const QImage &img, const QString &path)
{
    if (!img.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

QImage render(QSize logical, int scale, const Painter &draw)
{
    QImage img(logical * scale, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    img.setDevicePixelRatio(scale);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p, QSizeF(logical));
    p.end();
    return img;
}


// Records what a painter fills and strokes as SVG paths: the same drawing code gives the PNG
// icons and the scalable one, with no SVG library. Pixmaps, images and text are not drawn.
class SvgEngine : public QPaintEngine
{
public:
    SvgEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    QString body;

    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    Type type() const override { return User; }
    void updateState(const QPaintEngineState &state) override
    {
        if (state.state() & DirtyPen)
            m_pen = state.pen();
        if (state.state() & DirtyBrush)
            m_brush = state.brush();
        if (state.state() & DirtyTransform)
            m_transform = state.transform();
    }
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
    void drawPolygon(const QPointF *points, int count, PolygonDrawMode mode) override
    {
        QPainterPath path;
        path.addPolygon(QPolygonF(QList<QPointF>(points, points + count)));
        if (mode != PolylineMode)
            path.closeSubpath();
        path.setFillRule(mode == WindingMode ? Qt::WindingFill : Qt::OddEvenFill);
        drawShape(path, mode != PolylineMode);
    }
    void drawPath(const QPainterPath &path) override { drawShape(path, true); }

private:
    static QString number(qreal v) { return QString::number(v, 'g', 6); }
    static QString colour(const QColor &c) { return c.name(QColor::HexRgb); }

    void drawShape(const QPainterPath &path, bool filled)
    {
        QString d;
        QPointF start;
        for (int i = 0; i < path.elementCount(); ++i) {
            const QPainterPath::Element e = path.elementAt(i);
            if (e.isMoveTo()) {
                start = e;
                d += QStringLiteral("M%1 %2").arg(number(e.x), number(e.y));
            } else if (e.isLineTo()) {
                // A subpath that comes back to its start is closed, so its stroke joins there.
                const bool closes = QPointF(e) == start
                                    && (i + 1 == path.elementCount() || path.elementAt(i + 1).isMoveTo());
                d += closes ? QStringLiteral("Z") : QStringLiteral("L%1 %2").arg(number(e.x), number(e.y));
            } else if (e.isCurveTo()) {
                const QPainterPath::Element c2 = path.elementAt(i + 1), to = path.elementAt(i + 2);
                d += QStringLiteral("C%1 %2 %3 %4 %5 %6")
                         .arg(number(e.x), number(e.y), number(c2.x), number(c2.y), number(to.x), number(to.y));
                i += 2;
            }
        }
        QString attrs;
        if (filled && m_brush.style() != Qt::NoBrush) {
            attrs += QStringLiteral(" fill=\"%1\"").arg(colour(m_brush.color()));
            if (m_brush.color().alpha() != 255)
                attrs += QStringLiteral(" fill-opacity=\"%1\"").arg(number(m_brush.color().alphaF()));
            if (path.fillRule() == Qt::OddEvenFill)
                attrs += QStringLiteral(" fill-rule=\"evenodd\"");
        } else {
            attrs += QStringLiteral(" fill=\"none\"");
        }
        if (m_pen.style() != Qt::NoPen) {
            static const QHash<int, QString> joins = {{Qt::MiterJoin, QStringLiteral("miter")},
                                                      {Qt::BevelJoin, QStringLiteral("bevel")},
                                                      {Qt::RoundJoin, QStringLiteral("round")}};
            static const QHash<int, QString> caps = {{Qt::FlatCap, QStringLiteral("butt")},
                                                     {Qt::SquareCap, QStringLiteral("square")},
                                                     {Qt::RoundCap, QStringLiteral("round")}};
            attrs += QStringLiteral(" stroke=\"%1\" stroke-width=\"%2\" stroke-linejoin=\"%3\" stroke-linecap=\"%4\"")
                         .arg(colour(m_pen.color()), number(m_pen.widthF()),
                              joins.value(m_pen.joinStyle(), QStringLiteral("miter")),
                              caps.value(m_pen.capStyle(), QStringLiteral("square")));
        }
        const QTransform &t = m_transform;
        if (!t.isIdentity())
            attrs += QStringLiteral(" transform=\"matrix(%1 %2 %3 %4 %5 %6)\"")
                         .arg(number(t.m11()), number(t.m12()), number(t.m21()), number(t.m22()), number(t.dx()),
                              number(t.dy()));
        body += QStringLiteral("  <path d=\"%1\"%2/>\n").arg(d, attrs);
    }

    QPen m_pen;
    QBrush m_brush;
    QTransform m_transform;
};

class SvgDevice : public QPaintDevice
{
public:
    explicit SvgDevice(QSize size) : m_size(size) {}
    QPaintEngine *paintEngine() const override { return &m_engine; }
    QString body() const { return m_engine.body; }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth: return m_size.width();
        case PdmHeight: return m_size.height();
        case PdmWidthMM: return m_size.width() * 254 / 960;
        case PdmHeightMM: return m_size.height() * 254 / 960;
        case PdmNumColors: return INT_MAX;
        case PdmDepth: return 32;
        case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return 96;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        default: return 0;
        }
    }

private:
    QSize m_size;
    mutable SvgEngine m_engine;
};

bool writeSvg(QSize size, const Painter &draw, const QString &path)
{
    SvgDevice device(size);
    QPainter p(&device);
    draw(p, QSizeF(size));
    p.end();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    QTextStream out(&file);
    out << QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\" viewBox=\"0 0 %1 %2\">\n")
               .arg(size.width())
               .arg(size.height())
        << device.body() << "</svg>\n";
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(QUADRIX_ASSETS_DIR);
    const QString picDir = dir + QStringLiteral("/pictures");
    if (!QDir().mkpath(picDir)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(picDir));
        return 1;
    }

    struct Picture { const char *name; QSize size; Painter draw; };
    const Picture pictures[] = {
        {"bk", {31, 44}, drawCardBack},
        {"f1", {12, 14}, suitPainter(spadeUnit, kBlack)},
        {"f2", {14, 14}, suitPainter(heartUnit, kRed)},
        {"f3", {14, 13}, suitPainter(clubUnit, kBlack)},
        {"f4", {11, 14}, suitPainter(diamondUnit, kRed)},
        {"turn", {17, 17}, drawTurnMarker},
        {"blank", {16, 16}, [](QPainter &, QSizeF) {}},
    };

    QStringList files;
    bool ok = true;
    for (const Picture &pic : pictures) {
        for (int scale : {1, 2}) {
            const QString file = QString::fromLatin1(pic.name) + (scale == 2 ? QStringLiteral("@2x") : QString()) + QStringLiteral(".png");
            ok &= writeImage(render(pic.size, scale, pic.draw), picDir + QLatin1Char('/') + file);
            files << QStringLiteral("pictures/") + file;
        }
    }
    for (int scale : {1, 2}) {
        const QString file = scale == 2 ? QStringLiteral("felt@2x.png") : QStringLiteral("felt.png");
        ok &= writeImage(drawFelt(30, scale), picDir + QLatin1Char('/') + file);
        files << QStringLiteral("pictures/") + file;
    }
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString file = QStringLiteral("icon%1.png").arg(size);
        ok &= writeImage(render(QSize(size, size), 1, drawIcon), picDir + QLatin1Char('/') + file);
        files << QStringLiteral("pictures/") + file;
    }
    // For the desktop only: the program itself reads no SVG.
    ok &= writeSvg(QSize(256, 256), drawIcon, picDir + QStringLiteral("/icon.svg"));

    QFile qrc(dir + QStringLiteral("/quadrix.qrc"));
    if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(qrc.fileName()));
        return 1;
    }
    QTextStream out(&qrc);
    out << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/\">\n";
    for (const QString &f : files)
        out << "    <file>" << f << "</file>\n";
    out << "</qresource>\n</RCC>\n";
    return ok ? 0 : 1;
}

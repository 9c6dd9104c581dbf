// Draws the game's pictures (card back, suit symbols, felt, turn marker, icons) as PNG files
// at 1x and 2x, the program icon also as SVG for the desktop, and writes the resource file that
// lists the PNG files.
// Usage: drawpictures [assets folder]
#include "ui/picturedrawing.h"
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

using namespace PictureDrawing;

namespace {

bool writeImage(const QImage &img, const QString &path)
{
    if (!img.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
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

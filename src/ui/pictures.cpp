#include "ui/pictures.h"
#include "ui/picturedrawing.h"
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPixmapCache>

void initPictures()
{
    // Q_INIT_RESOURCE must stay outside any namespace; the flag keeps it to one registration.
    static bool done = false;
    if (done)
        return;
    done = true;
    Q_INIT_RESOURCE(quadrix);
}

namespace {

// Loads ":/pictures/<name>.png", or its "@2x" drawing above ratio 1, marked with that ratio
// so that painters and layouts see the logical size.
QPixmap loadPicture(const QString &name, qreal devicePixelRatio)
{
    initPictures();
    if (devicePixelRatio <= 0)
        devicePixelRatio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    const int ratio = devicePixelRatio > 1.0 ? 2 : 1;
    const QString key = QStringLiteral("quadrix/%1@%2").arg(name).arg(ratio);
    QPixmap pm;
    if (QPixmapCache::find(key, &pm))
        return pm;
    const QString path = QStringLiteral(":/pictures/") + name + (ratio == 2 ? QStringLiteral("@2x.png") : QStringLiteral(".png"));
    if (!pm.load(path))
        return {};
    pm.setDevicePixelRatio(ratio);
    QPixmapCache::insert(key, pm);
    return pm;
}

qreal ratioOrApp(qreal devicePixelRatio)
{
    if (devicePixelRatio > 0)
        return devicePixelRatio;
    return qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
}

// A vector picture drawn at scale x ratio pixels per design unit, kept for the next call.
QPixmap drawnPicture(const QString &name, QSize logical, qreal scale, qreal devicePixelRatio,
                     const PictureDrawing::Painter &draw)
{
    const qreal ratio = ratioOrApp(devicePixelRatio);
    const QString key = QStringLiteral("quadrix/%1/%2/%3").arg(name).arg(scale).arg(ratio);
    QPixmap pm;
    if (QPixmapCache::find(key, &pm))
        return pm;
    QImage img = PictureDrawing::render(logical, scale * ratio, draw);
    img.setDevicePixelRatio(ratio);
    pm = QPixmap::fromImage(img);
    QPixmapCache::insert(key, pm);
    return pm;
}

bool designScale(qreal scale)
{
    return qFuzzyCompare(scale, 1.0);
}

} // namespace

QPixmap cardBackPicture(qreal devicePixelRatio)
{
    return loadPicture(QStringLiteral("bk"), devicePixelRatio);
}

QPixmap suitPicture(int index, qreal devicePixelRatio)
{
    if (index < 1 || index > 4)
        return {};
    return loadPicture(QStringLiteral("f%1").arg(index), devicePixelRatio);
}

QPixmap feltTile(qreal devicePixelRatio)
{
    return loadPicture(QStringLiteral("felt"), devicePixelRatio);
}

QPixmap turnMarkerPicture(qreal devicePixelRatio)
{
    return loadPicture(QStringLiteral("turn"), devicePixelRatio);
}

QIcon windowIcon()
{
    initPictures();
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/pictures/icon%1.png").arg(size), QSize(size, size));
    return icon;
}

QIcon blankIcon()
{
    initPictures();
    QIcon icon;
    icon.addFile(QStringLiteral(":/pictures/blank.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/pictures/blank@2x.png"), QSize(32, 32));
    return icon;
}

QFont tableFont(const QString &windowsFace, int pixelSize, bool bold)
{
    struct Face { const char *windows; const char *local; const char *generic; QFont::StyleHint hint; };
    static const Face faces[] = {
        {"Arial", "Liberation Sans", "Sans Serif", QFont::SansSerif},
        {"MS Sans Serif", "Liberation Sans", "Sans Serif", QFont::SansSerif},
        {"Courier New", "Liberation Mono", "Monospace", QFont::TypeWriter},
        {"MS Serif", "Liberation Serif", "Serif", QFont::Serif},
    };
    QString family = windowsFace;
    QString generic = QStringLiteral("Sans Serif");
    QFont::StyleHint hint = QFont::SansSerif;
    for (const Face &f : faces) {
        if (windowsFace.compare(QLatin1String(f.windows), Qt::CaseInsensitive) == 0) {
            family = QLatin1String(f.local);
            generic = QLatin1String(f.generic);
            hint = f.hint;
            break;
        }
    }
    QFont font;
    if (QFontDatabase::hasFamily(family))
        font.setFamilies({family, generic});
    else
        font.setFamilies({generic});
    font.setStyleHint(hint);
    font.setPixelSize(qMax(1, pixelSize));
    font.setBold(bold);
    return font;
}

QFont cardFont()
{
    return tableFont(QStringLiteral("Arial"), 10, true);
}

QPixmap scaledCardBack(qreal scale, qreal devicePixelRatio)
{
    if (designScale(scale))
        return cardBackPicture(devicePixelRatio);
    return drawnPicture(QStringLiteral("bk"), {31, 44}, scale, devicePixelRatio, PictureDrawing::drawCardBack);
}

QPixmap scaledSuit(int index, qreal scale, qreal devicePixelRatio)
{
    if (designScale(scale) || index < 1 || index > 4)
        return suitPicture(index, devicePixelRatio);
    using namespace PictureDrawing;
    static const QSize sizes[] = {{12, 14}, {14, 14}, {14, 13}, {11, 14}};
    static QPainterPath (*const units[])() = {spadeUnit, heartUnit, clubUnit, diamondUnit};
    const bool red = index == 2 || index == 4;
    return drawnPicture(QStringLiteral("f%1").arg(index), sizes[index - 1], scale, devicePixelRatio,
                        suitPainter(units[index - 1], red ? kRed : kBlack));
}

QPixmap scaledFelt(qreal scale, qreal devicePixelRatio)
{
    if (designScale(scale))
        return feltTile(devicePixelRatio);
    // The felt is a texture of single pixels: drawn at the nearest whole pixel count per unit.
    const qreal ratio = ratioOrApp(devicePixelRatio);
    const int pixelsPerUnit = qMax(1, qRound(scale * ratio));
    const QString key = QStringLiteral("quadrix/felt/%1/%2").arg(scale).arg(ratio);
    QPixmap pm;
    if (QPixmapCache::find(key, &pm))
        return pm;
    const QImage img = PictureDrawing::drawFelt(30, pixelsPerUnit);
    pm = QPixmap::fromImage(img.scaled(QSize(qRound(30 * scale * ratio), qRound(30 * scale * ratio))));
    pm.setDevicePixelRatio(ratio);
    QPixmapCache::insert(key, pm);
    return pm;
}

QPixmap scaledTurnMarker(qreal scale, qreal devicePixelRatio)
{
    if (designScale(scale))
        return turnMarkerPicture(devicePixelRatio);
    return drawnPicture(QStringLiteral("turn"), {17, 17}, scale, devicePixelRatio, PictureDrawing::drawTurnMarker);
}

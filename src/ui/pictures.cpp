#include "ui/pictures.h"
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

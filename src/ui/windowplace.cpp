#include "ui/windowplace.h"
#include "ui/mainfrm.h"
#include "ui/turnnotifier.h"
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTimer>

namespace {
const QString kWindow = QStringLiteral("WINDOW");
const QString kLeft = QStringLiteral("LEFT"), kTop = QStringLiteral("TOP"), kWidth = QStringLiteral("WIDTH"),
              kHeight = QStringLiteral("HEIGHT"), kMaximized = QStringLiteral("MAXIMIZED");
const QString kNotifyKey = QStringLiteral("SETTINGS/NOTIFYONTURN");

// A whole decimal number, or nothing: "12ab", "" and "1e3" are not sizes.
bool readInt(const QSettings &s, const QString &key, int *out)
{
    bool ok = false;
    *out = s.value(key).toString().trimmed().toInt(&ok, 10);
    return ok;
}
} // namespace

bool TWindowPlace::fitsAScreen(const QRect &geometry, QSize designSize)
{
    if (geometry.width() < designSize.width() || geometry.height() < designSize.height())
        return false;
    const QList<QScreen *> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(),
                       [&](const QScreen *s) { return s->availableVirtualGeometry().contains(geometry); });
}

void TWindowPlace::load()
{
    // Where the window came up, once the platform has placed its frame: a window left there, at the
    // design size, writes no [WINDOW] section.
    QTimer::singleShot(0, &w, [this] { m_opened = w.normalGeometry(); });
    QSettings s(w.settingsPath(), QSettings::IniFormat);
    if (w.turnNotifier && s.contains(kNotifyKey))
        w.turnNotifier->setEnabled(s.value(kNotifyKey).toString().trimmed() != QLatin1String("0"));

    m_hadSection = s.childGroups().contains(kWindow);
    if (!m_hadSection)
        return;
    s.beginGroup(kWindow);
    int left = 0, top = 0, width = 0, height = 0, maximized = 0;
    const bool numbers = readInt(s, kLeft, &left) && readInt(s, kTop, &top) && readInt(s, kWidth, &width)
                         && readInt(s, kHeight, &height);
    const bool max = readInt(s, kMaximized, &maximized) && maximized == 1;
    s.endGroup();

    const QRect stored(left, top, width, height);
    if (numbers && fitsAScreen(stored, w.minimumSize())) {
        w.setGeometry(stored);
    } else if (QScreen *main = QGuiApplication::primaryScreen()) {
        // The design size, in the middle of the main screen.
        w.resize(w.minimumSize());
        QRect r(QPoint(), w.minimumSize());
        r.moveCenter(main->availableGeometry().center());
        w.setGeometry(r);
    }
    if (max)
        w.setWindowState(w.windowState() | Qt::WindowMaximized);
}

bool TWindowPlace::save()
{
    QSettings s(w.settingsPath(), QSettings::IniFormat);
    const bool notify = !w.turnNotifier || w.turnNotifier->enabled();
    if (!notify)
        s.setValue(kNotifyKey, 0);
    else if (s.contains(kNotifyKey))
        s.remove(kNotifyKey);

    const QRect normal = w.normalGeometry();
    const bool maximized = w.windowState() & Qt::WindowMaximized;
    const bool resized = normal.size() != w.minimumSize();
    if (m_hadSection || maximized || resized || (m_opened.isValid() && normal != m_opened)) {
        s.beginGroup(kWindow);
        s.setValue(kLeft, normal.x());
        s.setValue(kTop, normal.y());
        s.setValue(kWidth, normal.width());
        s.setValue(kHeight, normal.height());
        s.setValue(kMaximized, maximized ? 1 : 0);
        s.endGroup();
    }
    s.sync();
    return s.status() == QSettings::NoError;
}

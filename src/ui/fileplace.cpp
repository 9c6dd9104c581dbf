#include "ui/fileplace.h"

#include <QDir>
#include <QFileInfo>

QString writablePlace(const QString &folder, const QString &fileName, const QString &userFolder)
{
    const QString usual = QDir(folder).filePath(fileName);
    const QFileInfo file(usual), dir(folder);
    if ((file.exists() && file.isWritable()) || (dir.isDir() && dir.isWritable()) || userFolder.isEmpty())
        return usual;
    return QDir(userFolder).filePath(fileName);
}

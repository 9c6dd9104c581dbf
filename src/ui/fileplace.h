#pragma once
// Where the program keeps a file it writes: beside the program, as always, when it can be
// written there; otherwise in a folder of the user's (an installed program's folder is the
// system's).
#include <QString>

// `folder`/`fileName` when that file exists and is writable, or `folder` is writable;
// otherwise `userFolder`/`fileName`, or the first after all when `userFolder` is empty.
QString writablePlace(const QString &folder, const QString &fileName, const QString &userFolder);

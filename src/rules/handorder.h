#pragma once
// Hand order: by number (A, 2, ..., K; equal ranks Spade, Heart, Cloves, Diamond)
// or by suit (Spade, Heart, Cloves, Diamond; within a suit K down to A).
#include <QString>
#include <QStringList>

// True when code x must stand to the right of code y.
bool comesAfter(const QString &x, const QString &y, bool byNumber);
// Bubble sort in place with comesAfter.
void sortCodes(QStringList &list, bool byNumber);

#pragma once
// The game's pictures, built into the program as a resource, and the fonts of the table.
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QString>

// Registers the picture resource; safe to call more than once. The accessors call it themselves.
void initPictures();

// The pictures report their logical size (card back 31 x 44, felt 30 x 30, turn marker 17 x 17,
// suits as listed below) at any device pixel ratio. A ratio of 0 means the application's own
// (the highest of its screens); above 1 the double-resolution drawing is used.
QPixmap cardBackPicture(qreal devicePixelRatio = 0);
// 1 spade (12 x 14), 2 heart (14 x 14), 3 club (14 x 13), 4 diamond (11 x 14); null for any other index.
QPixmap suitPicture(int index, qreal devicePixelRatio = 0);
QPixmap feltTile(qreal devicePixelRatio = 0);
// A black spade on a transparent ground, with a pale rim so it reads on the felt.
QPixmap turnMarkerPicture(qreal devicePixelRatio = 0);
// The same pictures for a table shown at scale times its design size: at scale 1 exactly the ones
// above; at any other scale drawn anew at the size shown (never a stretched bitmap), reporting the
// logical size times scale.
QPixmap scaledCardBack(qreal scale, qreal devicePixelRatio = 0);
QPixmap scaledSuit(int index, qreal scale, qreal devicePixelRatio = 0);
QPixmap scaledFelt(qreal scale, qreal devicePixelRatio = 0);
QPixmap scaledTurnMarker(qreal scale, qreal devicePixelRatio = 0);
QIcon windowIcon();
// 16 x 16, every pixel transparent.
QIcon blankIcon();

// The layout names Windows faces; this maps them to the closest face installed here
// ("Arial" and "MS Sans Serif" to Liberation Sans, "Courier New" to Liberation Mono,
// "MS Serif" to Liberation Serif), falling back to the generic family of the same kind.
QFont tableFont(const QString &windowsFace, int pixelSize, bool bold = false);
// The font of the rank labels on a card face.
QFont cardFont();

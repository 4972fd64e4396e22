// The small pictures of the record list, its header, the category tree and the busy strip.
#pragma once

#include "glyphs.h"

#include <QColor>
#include <QImage>

// The list's check strip, 4 frames: unchecked, unchecked hover, checked, checked hover.
QImage listCheckStrip();

// The tree's check strip, 5 frames: unchecked, unchecked hover, partly, checked, unavailable.
QImage treeCheckStrip();

// The mark in front of a deleted record's row: a white bin on a red tile.
QImage deletedMarker();

// The list header's background, a column the header stretches over its width.
QImage headerBackground();

// The header's sort arrow, pointing up for ascending, down for descending.
QImage sortArrow(bool ascending);

// The tree's expand picture, 16 wide: a chevron right (closed) or down (opened) on white.
QImage treeExpandPicture(bool opened);

// A tree row picture: a white glyph on a rounded tile.
QImage treeRowPicture(Glyph glyph, QColor tile);

// The busy strip: 8 frames of a spinner of dots.
QImage busyStrip();

// The contact board's picture: a round avatar with a person.
QImage contactPicture();

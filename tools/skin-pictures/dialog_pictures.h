// The message box and About box backgrounds and the message kind icons.
#pragma once

#include "glyphs.h"

#include <QColor>
#include <QImage>

// The message box background: caption bar, white message area, button band.
QImage messageBoxBackground();

// The About box background: caption bar, banner with the mark, the body the texts go on.
QImage aboutBoxBackground();

// A 40 x 40 message icon: a white glyph on a coloured disc, or on a triangle for warnings.
QImage messageIcon(Glyph glyph, QColor colour, bool triangle = false);

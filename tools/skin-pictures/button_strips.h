// Picture strips of buttons: frames side by side for normal, hover, pressed and disabled.
#pragma once

#include "glyphs.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

// How a captioned button is filled.
enum class ButtonKind {
    Primary,   // teal, for the action that moves the user on
    Secondary, // white with a border, for going back, pausing, stopping, declining
};

// A title-bar button: a light icon on the dark bar; a lit plate on hover (red for close).
QImage iconButtonStrip(Glyph glyph, QSize frame, int frames, bool closeStyle = false);

// A captioned button, optionally with a small icon before the word.
QImage textButtonStrip(const QString& caption, std::optional<Glyph> glyph, QSize frame, int frames,
                       ButtonKind kind);

// Small line icons drawn as vector shapes, so every size stays crisp.
#pragma once

#include <QColor>
#include <QPainter>
#include <QRectF>

enum class Glyph {
    Close,
    Minimise,
    Menu,
    Home,
    Help,
    Back,
    Pause,
    Play,
    Stop,
    Recover,
    Refresh,
    Check,
    Dash,
    ChevronRight,
    ChevronDown,
    SortUp,
    SortDown,
    Trash,
    Person,
    Bubble,
    Phone,
    Exclamation,
    Info,
    Cross,
};

// Draws a glyph fitted into a box in one colour; stroke is the line width of outlined glyphs.
void drawGlyph(QPainter& painter, Glyph glyph, const QRectF& box, QColor colour, qreal stroke);

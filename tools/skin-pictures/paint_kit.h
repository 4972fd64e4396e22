// The skin's palette, fonts and the few drawing helpers every picture shares.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>

// One palette for the whole skin: deep navy title bars, a teal primary, light blue-grey
// neutrals, and one warm accent for warnings. Several values are dictated by colours the
// program paints itself (board backgrounds, bubble fills, the busy strip's backdrop).
namespace tone {
inline constexpr QRgb navy = 0xFF15395A;      // title and caption bars
inline constexpr QRgb navyLight = 0xFF1D4D76; // top of the title bar gradient
inline constexpr QRgb teal = 0xFF138A9E;      // primary actions and highlights
inline constexpr QRgb tealLight = 0xFF1BA3B8; // primary hover
inline constexpr QRgb tealDark = 0xFF0C6B7B;  // primary pressed
inline constexpr QRgb tealWash = 0xFFDDF1F4;  // soft teal backgrounds
inline constexpr QRgb neutral = 0xFFEEF4F8;   // window body (the link backdrop of the About box)
inline constexpr QRgb panel = 0xFFFFFFFF;     // cards and panels
inline constexpr QRgb border = 0xFFC9D6E0;    // panel borders
inline constexpr QRgb divider = 0xFFDDE5EC;   // light separators
inline constexpr QRgb ink = 0xFF1E2A35;       // body text
inline constexpr QRgb inkMuted = 0xFF5B6976;  // secondary text
inline constexpr QRgb warning = 0xFFBD3A06;   // warnings and failures (the failure text colour)
inline constexpr QRgb amber = 0xFFE59A1C;     // warning icon
inline constexpr QRgb danger = 0xFFD4433B;    // deleted records, errors, close hover
inline constexpr QRgb success = 0xFF4E9A1E;   // confirmations
inline constexpr QRgb disabledFill = 0xFFD3D9DE;
inline constexpr QRgb disabledInk = 0xFF98A2AB;
inline constexpr QRgb statusBar = 0xFFF0F0EF; // the busy strip paints this backdrop itself
inline constexpr QRgb contactBoard = 0xFFF0F5FF;
inline constexpr QRgb messageBoard = 0xFFF4F7FA;
inline constexpr QRgb receivedFill = 0xFFD8D8D8;
inline constexpr QRgb sentFill = 0xFF88C121;
} // namespace tone

// Returns the family of the skin's sans font: Tahoma when its file is present, else DejaVu Sans.
QString skinFontFamily();

// Returns the skin font at a pixel size.
QFont skinFont(int pixelSize, bool bold = false);

// Returns a canvas of the given size filled with a colour (transparent by default).
QImage makeCanvas(int width, int height, QColor fill = Qt::transparent);

// Turns on antialiasing for shapes, text and scaled pictures.
void prepare(QPainter& painter);

// Fills a title or caption bar: navy gradient with a faint bottom highlight.
void drawCaptionBar(QPainter& painter, const QRectF& bar);

// Draws the product's mark: a teal rounded square with a phone and a returning arrow.
void drawLogoMark(QPainter& painter, const QRectF& box);

// Draws a white card with a thin border and a soft shadow.
void drawCard(QPainter& painter, const QRectF& card, qreal radius = 8);

// Draws text in a rectangle with the given font, colour and alignment flags.
void drawText(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
              QColor colour, int flags = Qt::AlignLeft | Qt::AlignVCenter);

// Draws text wrapped at word boundaries from the top of a box, with an even line pitch (looser
// than the font's own, which reads better in short instructions).
void drawWrappedText(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
                     QColor colour, qreal linePitch);

// Writes a picture by the format its name ends in: PNG with alpha, BMP as opaque 24-bit.
bool savePicture(const QImage& image, const QString& path);

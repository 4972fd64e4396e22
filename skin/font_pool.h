// The process-wide cache of the skin's text fonts, selected by a 16-bit key:
// bit 0 italic, bit 1 underline, bit 2 bold, bits 8-15 a signed size step
// added to the 11-pixel Tahoma base.
#pragma once

#include <QFont>
#include <QString>
#include <cstdint>
#include <map>

namespace skin {

class TkFontPool {
  public:
    // Builds the base font and stores it under key 0.
    TkFontPool();

    // Returns the one pool of the process, creating it at first use.
    static TkFontPool& Instance();

    // Returns the font for a key, creating it on first request; null when it
    // cannot be made (the next request tries again). The pool owns it.
    const QFont* GetPoolFont(std::uint16_t key);

    // Tells whether a font for the key has been made already.
    bool Has(std::uint16_t key) const { return fonts_.count(key) != 0; }

    // Returns the pixel height the key stands for (11 plus the size step).
    static int PixelHeightForKey(std::uint16_t key);

  private:
    std::map<std::uint16_t, QFont> fonts_;
    QString faceName_;
    int baseHeight_ = -11;
    QFont baseFont_;
};

// Shorthand for TkFontPool::Instance().GetPoolFont(key).
const QFont* GetPoolFont(std::uint16_t key);

// Returns the pool font for a key, or the application font when it cannot be
// made, so painting code always has something to draw with.
QFont PoolFontOr(std::uint16_t key);

// The colour emoji face every font of the skin names after its own face.
inline constexpr const char* kColorEmojiFamily = "Noto Color Emoji";

// Names the colour emoji face in a font's family list, after its own face
// and the face that stands in for it when it is missing: Qt's automatic
// fallback from Tahoma picks an outline emoji face even when the colour one
// is installed. Needs the GUI application; without one the font is kept.
void NameColorEmojiFamily(QFont& font);

// Registers the Tahoma files of the wine fonts package with Qt when present;
// returns how many faces were added. Without them Tahoma falls back to the
// system's sans-serif face.
int RegisterSkinFonts();

} // namespace skin

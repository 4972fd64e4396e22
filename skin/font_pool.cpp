#include "skin/font_pool.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>

namespace skin {

namespace {

// Makes a Tahoma font of a character height in pixels, falling back to the
// system's sans-serif face when Tahoma is not installed.
QFont MakeTahoma(const QString& face, int pixelHeight) {
    QFont f(face);
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixelHeight);
    f.setWeight(QFont::Normal);
    NameColorEmojiFamily(f);
    return f;
}

} // namespace

void NameColorEmojiFamily(QFont& font) {
    // Fonts are resolved against the application's font database only.
    if (!QGuiApplication::instance())
        return;
    const QString face = font.family();
    const QString emoji = QString::fromLatin1(kColorEmojiFamily);
    QStringList families{face};
    // The face the font resolves to when its own is missing goes before
    // the emoji face, so that the emoji face never becomes the main one.
    const QString resolved = QFontInfo(font).family();
    if (resolved != face && resolved != emoji)
        families << resolved;
    families << emoji;
    font.setFamilies(families);
}

TkFontPool::TkFontPool() : faceName_(QStringLiteral("Tahoma")) {
    baseFont_ = MakeTahoma(faceName_, -baseHeight_);
    if (QGuiApplication::instance())
        fonts_[0] = baseFont_;
}

TkFontPool& TkFontPool::Instance() {
    static TkFontPool pool;
    return pool;
}

int TkFontPool::PixelHeightForKey(std::uint16_t key) {
    const auto step = static_cast<std::int8_t>(key >> 8);
    return 11 + step;
}

const QFont* TkFontPool::GetPoolFont(std::uint16_t key) {
    auto it = fonts_.find(key);
    if (it != fonts_.end())
        return &it->second;
    // Fonts need the GUI application's font database; without it nothing is
    // stored, so the request is simply retried later.
    if (!QGuiApplication::instance())
        return nullptr;
    const int height = -baseHeight_ + static_cast<std::int8_t>(key >> 8);
    if (height <= 0)
        return nullptr;
    QFont f = baseFont_;
    f.setPixelSize(height);
    f.setWeight((key & 0x4) ? QFont::Bold : QFont::Normal);
    f.setUnderline((key & 0x2) != 0);
    f.setItalic((key & 0x1) != 0);
    return &(fonts_[key] = f);
}

const QFont* GetPoolFont(std::uint16_t key) {
    return TkFontPool::Instance().GetPoolFont(key);
}

QFont PoolFontOr(std::uint16_t key) {
    const QFont* f = GetPoolFont(key);
    return f ? *f : QFont();
}

int RegisterSkinFonts() {
    int added = 0;
    for (const char* file :
         {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
        const QString path = QString::fromLatin1(file);
        if (QFile::exists(path) && QFontDatabase::addApplicationFont(path) >= 0)
            ++added;
    }
    return added;
}

} // namespace skin

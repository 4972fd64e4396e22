#include "update/update_settings.h"

#include "platform/product_identity.h"

namespace fennaro {

namespace {

// True when a setting's text switches something off.
bool isOffText(const QString& text) {
    const QString t = text.trimmed().toLower();
    return t == QLatin1String("false") || t == QLatin1String("0") || t == QLatin1String("no") ||
           t == QLatin1String("off");
}

// The program's settings, opened for reading.
QSettings programSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillmet"),
                     QStringLiteral("Fennaro"));
}

} // namespace

QString programSettingsFile() {
    return programSettings().fileName();
}

UpdateSettings readUpdateSettings(const QSettings& settings) {
    UpdateSettings result;
    const QVariant enabled = settings.value(QStringLiteral("update/enabled"));
    // The INI reader hands back text; a bool only appears when the value was
    // set in this process.
    if (enabled.isValid())
        result.enabled =
            enabled.typeId() == QMetaType::Bool ? enabled.toBool() : !isOffText(enabled.toString());
    result.url = settings.value(QStringLiteral("update/url")).toString().trimmed();
    return result;
}

UpdateSettings readUpdateSettings() {
    return readUpdateSettings(programSettings());
}

QUrl updateDescriptionUrl(const UpdateSettings& settings) {
    const QString text =
        settings.url.isEmpty() ? QString::fromLatin1(kUpdateDescriptionUrl) : settings.url;
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    return url;
}

} // namespace fennaro

// The two user settings of the update check, read from the program's
// settings file $XDG_CONFIG_HOME/Quillmet/Fennaro.conf (~/.config when the
// variable is not set):
//
//   [update]
//   enabled=false      ; no request at all (default true)
//   url=https://...    ; the update description to fetch
//
// The program writes only one other value there: the last report's
// examiner (app/case_details.h).
#pragma once

#include <QSettings>
#include <QString>
#include <QUrl>

namespace fennaro {

struct UpdateSettings {
    bool enabled = true;
    QString url;
};

// The path of the program's settings file (organisation "Quillmet",
// application "Fennaro", the user's scope; on Linux the native format is an
// INI file named .conf).
QString programSettingsFile();

// Reads update/enabled and update/url from settings; missing keys take their
// defaults. "false", "0", "no" and "off" (any case) disable the check; any
// other text leaves it enabled.
UpdateSettings readUpdateSettings(const QSettings& settings);

// Reads the update settings from the program's settings file.
UpdateSettings readUpdateSettings();

// The address to fetch for these settings: the url setting, or the built-in
// description address when it is empty. An empty QUrl when the setting is not
// a plain http or https address, so a typo or another scheme (file:, ftp:)
// never turns into a request.
QUrl updateDescriptionUrl(const UpdateSettings& settings);

} // namespace fennaro

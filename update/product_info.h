// The program's version and the maker's web addresses, in one place so the
// main window, the menu and the update check agree on them.
#pragma once

namespace fennaro {

// The version this build reports and compares offers against ("1.5.0.0",
// the project's version in the build files).
inline constexpr const char* kProgramVersion = FENNARO_PRODUCT_VERSION;

// The maker's home page (menu "Home", the About box's link).
inline constexpr const char* kHomePageUrl = "https://www.quillmet.example/";
// The support page (menu "Help").
inline constexpr const char* kSupportPageUrl = "https://www.quillmet.example/support";
// The download page, opened instead of starting an updater: no updater ships
// for this platform.
inline constexpr const char* kDownloadPageUrl = "https://www.quillmet.example/download/";
// The update description fetched once after start-up, unless the settings
// name another address.
inline constexpr const char* kUpdateDescriptionUrl =
    "https://www.quillmet.example/download/update/quillmet_update.txt";

} // namespace fennaro

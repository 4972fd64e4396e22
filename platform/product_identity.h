// Who the product is: its name, maker, version, program names and the maker's
// web addresses. Everything above reads them from here (the window, the skin's
// About box and links, the update check, --version and --help of both
// programs), so they agree and no lower part reaches up for them.
#pragma once

namespace fennaro {

// The product's name, as the window's title, the message boxes' caption and
// the single-instance lock show it.
inline constexpr const char* kProductName = "Quillmet Fennaro";
// The maker, as the rights line names it.
inline constexpr const char* kMakerName = "Quillmet";

// The version this build reports and compares offers against ("1.5.0.0",
// the project's version in the build files).
inline constexpr const char* kProgramVersion = FENNARO_PRODUCT_VERSION;

// The programs' file names, as --help and --version name them.
inline constexpr const char* kWindowProgramName = "quillmet-fennaro";
inline constexpr const char* kRecoverProgramName = "fennaro-recover";

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

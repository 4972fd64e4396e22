#include "export_paths.h"

#include "check_marks.h"

#include <sys/stat.h>

#include <cerrno>

namespace fennaro {

namespace {

// The longest file name the file systems of this platform take, in bytes.
constexpr std::size_t kMaxFileNameBytes = 255;

// How many later seconds are tried when the folder of this second exists.
constexpr int kFolderNameAttempts = 3600;

// Returns the length of the UTF-8 character at the start of text: the length
// its lead byte announces when enough continuation bytes follow, else 1.
std::size_t characterLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    if (length > text.size())
        return 1;
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            return 1;
    }
    return length;
}

} // namespace

std::string outputFolderName(const std::string& chosenFolder, std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[128] = {};
    std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &local);
    std::string folder = chosenFolder;
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder + "Fennaro" + stamp;
}

std::string createOutputFolder(const std::string& chosenFolder, std::time_t now) {
    std::string folder;
    for (int attempt = 0; attempt < kFolderNameAttempts; ++attempt) {
        folder = outputFolderName(chosenFolder, now + attempt);
        if (makeFolder(folder) || errno != EEXIST)
            break;
    }
    return folder;
}

std::string categoryFolderName(const CategoryState& category, int32_t checkedRecords) {
    if (isChecked(category))
        return category.caption;
    const std::string& caption = category.caption;
    return caption.substr(0, caption.find('(')) + "(" + std::to_string(checkedRecords) + ")";
}

std::string conversationFileName(std::string_view conversationName) {
    constexpr std::string_view kExtension = ".txt";
    std::string name;
    name.reserve(conversationName.size() + kExtension.size());
    std::size_t at = 0;
    while (at < conversationName.size()) {
        const std::size_t length = characterLength(conversationName.substr(at));
        if (name.size() + length + kExtension.size() > kMaxFileNameBytes)
            break;
        // A path's separator, and the NUL that would end the path early (a
        // carved address can hold zero bytes), cannot stand in a file name.
        if (conversationName[at] == '/' || conversationName[at] == '\0')
            name += '_';
        else
            name.append(conversationName.substr(at, length));
        at += length;
    }
    return name.append(kExtension);
}

bool makeFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0;
}

std::string makeCategoryFolder(const std::string& outputFolder, const CategoryState& category,
                               int32_t checkedRecords) {
    // The folder's name counts the records written into it.
    const std::string folder = outputFolder + "/" + categoryFolderName(category, checkedRecords);
    makeFolder(folder);
    return folder;
}

} // namespace fennaro

#include "app/deep_load.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "deep_scan.h"

namespace fennaro {

namespace {

// Makes a fresh 0700 folder below the temporary folder; empty on failure.
std::string makePrivateFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/fennaro-current-XXXXXX";
    // mkdtemp makes the folder with mode 0700.
    if (::mkdtemp(pattern.data()) == nullptr)
        return {};
    return pattern;
}

// Writes the current state of copy into folder/name; returns that path, which
// does not exist when the copy is missing or cannot be read.
std::string currentStateOf(const std::string& copy, const std::string& folder, const char* name) {
    if (folder.empty())
        return {};
    const std::string path = folder + "/" + name;
    std::error_code ec;
    if (std::filesystem::exists(copy, ec))
        deep::writeCurrentState(copy, path);
    return path;
}

} // namespace

DeepLoadFiles prepareDeepLoad(RecordStore& store, const LocalDbPaths& copies) {
    store.deletedContactsText = deep::deepContactsText(copies.localContactsDb, copies.localSmsDb);
    store.deletedSmsText = deep::deepSmsText(copies.localContactsDb, copies.localSmsDb);
    DeepLoadFiles files;
    files.folder = makePrivateFolder();
    files.contactsDb = currentStateOf(copies.localContactsDb, files.folder, "contacts2.db");
    files.smsDb = currentStateOf(copies.localSmsDb, files.folder, "mmssms.db");
    return files;
}

void removeDeepLoadFiles(const DeepLoadFiles& files) {
    if (files.folder.empty())
        return;
    std::error_code ec;
    std::filesystem::remove_all(files.folder, ec);
}

} // namespace fennaro

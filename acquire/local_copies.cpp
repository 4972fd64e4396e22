#include "local_copies.h"

#include "file_ops.h"

namespace fennaro {

LocalDbPaths localDbPaths(const std::string& baseFolder) {
    std::string base = baseFolder;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    if (base == "/")
        base.clear();
    return {base + "/Quillmet/contacts2.db", base + "/quillmet-fennaro/mmssms.db"};
}

std::string callLogCopyPath(const LocalDbPaths& paths) {
    return platform::parentFolder(paths.localContactsDb) + "/calllog.db";
}

std::string bugleCopyPath(const LocalDbPaths& paths) {
    return platform::parentFolder(paths.localSmsDb) + "/bugle_db";
}

std::vector<std::string> allCopyPaths(const LocalDbPaths& paths) {
    return {paths.localContactsDb, paths.localSmsDb, callLogCopyPath(paths), bugleCopyPath(paths)};
}

bool prepareCopyFolders(const LocalDbPaths& paths) {
    bool contacts = platform::createPrivateFolder(platform::parentFolder(paths.localContactsDb));
    bool sms = platform::createPrivateFolder(platform::parentFolder(paths.localSmsDb));
    return contacts && sms;
}

std::vector<std::string> copyFamily(const std::string& copyPath) {
    std::vector<std::string> family{copyPath};
    for (const char* suffix : kSideFileSuffixes)
        family.push_back(copyPath + suffix);
    return family;
}

std::string manifestPathBeside(const std::string& copyPath) {
    return platform::parentFolder(copyPath) + "/" + kManifestFileName;
}

void deleteStaleCopies(const LocalDbPaths& paths) {
    for (const std::string& copy : allCopyPaths(paths)) {
        for (const std::string& file : copyFamily(copy))
            platform::deleteFile(file);
        platform::deleteFile(manifestPathBeside(copy));
    }
}

ArrivedCopies checkArrivedCopies(const LocalDbPaths& paths) {
    return {platform::fileExists(paths.localContactsDb), platform::fileExists(paths.localSmsDb)};
}

} // namespace fennaro

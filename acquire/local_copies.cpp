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

bool prepareCopyFolders(const LocalDbPaths& paths) {
    bool contacts = platform::createPrivateFolder(platform::parentFolder(paths.localContactsDb));
    bool sms = platform::createPrivateFolder(platform::parentFolder(paths.localSmsDb));
    return contacts && sms;
}

void deleteStaleCopies(const LocalDbPaths& paths) {
    platform::deleteFile(paths.localContactsDb);
    platform::deleteFile(paths.localSmsDb);
}

ArrivedCopies checkArrivedCopies(const LocalDbPaths& paths) {
    return {platform::fileExists(paths.localContactsDb), platform::fileExists(paths.localSmsDb)};
}

} // namespace fennaro

#include "phone_layout.h"

namespace fennaro {

std::vector<std::string> candidateFolders(const PhoneDatabase& database) {
    std::vector<std::string> folders;
    for (const char* provider : {database.provider, database.otherProvider}) {
        if (!provider)
            continue;
        const std::string tail = std::string("/") + provider + "/databases";
        for (const char* root : {"/data/data", "/data/user_de/0", "/data/user/0"})
            folders.push_back(root + tail);
    }
    return folders;
}

bool isPlainPhonePath(const std::string& phonePath) {
    if (phonePath.size() < 2 || phonePath[0] != '/' || phonePath.find("/..") != std::string::npos)
        return false;
    for (char c : phonePath) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '/' || c == '.' || c == '_' || c == '-';
        if (!plain)
            return false;
    }
    return true;
}

} // namespace fennaro

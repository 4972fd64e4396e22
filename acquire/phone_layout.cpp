#include "phone_layout.h"

namespace fennaro {

std::vector<std::string> candidateFolders(const PhoneDatabase& database) {
    const std::string tail = std::string("/") + database.provider + "/databases";
    return {"/data/data" + tail, "/data/user_de/0" + tail, "/data/user/0" + tail};
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

#include "phone/phone_databases.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

namespace fennaro {

namespace {

// Returns the path of name in the folder of beside when it is a regular file there, else "".
std::string siblingFile(const std::string& beside, const char* name) {
    if (beside.empty())
        return "";
    std::filesystem::path path = std::filesystem::path(beside).parent_path() / name;
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) ? path.string() : "";
}

} // namespace

PhoneDatabases phoneDatabasesBeside(const std::string& contactsDb, const std::string& smsDb) {
    return {contactsDb, smsDb, siblingFile(contactsDb, "calllog.db"), siblingFile(smsDb, "bugle_db")};
}

bool pathExists(const std::string& path) {
    // Looks at the directory entry only.
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

} // namespace fennaro

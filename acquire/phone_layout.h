// Where Android keeps the two databases. Releases before 7.0 keep both under
// /data/data; later ones keep the messages database in device-protected
// storage (/data/user_de/0) and the contacts database in credential-protected
// storage (/data/user/0, which /data/data points to). The first folder that
// holds a database is the one it is read from, with its side files.
#pragma once

#include <string>
#include <vector>

namespace fennaro {

struct PhoneDatabase {
    const char* provider; // the package whose databases folder holds it
    const char* fileName;
};

inline constexpr PhoneDatabase kContactsDatabase{"com.android.providers.contacts", "contacts2.db"};
inline constexpr PhoneDatabase kSmsDatabase{"com.android.providers.telephony", "mmssms.db"};

// The folders database may lie in, in the order they are tried.
std::vector<std::string> candidateFolders(const PhoneDatabase& database);

// True when phonePath is absolute and made only of letters, digits and
// "/._-", so it passes through the phone's shells as one word, unchanged.
// Every path the acquisition builds is; this guards against one that is not.
bool isPlainPhonePath(const std::string& phonePath);

} // namespace fennaro

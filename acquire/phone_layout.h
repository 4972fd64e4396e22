// Where Android keeps the databases. Releases before 7.0 keep both classic
// ones under /data/data; later ones keep the messages database in
// device-protected storage (/data/user_de/0) and the contacts database in
// credential-protected storage (/data/user/0, which /data/data points to).
// The call log (7.0 and later) lies beside the contacts database; the
// messaging app's own store lies in the app's folder, whose package depends
// on which build of the app the phone has. The first folder that holds a
// database is the one it is read from, with its side files.
#pragma once

#include <string>
#include <vector>

namespace fennaro {

struct PhoneDatabase {
    const char* provider; // the package whose databases folder holds it
    const char* fileName;
    // Another package that may keep the same database instead (another build
    // of the same app); null when there is none.
    const char* otherProvider = nullptr;
};

inline constexpr PhoneDatabase kContactsDatabase{"com.android.providers.contacts", "contacts2.db"};
inline constexpr PhoneDatabase kSmsDatabase{"com.android.providers.telephony", "mmssms.db"};
inline constexpr PhoneDatabase kCallLogDatabase{"com.android.providers.contacts", "calllog.db"};
inline constexpr PhoneDatabase kBugleDatabase{"com.google.android.apps.messaging", "bugle_db",
                                              "com.android.messaging"};

// The folders database may lie in, in the order they are tried.
std::vector<std::string> candidateFolders(const PhoneDatabase& database);

// True when phonePath is absolute and made only of letters, digits and
// "/._-", so it passes through the phone's shells as one word, unchanged.
// Every path the acquisition builds is; this guards against one that is not.
bool isPlainPhonePath(const std::string& phonePath);

} // namespace fennaro

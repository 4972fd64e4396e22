// fennaro-recover deep contacts|sms CONTACTS_DB SMS_DB [--bugle FILE]: the
// deep engine's deleted contacts or messages (SMS, then MMS and the
// messaging app's messages) as recovered-record text, byte for byte in the
// format of the carve command. Also the deep loading run that list
// --deep and export --deep share.
#include <cstdio>

#include "commands.h"
#include "input_checks.h"
#include "phone/contacts_text.h"
#include "phone/deep_load.h"
#include "phone/deep_stores.h"
#include "phone/phone_databases.h"
#include "phone/sms_text.h"
#include "sqlite_recovery/sqlite_recovery.h"

namespace fennaro::cli {

bool checkNamedStores(const OtherStoreFlags& flags) {
    bool ok = true;
    for (const std::string& path : {flags.callLogDb, flags.bugleDb}) {
        if (path.empty())
            continue;
        if (checkInputFile(path))
            warnIfNotSqlite(path);
        else
            ok = false;
    }
    return ok;
}

PhoneDatabases phoneDatabasesOf(const std::string& contactsDb, const std::string& smsDb,
                                const OtherStoreFlags& flags) {
    PhoneDatabases dbs = phoneDatabasesBeside(contactsDb, smsDb);
    if (!flags.callLogDb.empty())
        dbs.callLogDb = flags.callLogDb;
    if (!flags.bugleDb.empty())
        dbs.bugleDb = flags.bugleDb;
    return dbs;
}

void loadDeep(RecordStore& store, const PhoneDatabases& dbs) {
    if (!deep::loadDeepAfterAcquisition(store, dbs))
        std::fputs("fennaro-recover: no private temporary folder for the current states; "
                   "live records read from the main files\n",
                   stderr);
}

int runDeepCommand(const Args& words) {
    Args args = words;
    std::string bugleDb;
    if (!takeFileFlag(args, "--bugle", &bugleDb) || args.size() != 3 ||
        (args[0] != "contacts" && args[0] != "sms") || (!bugleDb.empty() && args[0] != "sms"))
        return printUsage();
    // Other bytes hold no record; the engine finds nothing in them. A store
    // named on the command line must be there, as for the other commands.
    if (!checkDatabaseCopies(args[1], args[2]) || !checkNamedStores({"", bugleDb}))
        return 1;
    // A database that changed while it was read gives no text to trust.
    std::string error;
    const std::string lines = args[0] == "contacts"
                                  ? deep::deepContactsText(args[1], args[2], &error)
                                  : deep::deepSmsText(args[1], args[2], &error);
    if (!error.empty()) {
        std::fprintf(stderr, "fennaro-recover: %s\n", error.c_str());
        return 1;
    }
    // The deleted MMS and the messaging app's deleted messages follow the
    // deleted SMS; without them the text is the SMS lines alone.
    std::string text = lines;
    if (args[0] == "sms") {
        if (bugleDb.empty())
            bugleDb = phoneDatabasesBeside(args[1], args[2]).bugleDb;
        text += deep::deepStoresText(args[1], args[2], bugleDb);
    }
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size())
        return 1;
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace fennaro::cli

// fennaro-recover deep contacts|sms CONTACTS_DB SMS_DB: the deep engine's
// deleted contacts or messages as recovered-record text, byte for byte in
// the format of the carve command. Also the deep loading run that list
// --deep and export --deep share.
#include <cstdio>

#include "commands.h"
#include "deep_load.h"
#include "deep_scan.h"
#include "input_checks.h"

namespace fennaro::cli {

void loadDeep(RecordStore& store, const std::string& contactsDb, const std::string& smsDb) {
    if (!deep::loadDeepAfterAcquisition(store, contactsDb, smsDb))
        std::fputs("fennaro-recover: no private temporary folder for the current states; "
                   "live records read from the main files\n",
                   stderr);
}

int runDeepCommand(const Args& args) {
    if (args.size() != 3 || (args[0] != "contacts" && args[0] != "sms"))
        return printUsage();
    // Other bytes hold no record; the engine finds nothing in them.
    if (!checkDatabaseCopies(args[1], args[2]))
        return 1;
    const std::string text = args[0] == "contacts" ? deep::deepContactsText(args[1], args[2])
                                                   : deep::deepSmsText(args[1], args[2]);
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size())
        return 1;
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace fennaro::cli

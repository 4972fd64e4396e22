// fennaro-recover carve contacts|sms CONTACTS_DB SMS_DB: one engine run, its
// result text written to standard output byte for byte. A file that cannot
// be read ends the command with status 1 before the engine runs.
#include <cstdio>

#include "commands.h"
#include "input_checks.h"
#include "sqlite_parse.h"

namespace fennaro::cli {

int runCarveCommand(const Args& args) {
    if (args.size() != 3 || (args[0] != "contacts" && args[0] != "sms"))
        return printUsage();
    // Other bytes carve to what the engine defines for them (nothing).
    if (!checkDatabaseCopies(args[1], args[2]))
        return 1;
    SqliteParse engine(args[1], args[2]);
    engine.startParse(args[0] == "contacts" ? ePaserContacts : ePaserSms);
    std::string text = engine.get_contacts_mem();
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size())
        return 1;
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace fennaro::cli

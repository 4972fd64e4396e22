// fennaro-recover: the whole recovery without a window, for scripts.
#include <cstdio>
#include <string>

#include "argument_order.h"
#include "commands.h"
#include "platform/product_identity.h"
#include "program_info.h"

namespace fennaro::cli {

namespace {

// The command lines the program takes, one per line; the usage text and
// --help both show them.
constexpr const char* kCommandLines =
    "  fennaro-recover carve contacts CONTACTS_DB SMS_DB\n"
    "  fennaro-recover carve sms CONTACTS_DB SMS_DB\n"
    "  fennaro-recover list [--deep] contacts CONTACTS_DB SMS_DB\n"
    "  fennaro-recover list [--deep] messages CONTACTS_DB SMS_DB\n"
    "  fennaro-recover list [--deep] calls CONTACTS_DB [--calllog CALLLOG_DB]\n"
    "  fennaro-recover search [--deep] CONTACTS_DB SMS_DB TEXT\n"
    "  fennaro-recover acquire [--deep]\n"
    "  fennaro-recover acquire --from EXTRACTION\n"
    "  fennaro-recover export [--deep] CONTACTS_DB SMS_DB OUT_FOLDER\n"
    "  fennaro-recover scan DB\n"
    "  fennaro-recover deep contacts CONTACTS_DB SMS_DB\n"
    "  fennaro-recover deep sms CONTACTS_DB SMS_DB [--bugle BUGLE_DB]\n"
    "  fennaro-recover report [--deep] [--utc] [--case TEXT] [--examiner NAME]\n"
    "                         [--notes TEXT] CONTACTS_DB SMS_DB OUT_FOLDER\n"
    "  (with --deep, list, search, export and report also take --calllog CALLLOG_DB\n"
    "  and --bugle BUGLE_DB for a call log or messaging app store not beside them)\n"
    "  fennaro-recover --help | --version\n";

// What each command does, for --help.
constexpr const char* kCommandSummaries =
    "  carve    print the engine's deleted contacts or messages, byte for byte\n"
    "  list     print the record list's rows: deleted records first, then live ones\n"
    "           (--deep: the deep engine's records and the databases' current state;\n"
    "           calls: the call log, from calllog.db beside CONTACTS_DB when there is one;\n"
    "           messages also MMS and bugle_db's, --bugle FILE naming one not beside SMS_DB)\n"
    "  search   print the records the window's search finds for TEXT, as list prints\n"
    "           them, each conversation followed by its matching messages (TAB, date,\n"
    "           direction, text); names, numbers (0049 30 123 finds +4930123...), e-mail\n"
    "           addresses and message texts, case ignored; --deep: also calls\n"
    "  acquire  pull both databases off the phone into folders below the home folder\n"
    "           (--deep: with their journals, without changing the phone, and a manifest;\n"
    "           --from: the same from a folder or archive of the phone's files)\n"
    "  export   recover every record into OUT_FOLDER/Fennaro<time stamp>/ as text files\n"
    "           (--deep: as list --deep)\n"
    "  scan     print every deleted record of every table of any SQLite database as JSON\n"
    "  deep     print the deep engine's deleted contacts or messages, as carve does\n"
    "           (sms: also deleted MMS and bugle_db messages; --bugle names a bugle_db\n"
    "           that is not beside SMS_DB)\n"
    "  report   write OUT_FOLDER/report.html, the pages it links to and\n"
    "           OUT_FOLDER/records.csv: every record, the deleted ones with their evidence\n"
    "           and place, and the copies' hashes (--case, --examiner, --notes: shown at\n"
    "           the top; --utc: dates in UTC rather than this computer's local time)\n";

// Returns the --help text.
std::string helpText() {
    std::string text = "usage:\n";
    text += kCommandLines;
    text += "\nRecovers contacts and text messages, deleted ones included, from the copies\n"
            "of a rooted Android phone's contacts2.db and mmssms.db.\n\n";
    text += kCommandSummaries;
    text += "\nExit status: 0 on success, 1 when a file cannot be read or written or nothing\n"
            "was recovered, 2 on a wrong command line. More: man fennaro-recover.\n";
    return text;
}

} // namespace

int printUsage() {
    std::fputs("usage:\n", stderr);
    std::fputs(kCommandLines, stderr);
    return kUsageStatus;
}

} // namespace fennaro::cli

int main(int argc, char** argv) {
    using namespace fennaro::cli;
    if (auto status =
            fennaro::handleInfoOption(argc, argv, fennaro::kRecoverProgramName, helpText()))
        return *status;
    // Options may stand anywhere on the line; the commands get the operands
    // in their order, then the options.
    OrderedWords ordered = orderWords(Args(argv + 1, argv + argc));
    if (ordered.operands.empty() || !ordered.complete)
        return printUsage();
    const std::string command = ordered.operands.front();
    Args args(ordered.operands.begin() + 1, ordered.operands.end());
    args.insert(args.end(), ordered.options.begin(), ordered.options.end());
    if (command == "carve")
        return runCarveCommand(args);
    if (command == "list")
        return runListCommand(args);
    if (command == "search")
        return runSearchCommand(args);
    if (command == "acquire")
        return runAcquireCommand(args);
    if (command == "export")
        return runExportCommand(args);
    if (command == "scan")
        return runScanCommand(args);
    if (command == "deep")
        return runDeepCommand(args);
    if (command == "report")
        return runReportCommand(args);
    return printUsage();
}

// The sub-commands of fennaro-recover, the program's command-line front end.
// Each takes the words after its own name and returns the exit status.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "phone/phone_databases.h"

namespace fennaro {
struct RecordStore;
struct SearchQuery;
namespace deep {
struct CallRecord;
}
} // namespace fennaro

namespace fennaro::cli {

using Args = std::vector<std::string>;

// The arguments without --deep, whose presence *deepRun tells. The options
// follow the operands (see orderWords), wherever the user wrote them.
inline Args afterDeepFlag(const Args& words, bool* deepRun) {
    Args args = words;
    const auto deep = std::find(args.begin(), args.end(), "--deep");
    *deepRun = deep != args.end();
    if (*deepRun)
        args.erase(deep);
    return args;
}

// Takes a `FLAG FILE` pair out of args (anywhere after the command's
// name): *file gets FILE, else stays as it is. False when FLAG comes
// without its FILE.
inline bool takeFileFlag(Args& args, const char* flag, std::string* file) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != flag)
            continue;
        if (i + 1 >= args.size())
            return false;
        *file = args[i + 1];
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                   args.begin() + static_cast<std::ptrdiff_t>(i + 2));
        return true;
    }
    return true;
}

// The phone's other stores as a deep command line names them: `--calllog
// FILE` and `--bugle FILE`, each "" when not given (then the one beside the
// database is read).
struct OtherStoreFlags {
    std::string callLogDb;
    std::string bugleDb;
    bool given() const { return !callLogDb.empty() || !bugleDb.empty(); }
};

// Takes both flags out of args; false when one comes without its FILE.
inline bool takeOtherStoreFlags(Args& args, OtherStoreFlags* flags) {
    return takeFileFlag(args, "--calllog", &flags->callLogDb) &&
           takeFileFlag(args, "--bugle", &flags->bugleDb);
}

// Exit status for wrong arguments; the usage text goes to standard error.
constexpr int kUsageStatus = 2;

int printUsage();

// Checks that the files the flags name can be read, as the databases are
// checked (each bad one is named; false then).
bool checkNamedStores(const OtherStoreFlags& flags);

// The databases of a phone whose two copies are given: the call log and
// the messaging app's store beside them, or those the flags name.
PhoneDatabases phoneDatabasesOf(const std::string& contactsDb, const std::string& smsDb,
                                const OtherStoreFlags& flags);

// The deep loading run of list --deep, export --deep and report --deep;
// says on standard error when the live records could not be read from the
// current states.
void loadDeep(RecordStore& store, const PhoneDatabases& dbs);

// Print the record list's rows of a loaded store as list does, one line
// each; with a query only the matching records, each conversation followed
// by its matching message lines (TAB, date line, direction, text).
void printContactRows(const RecordStore& store, const SearchQuery* query);
void printMessageRows(const RecordStore& store, const SearchQuery* query);
// Prints one call of the call log as list calls does; line is scratch space.
void printCallRow(std::string& line, const deep::CallRecord& call);

int runCarveCommand(const Args& args);
int runSearchCommand(const Args& args);
int runListCommand(const Args& args);
int runAcquireCommand(const Args& args);
int runExportCommand(const Args& args);
int runScanCommand(const Args& args);
int runDeepCommand(const Args& args);
int runReportCommand(const Args& args);

} // namespace fennaro::cli

// The sub-commands of fennaro-recover, the program's command-line front end.
// Each takes the words after its own name and returns the exit status.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace fennaro {
struct RecordStore;
}

namespace fennaro::cli {

using Args = std::vector<std::string>;

// The arguments after an optional leading --deep, which *deepRun tells.
inline Args afterDeepFlag(const Args& words, bool* deepRun) {
    *deepRun = !words.empty() && words[0] == "--deep";
    return Args(words.begin() + (*deepRun ? 1 : 0), words.end());
}

// Takes a `--bugle FILE` pair out of args (anywhere after the command's
// name): *bugleDb gets FILE, else stays as it is. False when --bugle comes
// without its FILE.
inline bool takeBugleFlag(Args& args, std::string* bugleDb) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--bugle")
            continue;
        if (i + 1 >= args.size())
            return false;
        *bugleDb = args[i + 1];
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                   args.begin() + static_cast<std::ptrdiff_t>(i + 2));
        return true;
    }
    return true;
}

// Exit status for wrong arguments; the usage text goes to standard error.
constexpr int kUsageStatus = 2;

int printUsage();

// The deep loading run of list --deep and export --deep; says on standard
// error when the live records could not be read from the current states.
void loadDeep(RecordStore& store, const std::string& contactsDb, const std::string& smsDb);
// The same with the messaging app's store: bugleDb, or "" for the one beside smsDb.
void loadDeep(RecordStore& store, const std::string& contactsDb, const std::string& smsDb,
              const std::string& bugleDb);

int runCarveCommand(const Args& args);
int runListCommand(const Args& args);
int runAcquireCommand(const Args& args);
int runExportCommand(const Args& args);
int runScanCommand(const Args& args);
int runDeepCommand(const Args& args);
int runReportCommand(const Args& args);

} // namespace fennaro::cli

// The helper program and the four command lines that make the two databases
// readable on a rooted phone and copy them to the computer.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "local_copies.h"
#include "stop_signal.h"

namespace fennaro {

// The helper's file name; it lies in the program's own folder.
inline constexpr const char* kHelperFileName = "quillmet-fennaro-adb-help.exe";

inline constexpr const char* kPhoneContactsDb =
    "/data/data/com.android.providers.contacts/databases/contacts2.db";
inline constexpr const char* kPhoneSmsDb =
    "/data/data/com.android.providers.telephony/databases/mmssms.db";

// The command tails in the order they run. The SMS database is copied
// before the contacts database; each pull tail is followed by its local path.
inline constexpr const char* kChmodContactsTail =
    " shell su root chmod 777 /data/data/com.android.providers.contacts/databases/contacts2.db";
inline constexpr const char* kChmodSmsTail =
    " shell su root chmod 777 /data/data/com.android.providers.telephony/databases/mmssms.db";
inline constexpr const char* kPullSmsTail =
    " pull /data/data/com.android.providers.telephony/databases/mmssms.db ";
inline constexpr const char* kPullContactsTail =
    " pull /data/data/com.android.providers.contacts/databases/contacts2.db ";

struct HelperLimits {
    // A permission change is one quick shell command on the phone.
    std::chrono::milliseconds permission{3000};
    // A copy of a large database over USB 2 can take a while; a copy cut off
    // at its limit is incomplete and is removed.
    std::chrono::milliseconds pull{120000};
};

struct HelperCommand {
    // The helper's path, the words of the tail, then (for a pull) the local
    // path as one word, whatever blanks or shell characters it holds.
    std::vector<std::string> argv;
    std::chrono::milliseconds limit{0};
    // The local copy a pull writes; empty for the permission commands.
    std::string copyPath;

    // The command as one line of text: the helper's path and the tail.
    std::string commandLine() const;
};

// The helper's full path inside programFolder.
std::string helperPath(const std::string& programFolder);

// The four commands, in the order they run.
std::vector<HelperCommand> helperCommands(const std::string& programFolder,
                                          const LocalDbPaths& paths,
                                          const HelperLimits& limits = {});

// Runs one command hidden and waits for it up to its limit, killing it on
// expiry or when stop (may be null) is requested. A pull cut off at its
// limit or by a stop, or one the helper reports as failed, leaves no copy
// behind. Returns 1 if the helper was started, 0 if not (nothing is started
// once a stop has been requested).
int runHelperCommand(const HelperCommand& command, const platform::StopSignal* stop = nullptr);

// Kills every running process whose program file name is the helper's,
// compared without regard to case; true when the last one found was killed.
bool killHelperProcesses();

} // namespace fennaro

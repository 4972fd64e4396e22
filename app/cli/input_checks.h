// The checks every command runs on the paths it is given, before any work:
// each problem is printed on standard error in the form
//   fennaro-recover: PATH: No such file or directory
// naming the file and the reason, so a wrong path never passes for an empty
// phone. A command that gets false returns status 1.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace fennaro::cli {

// Prints "fennaro-recover: PATH: REASON" on standard error.
void reportPathProblem(std::string_view path, std::string_view reason);

// Checks that a command can read the file at path: it exists, is no folder,
// pipe or socket, and opens for reading. Character devices pass, so
// /dev/null can stand in for a copy the phone did not give. Prints the
// problem and returns false when the file cannot be read.
bool checkInputFile(const std::string& path);

// Runs checkInputFile on every path, so each bad one is reported, not only
// the first. Returns whether all passed.
bool checkInputFiles(std::initializer_list<std::string> paths);

// Prints "fennaro-recover: warning: PATH: not an SQLite database" (or "empty
// file") when the file does not begin with the SQLite header. The command
// goes on all the same: the engine and the reader have defined results for
// any bytes. Returns whether the header was there.
bool warnIfNotSqlite(const std::string& path);

// The checks of a command that reads the two database copies: both must be
// readable (each bad one is named; false then), and copies that are no
// SQLite database are named in a warning while the command goes on.
bool checkDatabaseCopies(const std::string& contactsDb, const std::string& smsDb);

// Checks that path is a folder this program may create entries in. Prints
// the problem and returns false when it is missing, not a folder, or not
// writable.
bool checkOutputFolder(const std::string& path);

} // namespace fennaro::cli

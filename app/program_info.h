// What the programs say about themselves: the product version, and the
// --help and --version options every program of the product answers before
// it does anything else. Qt-free, so the window program can call it before
// its application object exists.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace fennaro {

// The product's version, shared by every program, the About box and the
// package: "1.5.0.0".
std::string_view productVersion();

// Returns the text of --version: "NAME 1.5.0.0" and the maker's rights line,
// each ended by a line feed.
std::string versionText(std::string_view programName);

// Returns the --help text of the window program quillmet-fennaro.
std::string_view windowHelpText();

// Answers --help and --version when they are the first argument: prints
// helpText or versionText(programName) on standard output and returns the
// exit status (0, or 1 when the text could not be written). Returns nullopt
// for any other command line, so the caller goes on with its work.
//
// The window program's main starts with:
//   if (auto status = fennaro::handleInfoOption(argc, argv, "quillmet-fennaro",
//                                               fennaro::windowHelpText()))
//       return *status;
std::optional<int> handleInfoOption(int argc, char** argv, std::string_view programName,
                                    std::string_view helpText);

} // namespace fennaro

// The helper command lines of a deep acquisition, which reads the databases
// with root rights and changes nothing on the phone: no permission change, no
// copy made on the phone, nothing written there.
//   helper get-state                                   "device" when a phone is ready
//   helper shell su -c id -u                           "0" when root is granted
//   helper shell su -c stat -c %s:%n / PATH...         "SIZE:PATH" per existing file
//   helper exec-out su -c cat PATH                     the file's bytes
// "/" always exists, so its line proves that the listing ran on the phone:
// without it, a file absent from the listing is unknown, not missing.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fennaro {

struct DeepLimits {
    // A check or a size listing is one quick command on the phone.
    std::chrono::milliseconds command{10000};
    // The first su of a session may put a prompt on the phone's screen that
    // waits for its user to grant root.
    std::chrono::milliseconds rootGrant{60000};
    // Reading one file; one cut off at its limit is incomplete and removed.
    std::chrono::milliseconds pull{120000};
};

// Asks adb whether a phone is connected, online and allowed to debug.
std::vector<std::string> phoneStateCommand(const std::string& helper);

// Asks the phone for the user id that su grants.
std::vector<std::string> rootCheckCommand(const std::string& helper);

// Asks the phone for the sizes of the files at phonePaths (with root rights).
std::vector<std::string> sizeListingCommand(const std::string& helper,
                                            const std::vector<std::string>& phonePaths);

// Asks the phone to send the file at phonePath to standard output.
std::vector<std::string> readFileCommand(const std::string& helper, const std::string& phonePath);

// The sizes sizeListingCommand's output gives, by phone path; files absent
// from it do not exist. Nothing when the output lacks the line for "/", that
// is, when the listing did not run on the phone.
std::optional<std::map<std::string, uint64_t>> parseSizeListing(const std::string& output);

// The text without blanks and line ends around it.
std::string trimmed(const std::string& text);

} // namespace fennaro

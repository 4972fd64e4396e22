// The few shell commands the emulated phone answers, as a rooted phone's
// shell would: "su root chmod 777 PATH" for the classic acquisition, and the
// read-only "su -c cat PATH", "su -c stat -c FORMAT PATH...", "su -c id -u"
// for the deep one. Nothing else runs, and nothing but chmod changes the phone.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace adbphone {

// What the phone holds and how it misbehaves; it outlives a connection, as
// a real phone does.
struct PhoneState {
    std::string rootFolder;         // stands for the phone's "/"
    bool rooted = true;             // whether su works
    bool silent = false;            // never answers: the host sees it offline
    std::set<std::string> readable; // phone paths opened up by chmod through su
    int idleSeconds = 120;          // a host silent this long ends the session
    std::string logFile;            // every request received is appended here
    // Test behaviours, each for files of one base name: a file that grows
    // each time it is read; a file whose reading stalls after its first bytes
    // for slowSeconds; a file during whose reading the phone goes away.
    std::string growingName;
    std::string slowName;
    int slowSeconds = 0;
    std::string vanishingName;
    bool gone = false; // set once the phone has gone away
};

struct CommandResult {
    std::string out;
    std::string err;
    int status = 0;
    // The base name of the file cat sent, empty when cat sent none.
    std::string catName;
};

// Splits text into words as a POSIX shell does for plain commands: blanks
// separate words; single quotes, double quotes and backslashes quote.
std::vector<std::string> shellWords(const std::string& text);

// Runs one command line as the phone's shell user would.
CommandResult runPhoneCommand(PhoneState& phone, const std::string& commandLine);

// The host file standing for phonePath, empty when it is outside the root.
std::string hostPathOf(const PhoneState& phone, const std::string& phonePath);

} // namespace adbphone

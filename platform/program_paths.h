// Where the program lives and whose home it runs in.
#pragma once

#include <string>

namespace fennaro::platform {

// The folder of the running program file, without a trailing slash, read
// from /proc/self/exe; empty when it cannot be read.
std::string programFolder();

// The home folder of the user running the program: $HOME when set, else the
// password database's entry; empty when neither gives one.
std::string homeFolder();

} // namespace fennaro::platform

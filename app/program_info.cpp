#include "program_info.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/product_identity.h"

namespace fennaro {

namespace {

// Writes text to standard output and flushes it. When any of it was lost (a
// full disk, a closed pipe) says so on standard error and returns false.
bool printAll(std::string_view text, std::string_view programName) {
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (std::fflush(stdout) == 0 && written)
        return true;
    const std::string line =
        std::string(programName) + ": standard output: " + std::strerror(errno) + "\n";
    std::fputs(line.c_str(), stderr);
    return false;
}

} // namespace

std::string_view productVersion() {
    return kProgramVersion;
}

std::string versionText(std::string_view programName) {
    std::string text(programName);
    text.append(" ").append(productVersion()).append("\n");
    text.append("Copyright (C) ").append(kMakerName).append(". All rights reserved.\n");
    return text;
}

std::string_view windowHelpText() {
    return "usage: quillmet-fennaro [--help | --version]\n"
           "\n"
           "Opens the Quillmet Fennaro window: connect a rooted Android phone by USB,\n"
           "read its contacts and text messages, deleted ones included, and save the\n"
           "records you check as text files.\n"
           "\n"
           "  --help     print this text and exit\n"
           "  --version  print the version and exit\n"
           "\n"
           "The same recovery without a window: fennaro-recover --help.\n";
}

std::optional<int> handleInfoOption(int argc, char** argv, std::string_view programName,
                                    std::string_view helpText) {
    if (argc < 2 || argv[1] == nullptr)
        return std::nullopt;
    const std::string_view option = argv[1];
    if (option == "--help")
        return printAll(helpText, programName) ? 0 : 1;
    if (option == "--version")
        return printAll(versionText(programName), programName) ? 0 : 1;
    return std::nullopt;
}

} // namespace fennaro

// The demo phone's helper, quillmet-fennaro-adb-help.exe in build/demo/bin.
// It answers the commands the program sends a phone from the sample databases
// in demo-phone/ beside it, so the program can be seen at work without one:
//   shell su root chmod 777 PHONE_PATH   succeeds when the sample exists
//   pull PHONE_PATH LOCAL_PATH           copies the sample to LOCAL_PATH
// A sample is found by the file name of PHONE_PATH. Exit status 0 on success,
// 1 on failure, with adb-like messages.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "file_ops.h"
#include "program_paths.h"

namespace {

// The sample standing for phonePath, empty when the demo phone has none.
std::string sampleFor(const std::string& phonePath) {
    std::string name = fennaro::platform::baseName(phonePath);
    if (name.empty() || name == "." || name == "..")
        return {};
    std::string sample = fennaro::platform::programFolder() + "/demo-phone/" + name;
    return fennaro::platform::fileExists(sample) ? sample : std::string();
}

// Answers "shell su root chmod 777 PATH".
int chmodCommand(const std::string& phonePath) {
    if (sampleFor(phonePath).empty()) {
        std::fprintf(stderr, "chmod: %s: No such file or directory\n", phonePath.c_str());
        return 1;
    }
    return 0;
}

// Answers "pull PHONE_PATH LOCAL_PATH".
int pullCommand(const std::string& phonePath, const std::string& localPath) {
    std::string sample = sampleFor(phonePath);
    if (sample.empty()) {
        std::fprintf(stderr, "adb: error: remote object '%s' does not exist\n", phonePath.c_str());
        return 1;
    }
    std::error_code ec;
    std::filesystem::copy_file(sample, localPath, std::filesystem::copy_options::overwrite_existing,
                               ec);
    if (ec) {
        std::fprintf(stderr, "adb: error: cannot create '%s': %s\n", localPath.c_str(),
                     ec.message().c_str());
        fennaro::platform::deleteFile(localPath);
        return 1;
    }
    std::printf("%s: 1 file pulled, 0 skipped.\n", phonePath.c_str());
    return 0;
}

} // namespace

// Dispatches the two commands the program sends; anything else fails.
int main(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "shell" && argc == 7 && std::string(argv[2]) == "su" &&
        std::string(argv[3]) == "root" && std::string(argv[4]) == "chmod" &&
        std::string(argv[5]) == "777")
        return chmodCommand(argv[6]);
    if (command == "pull" && argc == 4)
        return pullCommand(argv[2], argv[3]);
    std::fputs("demo phone: only 'shell su root chmod 777 PATH' and 'pull PATH LOCAL' "
               "are served\n",
               stderr);
    return 1;
}

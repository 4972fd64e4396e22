// The demo phone's helper, quillmet-fennaro-adb-help.exe in build/demo/bin.
// It answers the commands the program sends a phone, so the program can be
// seen at work without one. The classic acquisition's commands are served
// from the sample databases in demo-phone/ beside it, found by the file name
// of PHONE_PATH:
//   shell su root chmod 777 PHONE_PATH   succeeds when the sample exists
//   pull PHONE_PATH LOCAL_PATH           copies the sample to LOCAL_PATH
// The deep acquisition's from the modern phone in modern-phone/ beside it,
// laid out as on the phone (modern-phone/data/user_de/0/...):
//   get-state                            "device"
//   shell su -c id -u                    "0"
//   shell su -c stat -c FORMAT PATH...   a line per existing file (%s size, %n name)
//   exec-out su -c cat PATH              the file's bytes
// Exit status 0 on success, 1 on failure, with adb-like messages; exec-out,
// like adb's, reports the phone's complaint in its output and ends with 0.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

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

// The modern phone's file at phonePath, empty when it has none there.
std::string modernFileFor(const std::string& phonePath) {
    if (phonePath.empty() || phonePath[0] != '/' || phonePath.find("/..") != std::string::npos)
        return {};
    std::string file = fennaro::platform::programFolder() + "/modern-phone" + phonePath;
    return fennaro::platform::fileSize(file) ? file : std::string();
}

// Answers "shell su -c stat -c FORMAT PATH...".
int statCommand(const std::string& format, const std::vector<std::string>& phonePaths) {
    int status = 0;
    for (const std::string& path : phonePaths) {
        std::string file = path == "/" ? fennaro::platform::programFolder() : modernFileFor(path);
        if (file.empty()) {
            std::fprintf(stderr, "stat: '%s': No such file or directory\n", path.c_str());
            status = 1;
            continue;
        }
        std::error_code ec;
        uintmax_t size = path == "/" ? 4096 : std::filesystem::file_size(file, ec);
        std::string line;
        for (size_t i = 0; i < format.size(); ++i) {
            if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's')
                line += std::to_string(size), ++i;
            else if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 'n')
                line += path, ++i;
            else
                line += format[i];
        }
        std::printf("%s\n", line.c_str());
    }
    return status;
}

// Answers "exec-out su -c cat PATH".
int catCommand(const std::string& phonePath) {
    std::string file = modernFileFor(phonePath);
    if (file.empty()) {
        std::printf("cat: %s: No such file or directory\n", phonePath.c_str());
        return 0;
    }
    fennaro::platform::readFileInChunks(file, [](const char* data, size_t size) {
        return std::fwrite(data, 1, size, stdout) == size;
    });
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

// Dispatches the commands the program sends; anything else fails.
int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    auto startsWith = [&](const std::vector<std::string>& words) {
        return args.size() >= words.size() && std::equal(words.begin(), words.end(), args.begin());
    };
    if (args.size() == 6 && startsWith({"shell", "su", "root", "chmod", "777"}))
        return chmodCommand(args[5]);
    if (args.size() == 3 && args[0] == "pull")
        return pullCommand(args[1], args[2]);
    if (args == std::vector<std::string>{"get-state"}) {
        std::puts("device");
        return 0;
    }
    if (args == std::vector<std::string>{"shell", "su", "-c", "id", "-u"}) {
        std::puts("0");
        return 0;
    }
    if (args.size() >= 7 && startsWith({"shell", "su", "-c", "stat", "-c"}))
        return statCommand(args[5], std::vector<std::string>(args.begin() + 6, args.end()));
    if (args.size() == 5 && startsWith({"exec-out", "su", "-c", "cat"}))
        return catCommand(args[4]);
    std::fputs("demo phone: this command is not served\n", stderr);
    return 1;
}

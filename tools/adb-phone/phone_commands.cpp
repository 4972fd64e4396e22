#include "phone_commands.h"

#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace adbphone {

namespace {

// Reads a whole host file; false when it cannot be opened as a file.
bool readHostFile(const std::string& path, std::string& bytes) {
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return bool(in) || in.eof();
}

// The part of path after its last slash.
std::string baseNameOf(const std::string& path) {
    std::string::size_type slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "cat PATH...": the files' bytes one after another.
CommandResult cat(PhoneState& phone, const std::vector<std::string>& args) {
    CommandResult result;
    for (const std::string& path : args) {
        std::string bytes;
        if (!readHostFile(hostPathOf(phone, path), bytes)) {
            result.err += "cat: " + path + ": No such file or directory\n";
            result.status = 1;
            continue;
        }
        result.out += bytes;
        result.catName = baseNameOf(path);
        // A database the phone writes to while it is read.
        if (result.catName == phone.growingName)
            std::ofstream(hostPathOf(phone, path), std::ios::binary | std::ios::app)
                << std::string(1000, 'G');
    }
    return result;
}

// "stat -c FORMAT PATH...": one line per file, %s its size, %n its name.
CommandResult statFiles(PhoneState& phone, const std::vector<std::string>& args) {
    CommandResult result;
    if (args.size() < 2 || args[0] != "-c") {
        result.err = "stat: need -c FORMAT\n";
        result.status = 1;
        return result;
    }
    for (size_t i = 2; i < args.size(); ++i) {
        struct stat st;
        std::string host = hostPathOf(phone, args[i]);
        if (host.empty() || ::stat(host.c_str(), &st) != 0) {
            result.err += "stat: '" + args[i] + "': No such file or directory\n";
            result.status = 1;
            continue;
        }
        const std::string& format = args[1];
        for (size_t c = 0; c < format.size(); ++c) {
            if (format[c] != '%' || c + 1 == format.size()) {
                result.out += format[c];
                continue;
            }
            char conversion = format[++c];
            if (conversion == 's')
                result.out += std::to_string(st.st_size);
            else if (conversion == 'n')
                result.out += args[i];
            else
                result.out += conversion;
        }
        result.out += '\n';
    }
    return result;
}

// A command run with root rights through "su -c".
CommandResult runAsRoot(PhoneState& phone, const std::vector<std::string>& words) {
    std::vector<std::string> args(words.begin() + 1, words.end());
    if (words[0] == "cat")
        return cat(phone, args);
    if (words[0] == "stat")
        return statFiles(phone, args);
    if (words[0] == "id" && args == std::vector<std::string>{"-u"})
        return {"0\n", "", 0, ""};
    return {"", "/system/bin/sh: " + words[0] + ": not found\n", 127, ""};
}

// "su root chmod 777 PATH": opens PATH up to the shell user's pulls.
CommandResult chmodThroughSu(PhoneState& phone, const std::string& path) {
    struct stat st;
    std::string host = hostPathOf(phone, path);
    if (host.empty() || ::stat(host.c_str(), &st) != 0)
        return {"", "chmod: " + path + ": No such file or directory\n", 1, ""};
    phone.readable.insert(path);
    return {};
}

} // namespace

std::vector<std::string> shellWords(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '\'') {
            std::string::size_type close = text.find('\'', i + 1);
            if (close == std::string::npos)
                close = text.size();
            word += text.substr(i + 1, close - i - 1);
            i = close;
        } else if (c == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size() &&
                    std::string("$`\"\\\n").find(text[i + 1]) != std::string::npos)
                    ++i;
                word += text[i];
            }
        } else if (c == '\\' && i + 1 < text.size()) {
            word += text[++i];
        } else {
            word += c;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

CommandResult runPhoneCommand(PhoneState& phone, const std::string& commandLine) {
    std::vector<std::string> words = shellWords(commandLine);
    if (words.empty())
        return {};
    if (words[0] != "su")
        return {"", "/system/bin/sh: " + words[0] + ": not found\n", 127, ""};
    if (!phone.rooted)
        return {"", "/system/bin/sh: su: inaccessible or not found\n", 127, ""};
    if (words.size() == 5 && words[1] == "root" && words[2] == "chmod" && words[3] == "777")
        return chmodThroughSu(phone, words[4]);
    if (words.size() >= 3 && words[1] == "-c") {
        // su hands everything after -c to a shell as one command line.
        std::string inner;
        for (size_t i = 2; i < words.size(); ++i)
            inner += (i > 2 ? " " : "") + words[i];
        std::vector<std::string> innerWords = shellWords(inner);
        if (!innerWords.empty())
            return runAsRoot(phone, innerWords);
        return {};
    }
    return {"", "su: unknown usage\n", 1, ""};
}

std::string hostPathOf(const PhoneState& phone, const std::string& phonePath) {
    if (phonePath.empty() || phonePath[0] != '/' || phonePath.find("/..") != std::string::npos)
        return {};
    return phone.rootFolder + phonePath;
}

} // namespace adbphone

#include "deep_commands.h"

#include <sstream>

namespace fennaro {

std::vector<std::string> phoneStateCommand(const std::string& helper) {
    return {helper, "get-state"};
}

std::vector<std::string> rootCheckCommand(const std::string& helper) {
    return {helper, "shell", "su", "-c", "id", "-u"};
}

std::vector<std::string> sizeListingCommand(const std::string& helper,
                                            const std::vector<std::string>& phonePaths) {
    std::vector<std::string> argv{helper, "shell", "su", "-c", "stat", "-c", "%s:%n", "/"};
    argv.insert(argv.end(), phonePaths.begin(), phonePaths.end());
    return argv;
}

std::vector<std::string> readFileCommand(const std::string& helper, const std::string& phonePath) {
    return {helper, "exec-out", "su", "-c", "cat", phonePath};
}

std::optional<std::map<std::string, uint64_t>> parseSizeListing(const std::string& output) {
    std::map<std::string, uint64_t> sizes;
    bool rootListed = false;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string::size_type colon = line.find(':');
        if (colon == 0 || colon == std::string::npos || colon > 19 ||
            line.find_first_not_of("0123456789") != colon)
            continue; // not a listing line (a message of the phone's shell)
        std::string path = line.substr(colon + 1);
        if (path == "/")
            rootListed = true;
        else
            sizes[path] = std::stoull(line.substr(0, colon));
    }
    if (!rootListed)
        return std::nullopt;
    return sizes;
}

std::string trimmed(const std::string& text) {
    const char* blanks = " \t\r\n";
    std::string::size_type first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

} // namespace fennaro

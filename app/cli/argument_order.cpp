#include "argument_order.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace fennaro::cli {

namespace {

// The options that take the next word as their value.
constexpr std::array<std::string_view, 6> kValueOptions = {"--calllog", "--bugle",    "--from",
                                                           "--case",    "--examiner", "--notes"};

// Returns whether word is an option's name rather than an operand.
bool isOption(const std::string& word) {
    return word.size() > 1 && word[0] == '-';
}

// Returns whether the option takes the next word as its value.
bool takesValue(std::string_view option) {
    return std::find(kValueOptions.begin(), kValueOptions.end(), option) != kValueOptions.end();
}

} // namespace

OrderedWords orderWords(const std::vector<std::string>& words) {
    OrderedWords ordered;
    bool optionsEnded = false;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (optionsEnded) {
            ordered.operands.push_back(isOption(word) ? "./" + word : word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        if (!isOption(word)) {
            ordered.operands.push_back(word);
            continue;
        }
        const size_t equals = word.find('=');
        if (word.rfind("--", 0) == 0 && equals != std::string::npos &&
            takesValue(std::string_view(word).substr(0, equals))) {
            ordered.options.push_back(word.substr(0, equals));
            ordered.options.push_back(word.substr(equals + 1));
            continue;
        }
        ordered.options.push_back(word);
        if (!takesValue(word))
            continue;
        if (i + 1 < words.size())
            ordered.options.push_back(words[++i]);
        else
            ordered.complete = false;
    }
    return ordered;
}

} // namespace fennaro::cli

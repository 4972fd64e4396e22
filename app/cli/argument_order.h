// The order of a command line's words as the commands read them: options
// first, operands after. Users write options before, between or after the
// operands (`report C S OUT --deep`), as GNU getopt lets them; the commands
// then see the operands in their order and each option once.
#pragma once

#include <string>
#include <vector>

namespace fennaro::cli {

struct OrderedWords {
    // Every option in the order given, a value option followed by its value.
    std::vector<std::string> options;
    // The operands in the order given: the command's name first.
    std::vector<std::string> operands;
    // False when a value option ends the line without its value.
    bool complete = true;
};

// Splits the words after the program's name into options and operands. A word
// that starts with "-" (other than "-" alone) is an option; --calllog, --bugle,
// --from, --case, --examiner and --notes take the next word as their value
// (which may start with "-"), and "--name=value" is read
// as "--name value". "--" ends the options: every later word is an operand,
// and one that starts with "-" is given as "./-..." so that no command takes
// it for an option (it names the same file).
OrderedWords orderWords(const std::vector<std::string>& words);

} // namespace fennaro::cli

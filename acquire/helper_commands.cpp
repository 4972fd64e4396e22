#include "helper_commands.h"

#include <sstream>

#include "file_ops.h"
#include "process_list.h"
#include "process_run.h"

namespace fennaro {

namespace {

// Builds one command: the helper, the words of tail, and the local path.
HelperCommand makeCommand(const std::string& helper, const char* tail,
                          std::chrono::milliseconds limit, const std::string& copyPath = {}) {
    HelperCommand command;
    command.argv.push_back(helper);
    std::istringstream words(tail);
    for (std::string word; words >> word;)
        command.argv.push_back(word);
    if (!copyPath.empty())
        command.argv.push_back(copyPath);
    command.limit = limit;
    command.copyPath = copyPath;
    return command;
}

} // namespace

std::string HelperCommand::commandLine() const {
    std::string line;
    for (const std::string& word : argv) {
        if (!line.empty())
            line += ' ';
        line += word;
    }
    return line;
}

std::string helperPath(const std::string& programFolder) {
    return programFolder + "/" + kHelperFileName;
}

std::vector<HelperCommand> helperCommands(const std::string& programFolder,
                                          const LocalDbPaths& paths, const HelperLimits& limits) {
    const std::string helper = helperPath(programFolder);
    return {
        makeCommand(helper, kChmodContactsTail, limits.permission),
        makeCommand(helper, kChmodSmsTail, limits.permission),
        makeCommand(helper, kPullSmsTail, limits.pull, paths.localSmsDb),
        makeCommand(helper, kPullContactsTail, limits.pull, paths.localContactsDb),
    };
}

int runHelperCommand(const HelperCommand& command, const platform::StopSignal* stop) {
    if (stop && stop->requested())
        return 0;
    platform::RunResult result = platform::runHidden(command.argv, command.limit, stop);
    if (result.outcome == platform::RunOutcome::NotStarted)
        return 0;
    // A truncated database would otherwise be taken for a whole one.
    bool copyFailed = result.outcome == platform::RunOutcome::TimedOut ||
                      result.outcome == platform::RunOutcome::Stopped || result.exitStatus > 0;
    if (!command.copyPath.empty() && copyFailed)
        platform::deleteFile(command.copyPath);
    return 1;
}

bool killHelperProcesses() {
    return platform::killProcessesByFileName(kHelperFileName);
}

} // namespace fennaro

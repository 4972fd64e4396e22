// fennaro-recover export [--deep]: the whole recovery of two database copies
// without a window. Loads them as the window does after an acquisition
// (every record checked; with --deep through the deep engine and the
// databases' current states), exports everything into
// OUT_FOLDER/Fennaro<time stamp>/ exactly as Recover writes it, and prints
// the message the window would show.
#include <cstdio>
#include <ctime>
#include <string>

#include "commands.h"
#include "deep_load.h"
#include "record_export.h"
#include "record_loader.h"

namespace fennaro::cli {

namespace {

// Prints one message of the run on its own line.
void printMessage(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fputc('\n', stdout);
}

} // namespace

int runExportCommand(const Args& words) {
    const bool deepRun = !words.empty() && words[0] == "--deep";
    const Args args(words.begin() + (deepRun ? 1 : 0), words.end());
    if (args.size() != 3)
        return printUsage();
    RecordStore store;
    if (deepRun)
        loadDeep(store, args[0], args[1]);
    else
        loadAfterAcquisition(store, args[0], args[1]);

    const int32_t checked = countCheckedRecords(store);
    if (checked == 0) {
        printMessage("Please select the file(s) you want to recover.");
        return 1;
    }
    if (args[2].empty()) {
        printMessage("Please select the directory to save the files recovered.");
        return 1;
    }

    // Nobody watches the progress here.
    struct SilentListener : ExportListener {
        void progressChanged(int32_t) override {}
        void exportDone() override {}
    } listener;
    WorkerControls controls;
    ExportContext context{store, controls, listener, {}};
    prepareExport(context, args[2], checked, std::time(nullptr));
    exportThreadProc(context);

    printMessage(finishText(store.loadedCount, context.unwrittenRecords));
    // A script learns of lost records from the status as well.
    const bool flushed = std::fflush(stdout) == 0;
    return flushed && context.unwrittenRecords == 0 ? 0 : 1;
}

} // namespace fennaro::cli

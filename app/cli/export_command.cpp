// fennaro-recover export [--deep]: the whole recovery of two database copies
// without a window. Loads them as the window does after an acquisition
// (every record checked; with --deep through the deep engine and the
// databases' current states), exports everything into
// OUT_FOLDER/Fennaro<time stamp>/ exactly as Recover writes it, and prints
// the message the window would show.
//
// Unlike the window, a run that cannot finish leaves nothing behind: when a
// record could not be written or the run was interrupted, its time-stamped
// folder is removed again, so a folder that is there holds a whole export.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <sys/stat.h>

#include "commands.h"
#include "input_checks.h"
#include "interrupt_guard.h"
#include "phone/deep_load.h"
#include "phone/record_loader.h"
#include "progress_line.h"
#include "record_export.h"

namespace fennaro::cli {

namespace {

// Prints one message of the run on its own line.
void printMessage(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fputc('\n', stdout);
}

// Shows the run's progress on a terminal; says nothing otherwise.
struct ProgressListener : ExportListener {
    ProgressLine line{"Recovering"};
    void progressChanged(int32_t percent) override { line.show(percent); }
    void exportDone() override { line.finish(); }
};

// Makes sure the run's own folder exists: the export library reports a folder
// it could not create only through the records it then cannot write, so ask
// the system once more, and print why it refuses. Returns whether it exists.
bool ensureRunFolder(const std::string& folder) {
    std::error_code error;
    if (std::filesystem::is_directory(folder, error))
        return true;
    if (::mkdir(folder.c_str(), 0777) == 0)
        return true;
    reportPathProblem(folder, std::strerror(errno));
    return false;
}

// Removes the run's folder with everything written below it.
void removeRunFolder(const std::string& folder, const std::string& why) {
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    reportPathProblem(
        folder, why + (error ? "; the incomplete folder could not be removed: " + error.message()
                             : "; the incomplete folder was removed"));
}

} // namespace

int runExportCommand(const Args& words) {
    bool deepRun = false;
    Args args = afterDeepFlag(words, &deepRun);
    OtherStoreFlags stores;
    if (!takeOtherStoreFlags(args, &stores) || args.size() != 3 || (stores.given() && !deepRun))
        return printUsage();
    const std::string& contactsDb = args[0];
    const std::string& smsDb = args[1];
    const std::string& chosenFolder = args[2];
    // Every problem is found before the long load, and nothing is written.
    const PhoneDatabases dbs = phoneDatabasesOf(contactsDb, smsDb, stores);
    if (!checkInputFiles({contactsDb, smsDb}) || !checkNamedStores(stores) ||
        (!chosenFolder.empty() && !checkOutputFolder(chosenFolder)))
        return 1;
    warnIfNotSqlite(contactsDb);
    warnIfNotSqlite(smsDb);

    RecordStore store;
    if (deepRun)
        loadDeep(store, dbs);
    else
        loadAfterAcquisition(store, contactsDb, smsDb);

    const int32_t checked = countCheckedRecords(store);
    if (checked == 0) {
        printMessage("Please select the file(s) you want to recover.");
        return 1;
    }
    if (chosenFolder.empty()) {
        printMessage("Please select the directory to save the files recovered.");
        return 1;
    }

    ProgressListener listener;
    WorkerControls controls;
    ExportContext context{store, controls, listener, {}};
    InterruptGuard interrupts(controls.stopRequested);
    prepareExport(context, chosenFolder, checked, std::time(nullptr));
    if (!ensureRunFolder(context.outputFolder))
        return 1;
    exportThreadProc(context);

    if (interrupts.caughtSignal() != 0) {
        removeRunFolder(context.outputFolder, "interrupted");
        interrupts.endByCaughtSignal();
    }
    if (context.unwrittenRecords != 0) {
        removeRunFolder(context.outputFolder,
                        std::to_string(context.unwrittenRecords) + " records could not be written");
        return 1;
    }
    printMessage(finishText(store.loadedCount, context.unwrittenRecords));
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace fennaro::cli

// fennaro-recover report [--deep] CONTACTS_DB SMS_DB OUT_FOLDER: writes
// OUT_FOLDER/report.html and OUT_FOLDER/records.csv, the recovery's report:
// the copies with their hashes, the counts, every contact and conversation,
// and for each deleted record what it was read from and where.
#include <cstdio>

#include "commands.h"
#include "input_checks.h"
#include "phone/record_loader.h"
#include "report_files.h"

namespace fennaro::cli {

int runReportCommand(const Args& words) {
    bool deepRun = false;
    Args args = afterDeepFlag(words, &deepRun);
    OtherStoreFlags stores;
    if (!takeOtherStoreFlags(args, &stores) || args.size() != 3 || (stores.given() && !deepRun))
        return printUsage();
    const std::string& contactsDb = args[0];
    const std::string& smsDb = args[1];
    const std::string& folder = args[2];
    if (!checkDatabaseCopies(contactsDb, smsDb) || !checkNamedStores(stores) ||
        !checkOutputFolder(folder))
        return 1;
    const PhoneDatabases dbs = phoneDatabasesOf(contactsDb, smsDb, stores);

    RecordStore store;
    report::ReportData data;
    if (deepRun) {
        loadDeep(store, dbs);
        data = report::buildDeepReport(store);
    } else {
        loadAfterAcquisition(store, contactsDb, smsDb);
        data = report::buildClassicReport(store);
    }
    // Deep mode also names the call log and the messaging app's store when
    // they lie beside the two databases or the command line names them.
    data.copies =
        deepRun ? report::summarizePhoneCopies(dbs) : report::summarizeCopies({contactsDb, smsDb});
    const std::string problem = report::writeReportFiles(folder, data);
    if (!problem.empty()) {
        reportPathProblem(folder, problem);
        return 1;
    }
    std::printf("%s/report.html\n%s/records.csv\n", folder.c_str(), folder.c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace fennaro::cli

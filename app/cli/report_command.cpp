// fennaro-recover report [--deep] [--utc] [--case TEXT] [--examiner NAME]
// [--notes TEXT] CONTACTS_DB SMS_DB OUT_FOLDER: writes the recovery's report
// into OUT_FOLDER: report.html with the case, the copies with their hashes,
// the counts and the conversations, the pages it links to (contacts, one per
// conversation, calls, timeline) and records.csv, each deleted record with
// what it was read from and where.
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <thread>

#include "commands.h"
#include "input_checks.h"
#include "phone/record_loader.h"
#include "report_files.h"

namespace fennaro::cli {

namespace {

// What the report command line asks for beyond its operands.
struct ReportFlags {
    bool deep = false;
    OtherStoreFlags stores;
    report::ReportOptions options;
};

// Reads the options of a report command line (the operands come first, see
// orderWords) into flags and returns the operands; false in *ok on an
// unknown option or one without its value.
Args readReportFlags(const Args& words, ReportFlags& flags, bool* ok) {
    Args operands;
    *ok = true;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.rfind("-", 0) != 0) {
            operands.push_back(word);
            continue;
        }
        if (word == "--deep") {
            flags.deep = true;
            continue;
        }
        if (word == "--utc") {
            flags.options.utc = true;
            continue;
        }
        std::string* value = word == "--calllog"    ? &flags.stores.callLogDb
                             : word == "--bugle"    ? &flags.stores.bugleDb
                             : word == "--case"     ? &flags.options.caseText
                             : word == "--examiner" ? &flags.options.examiner
                             : word == "--notes"    ? &flags.options.notes
                                                    : nullptr;
        if (!value || i + 1 >= words.size()) {
            *ok = false;
            return operands;
        }
        *value = words[++i];
    }
    return operands;
}

// The rows a page holds: FENNARO_REPORT_PAGE_ROWS when it is a positive
// number (the tests split a small phone's pages with it), else the default.
size_t rowsPerPage() {
    const char* text = std::getenv("FENNARO_REPORT_PAGE_ROWS");
    if (!text || !*text)
        return report::kRowsPerPage;
    char* end = nullptr;
    const unsigned long long rows = std::strtoull(text, &end, 10);
    return *end == '\0' && rows > 0 ? static_cast<size_t>(rows) : report::kRowsPerPage;
}

} // namespace

int runReportCommand(const Args& words) {
    ReportFlags flags;
    bool ok = false;
    const Args args = readReportFlags(words, flags, &ok);
    if (!ok || args.size() != 3 || (flags.stores.given() && !flags.deep))
        return printUsage();
    const std::string& contactsDb = args[0];
    const std::string& smsDb = args[1];
    const std::string& folder = args[2];
    if (!checkDatabaseCopies(contactsDb, smsDb) || !checkNamedStores(flags.stores) ||
        !checkOutputFolder(folder))
        return 1;
    const PhoneDatabases dbs = phoneDatabasesOf(contactsDb, smsDb, flags.stores);
    flags.options.rowsPerPage = rowsPerPage();

    // The copies are hashed on another core while the records load: both
    // only read the files.
    const bool utc = flags.options.utc;
    std::vector<report::CopySummary> copies;
    std::jthread hashing([&] {
        // Deep mode also names the call log and the messaging app's store
        // when they lie beside the two databases or the command line names
        // them.
        copies = flags.deep ? report::summarizePhoneCopies(dbs, utc)
                            : report::summarizeCopies({contactsDb, smsDb}, utc);
    });
    RecordStore store;
    report::ReportData data;
    if (flags.deep) {
        loadDeep(store, dbs);
        data = report::buildDeepReport(store);
    } else {
        loadAfterAcquisition(store, contactsDb, smsDb);
        data = report::buildClassicReport(store);
    }
    if (utc)
        report::useUtcDates(data);
    hashing.join();
    data.copies = std::move(copies);
    const std::string problem = report::writeReportFiles(folder, data, flags.options);
    if (!problem.empty()) {
        reportPathProblem(folder, problem);
        return 1;
    }
    std::printf("%s/report.html\n%s/records.csv\n", folder.c_str(), folder.c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace fennaro::cli

// bench_remnants: the index pass against the table scan on the same
// generated phone, as the ratio of their times measured in the same run
// (best of three each, taking turns), and what the index pass brings back
// against the phone's ground truth: deleted data rows and messages whose
// rowid came back with the values their indexes hold, and entries that
// name a live row or give a value the row never had (should be none).
//
// usage: bench_remnants [DATA_DIR [MESSAGES]]   (default: bench-data, 60000)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>

#include "phone/scan_rules.h"
#include "phone_generator.h"
#include "sqlite_recovery/database_state.h"
#include "sqlite_recovery/index_remnants.h"
#include "sqlite_recovery/schema_reader.h"
#include "sqlite_recovery/sqlite_recovery.h"

namespace {

using namespace fennaro::deep;
using Clock = std::chrono::steady_clock;

// Seconds a call takes.
template <typename Call>
double timed(Call&& call) {
    const auto start = Clock::now();
    call();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The index records of a database, and the best of three times of the
// index pass and of the table scan, run in turns.
struct Run {
    std::vector<RecoveredRecord> records;
    double indexSeconds = 1e9, scanSeconds = 1e9;
};

// Runs both passes on one database file.
Run measure(const std::string& path) {
    Run run;
    for (int round = 0; round < 3; ++round) {
        run.scanSeconds =
            std::min(run.scanSeconds, timed([&] { fennaro::phone::scanDatabase(path); }));
        run.indexSeconds =
            std::min(run.indexSeconds, timed([&] {
                         std::string error;
                         auto state = openDatabaseState(path, &error);
                         if (!state)
                             return;
                         const SchemaInfo schema =
                             readSchema(*state->current, state->usableSize, state->textEncoding);
                         run.records = indexRemnants(*state, schema.tables);
                     }));
    }
    return run;
}

// The column a record's table has under name, or -1.
int columnOf(const std::string& path, const std::string& table, const std::string& name) {
    std::string error;
    auto state = openDatabaseState(path, &error);
    if (!state)
        return -1;
    for (const TableInfo& info :
         readSchema(*state->current, state->usableSize, state->textEncoding).tables) {
        if (info.name != table)
            continue;
        for (size_t c = 0; c < info.columns.size(); ++c) {
            if (info.columns[c].name == name)
                return int(c);
        }
    }
    return -1;
}

// Counts the records of table against the truth: known[id] holds the
// value of the checked column for every row that ever was (live rows
// included), deleted the ids deleted.
void report(const char* label, const Run& run, const std::string& table, int column,
            const std::map<int64_t, int64_t>& truth, const std::set<int64_t>& deleted) {
    std::set<int64_t> back;
    size_t wrong = 0, records = 0;
    for (const RecoveredRecord& record : run.records) {
        if (record.table != table || !record.rowid)
            continue;
        ++records;
        auto row = truth.find(*record.rowid);
        const bool knows =
            column >= 0 && size_t(column) < record.known.size() && record.known[size_t(column)];
        if (!deleted.count(*record.rowid) || row == truth.end() ||
            (knows && record.values[size_t(column)].integer != row->second)) {
            ++wrong;
            if (wrong <= 5)
                std::fprintf(stderr,
                             "  %s rowid %lld: %s, value %lld, truth %lld (source %s page %u)\n",
                             table.c_str(), (long long)*record.rowid,
                             deleted.count(*record.rowid) ? "deleted" : "live",
                             knows ? (long long)record.values[size_t(column)].integer : -1LL,
                             row == truth.end() ? -1LL : (long long)row->second,
                             sourceName(record.source), record.page);
            continue;
        }
        back.insert(*record.rowid);
    }
    std::printf("%-9s index pass / table scan time x%.2f (%.0f ms / %.0f ms); %zu records, "
                "%zu of %zu deleted rows back (%.1f%%), %zu wrong\n",
                label, run.indexSeconds / run.scanSeconds, run.indexSeconds * 1000,
                run.scanSeconds * 1000, records, back.size(), deleted.size(),
                deleted.empty() ? 0.0 : 100.0 * double(back.size()) / double(deleted.size()),
                wrong);
}

} // namespace

int main(int argc, char** argv) {
    const std::string data = argc > 1 ? argv[1] : "bench-data";
    const int messages = argc > 2 ? std::atoi(argv[2]) : 60000;
    if (messages < 100) {
        std::fprintf(stderr, "usage: bench_remnants [DATA_DIR [MESSAGES]]\n");
        return 2;
    }
    for (const bool wal : {false, true}) {
        testdata::PhoneSpec spec;
        spec.contacts = messages / 12;
        spec.messages = messages;
        spec.threads = std::max(1, messages / 50);
        spec.contactsOptions.wal = wal;
        spec.smsOptions.wal = wal;
        spec.contactsOptions.autoVacuumFull = true;
        const std::string dir =
            data + "/remnants-" + std::to_string(messages) + (wal ? "-wal" : "");
        const testdata::PhoneTruth truth = testdata::generatePhone(dir, spec);
        std::printf("phone of %d messages, %d contacts, %s, secure_delete off, auto_vacuum "
                    "FULL; best of 3 runs each, taking turns\n",
                    messages, spec.contacts, wal ? "WAL" : "rollback journal");
        // data(raw_contact_id) and sms(thread_id) are what their indexes hold.
        std::map<int64_t, int64_t> dataTruth, smsTruth;
        std::set<int64_t> deletedData, deletedSms;
        for (const testdata::RawContact& contact : truth.liveContacts) {
            for (const testdata::DataRow& row : contact.rows)
                dataTruth[row.id] = row.rawContactId;
        }
        for (const testdata::DataRow& row : truth.deletedDataRows) {
            dataTruth[row.id] = row.rawContactId;
            deletedData.insert(row.id);
        }
        for (const testdata::Message& m : truth.liveMessages)
            smsTruth[m.id] = m.threadId;
        for (const testdata::Message& m : truth.deletedMessages) {
            smsTruth[m.id] = m.threadId;
            deletedSms.insert(m.id);
        }
        const std::string contacts = dir + "/contacts2.db", sms = dir + "/mmssms.db";
        report("contacts", measure(contacts), "data", columnOf(contacts, "data", "raw_contact_id"),
               dataTruth, deletedData);
        report("messages", measure(sms), "sms", columnOf(sms, "sms", "thread_id"), smsTruth,
               deletedSms);
    }
    return 0;
}

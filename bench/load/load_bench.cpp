// Loads a large generated phone and prints how long reading and loading every
// record takes beside a bare SQLite iteration over the same rows (the limit),
// how long the record list's field selection takes for every contact, and the
// memory the store holds beside the text the phone holds.
//
// Usage: fennaro_bench_load [CACHE_DIR]
#include <malloc.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench_phone.h"
#include "contact_fields.h"
#include "content_generator.h"
#include "phone/record_loader.h"
#include "readonly_db.h"
#include "row_texts.h"
#include "testdata.h"

using namespace benchphone;

namespace {

using Clock = std::chrono::steady_clock;

// Measurements of each kind; the best counts.
constexpr int kRounds = 3;

// Returns the bytes of heap in use.
size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// What a bare iteration met: rows and text bytes.
struct BareResult {
    long rows = 0;
    long long textBytes = 0;
};

// Steps through one query, touching every column the way the reader does
// (integers as integers, texts as texts), and stores nothing.
void iterate(sqlite3* db, const char* sql, std::initializer_list<bool> textColumns,
             BareResult& result) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
        return;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        ++result.rows;
        int column = 0;
        for (bool text : textColumns) {
            if (text) {
                sqlite3_column_text(stmt, column);
                result.textBytes += sqlite3_column_bytes(stmt, column);
            } else {
                result.textBytes += 0 * sqlite3_column_int64(stmt, column);
            }
            ++column;
        }
    }
    sqlite3_finalize(stmt);
}

// The bare iteration over the rows the reader reads.
BareResult bareIteration(const std::string& contactsDb, const std::string& smsDb) {
    BareResult result;
    sqlite3* db = fennaro::openReadOnlyDatabase(contactsDb);
    iterate(db, "SELECT _id, name_raw_contact_id FROM contacts", {false, false}, result);
    iterate(db, "SELECT _id, deleted, display_name, display_name_source FROM raw_contacts",
            {false, false, true, false}, result);
    iterate(db, "SELECT mimetype_id, raw_contact_id, data1, data2, data4, data5 FROM data",
            {false, false, true, true, true, true}, result);
    iterate(db, "SELECT _id, mimetype FROM mimetypes", {false, true}, result);
    sqlite3_close(db);
    db = fennaro::openReadOnlyDatabase(smsDb);
    iterate(db, "SELECT _id FROM threads", {false}, result);
    iterate(db, "SELECT thread_id, address, person, date, type, body, _id FROM sms",
            {false, true, false, false, false, true, false}, result);
    iterate(db, "SELECT _id, address FROM canonical_addresses", {false, true}, result);
    sqlite3_close(db);
    return result;
}

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path cache = argc > 1 ? argv[1] : FENNARO_BENCH_DATA_DIR;
    const std::filesystem::path dir = ensureLoadPhone(cache);
    const std::string contactsDb = (dir / "contacts2.db").string();
    const std::string smsDb = (dir / "mmssms.db").string();

    // Warm the page cache; then alternate bare iterations and whole loads and
    // keep the best time of each, so a busy machine disturbs the ratio less.
    bareIteration(contactsDb, smsDb);
    BareResult bare;
    double bareSeconds = 1e9;
    double loadSeconds = 1e9;
    // The first load also pays for fresh memory pages, as a program's first
    // load does; later ones reuse what the allocator kept.
    double firstLoadSeconds = 0;
    double engineSeconds = 1e9;
    size_t heapHeld = 0;
    fennaro::RecordStore store;
    for (int round = 0; round < kRounds; ++round) {
        Clock::time_point start = Clock::now();
        bare = bareIteration(contactsDb, smsDb);
        bareSeconds = std::min(bareSeconds, secondsSince(start));

        fennaro::resetForReload(store);
        start = Clock::now();
        fennaro::runRecoveryEngine(store, contactsDb, smsDb);
        engineSeconds = std::min(engineSeconds, secondsSince(start));

        const size_t heapBefore = heapInUse();
        fennaro::WorkerControls controls;
        controls.runEvent.set();
        struct : fennaro::LoadListener {
            void progressChanged(int32_t) override {}
            void categoryChanged(fennaro::RecordCategory, std::string, int32_t) override {}
            void showPauseAndStop() override {}
            void loadDone() override {}
        } listener;
        fennaro::LoadContext context{store, controls, listener, contactsDb, smsDb};
        start = Clock::now();
        fennaro::loadThreadProc(context);
        const double seconds = secondsSince(start);
        if (round == 0)
            firstLoadSeconds = seconds;
        loadSeconds = std::min(loadSeconds, seconds);
        heapHeld = heapInUse() - heapBefore;
    }

    // The record list's cells of every live contact, one row each.
    const Clock::time_point start = Clock::now();
    const fennaro::ContactDataIndex index(store.contactLists);
    size_t cellBytes = 0;
    for (const fennaro::ContactNode& contact : store.contactLists.contacts) {
        const fennaro::ContactRowTexts row = fennaro::liveContactRowTexts(contact, index);
        cellBytes += row.name.size() + row.phone.size() + row.company.size() + row.email.size();
    }
    const double fieldSeconds = secondsSince(start);

    const auto fileBytes =
        std::filesystem::file_size(contactsDb) + std::filesystem::file_size(smsDb);
    std::printf("phone: %zu live contacts, %zu data rows, %zu conversations, %zu messages, "
                "%zu deleted contact lines, %zu deleted SMS lines\n",
                store.contactLists.contacts.size(), store.contactLists.dataRows.size(),
                store.smsLists.threads.size(), store.smsLists.messages.size(),
                store.deletedContacts.size(), store.deletedSms.size());
    std::printf("bare SQLite iteration:   %8.3f s  (%ld rows)\n", bareSeconds, bare.rows);
    std::printf("read and load all:       %8.3f s  ratio %.2f (goal <= 2)\n", loadSeconds,
                loadSeconds / bareSeconds);
    std::printf("  first load (fresh memory): %8.3f s  ratio %.2f\n", firstLoadSeconds,
                firstLoadSeconds / bareSeconds);
    std::printf("recovery engine, 2 runs: %8.3f s  (not part of the ratio)\n", engineSeconds);
    std::printf("field selection, %zu contacts: %8.3f s  ratio to bare %.3f (%zu cell bytes)\n",
                store.contactLists.contacts.size(), fieldSeconds, fieldSeconds / bareSeconds,
                cellBytes);
    std::printf("memory held by the store: %.1f MB; text the phone holds %.1f MB: ratio %.2f "
                "(goal <= 3); database files %.1f MB\n",
                heapHeld / 1e6, bare.textBytes / 1e6, double(heapHeld) / bare.textBytes,
                fileBytes / 1e6);
    return 0;
}

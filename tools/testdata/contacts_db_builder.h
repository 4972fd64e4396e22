// Builds a contacts2.db with the real Android table layout, row by row, and
// deletes rows the way the contacts provider does.
#pragma once

#include "testdata_types.h"

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testdata {

// Writes one contacts2.db. All writes go into one open transaction that commit()
// or close() ends; the file is complete on disk only after close(). Errors throw
// std::runtime_error.
class ContactsDbBuilder {
  public:
    // Creates `path` (an older file there is replaced) with the full schema, the
    // AOSP mimetype ids and the deletion triggers.
    ContactsDbBuilder(const std::string& path, const DbOptions& options);
    // Closes the file if close() was not called (errors are swallowed there).
    ~ContactsDbBuilder();
    ContactsDbBuilder(const ContactsDbBuilder&) = delete;
    ContactsDbBuilder& operator=(const ContactsDbBuilder&) = delete;

    // Adds a raw contact, its data rows and (unless contactId names an existing
    // aggregate) a row in `contacts`. Returns the raw contact id. Ids of 0 are
    // given out as the next free id.
    int64_t addRawContact(const RawContact& contact);
    // Adds one data row to an existing raw contact; returns its id.
    int64_t addDataRow(const DataRow& row);

    // Deletes a raw contact as the provider does for a local contact: the trigger
    // takes its data rows, and its aggregate when it was the last raw contact
    // (logged in deleted_contacts). Returns the data rows that went, in id order.
    std::vector<DataRow> deleteRawContact(int64_t id);
    // Marks a raw contact deleted=1, dirty=1 (an account contact waiting for sync).
    void markRawContactDeleted(int64_t id);
    // Deletes one data row; returns it, or nothing if there was no such row.
    std::optional<DataRow> deleteDataRow(int64_t id);
    // Deletes the given data rows one after the other; returns those that existed.
    std::vector<DataRow> deleteDataRows(const std::vector<int64_t>& ids);

    // Deletes two data rows whose cells lie next to each other on one leaf page
    // (so their freeblocks merge). Returns them, lower address first; empty if no
    // such pair exists. `nth` picks another pair.
    std::vector<DataRow> deleteNeighbourDataRows(int nth = 0);
    // Deletes the data row whose cell starts the cell content area of a leaf page,
    // so its bytes end up in the page's unallocated gap. `nth` picks another page.
    std::optional<DataRow> deleteContentStartDataRow(int nth = 0);

    // Reads a data row back; nothing if it does not exist.
    std::optional<DataRow> dataRow(int64_t id);
    // Id of a mimetype, inserting it when new (ids are given out by first use).
    int64_t mimetypeId(const std::string& mimetype);

    // Commits the open transaction so the file can be inspected; later writes open
    // a new one.
    void commit();
    // The connection, for extra statements of a test.
    sqlite3* db() { return m_db; }
    // Path of the file being built.
    const std::string& path() const { return m_path; }
    // Commits, applies WAL if asked and closes. Further calls do nothing.
    void close();

    // Upgrades a file built as Generation::Old in place, as the first start of a
    // newer Android does: ALTER TABLE appends the newer columns, so the rows
    // written so far keep their shorter 4.x records, and rows added later get
    // the new columns. Throws std::logic_error for any other generation.
    void upgradeToModern();
    // Commits and hands the open connection to the caller, who closes it; the
    // builder is closed afterwards and leaves the journal mode as it is.
    sqlite3* detach();

  private:
    // Opens the write transaction if none is open.
    void begin();
    // Binds and runs the insert of one data row whose ids are already settled.
    int64_t insertDataRow(const DataRow& row);
    // Next clock tick (ms) for time stamps, deterministic.
    int64_t tick();

    std::string m_path;
    DbOptions m_options;
    sqlite3* m_db = nullptr;
    std::map<std::string, int64_t> m_mimetypes;
    int64_t m_nextRawId = 1, m_nextDataId = 1, m_nextContactId = 1;
    int64_t m_clockMs = 1704067200000; // 2024-01-01 00:00 UTC
    struct Statements;
    std::unique_ptr<Statements> m_st; // prepared once, reused for every row
};

} // namespace testdata

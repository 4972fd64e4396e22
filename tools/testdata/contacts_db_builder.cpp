#include "contacts_db_builder.h"

#include "android_schema.h"
#include "page_inspector.h"
#include "phone_numbers.h"
#include "sqlite_util.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <stdexcept>

namespace testdata {

namespace {

// A 40-digit hex digest of a data row's values, standing in for the SHA-1 the
// provider stores in hash_id (only its shape matters here).
std::string hashIdOf(const DataRow& row) {
    std::string text = row.mimetype;
    for (const auto* v : {&row.data1, &row.data2, &row.data3, &row.data4, &row.data5})
        text += "\x1f" + v->value_or("");
    std::string out;
    uint64_t h = 1469598103934665603ull;
    for (int part = 0; out.size() < 40; ++part) {
        for (unsigned char ch : text)
            h = (h ^ ch) * 1099511628211ull;
        h ^= static_cast<uint64_t>(part);
        char buf[17];
        std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
        out += buf;
    }
    return out.substr(0, 40);
}

// Phonebook index label of a name: its first letter for Latin names, "#" otherwise.
std::string phonebookLabel(const std::optional<std::string>& name) {
    if (!name || name->empty())
        return "#";
    unsigned char c = static_cast<unsigned char>((*name)[0]);
    if (c < 0x80 && std::isalpha(c))
        return std::string(1, static_cast<char>(std::toupper(c)));
    return "#";
}

// Bucket number of a phonebook label (A=1 ... Z=26, "#" = 27).
int64_t phonebookBucket(const std::string& label) {
    return label == "#" ? 27 : label[0] - 'A' + 1;
}

// "Family, Given" for Latin names with both parts, else the display name itself.
std::optional<std::string> alternativeName(const RawContact& c) {
    if (!c.displayName || c.displayNameSource != 40)
        return c.displayName;
    for (const DataRow& r : c.rows) {
        if (r.mimetype == kMimeName && r.data2 && r.data3 &&
            c.displayName->find(' ') != std::string::npos)
            return *r.data3 + ", " + *r.data2;
    }
    return c.displayName;
}

} // namespace

// Every statement the builder runs per row, prepared once.
struct ContactsDbBuilder::Statements {
    // Prepares all statements for a file of generation `g`.
    Statements(sqlite3* db, Generation g)
        : insertRaw(
              db, "INSERT INTO raw_contacts (_id, account_id, version, dirty, deleted, contact_id,"
                  " aggregation_mode, aggregation_needed, starred, display_name, display_name_alt,"
                  " display_name_source, phonetic_name_style, sort_key, phonebook_label,"
                  " phonebook_bucket, sort_key_alt, phonebook_label_alt, phonebook_bucket_alt)"
                  " VALUES (?1, 1, ?2, ?3, ?3, ?4, 0, 0, 0, ?5, ?6, ?7, '0', ?5, ?8, ?9, ?6, ?10,"
                  " ?11)"),
          insertContact(db, "INSERT INTO contacts (_id, name_raw_contact_id, has_phone_number,"
                            " lookup, contact_last_updated_timestamp) VALUES (?1, ?2, ?3, ?4, ?5)"),
          insertData(db, hasModernColumns(g)
                             ? "INSERT INTO data (_id, mimetype_id, raw_contact_id, hash_id, data1,"
                               " data2, data3, data4, data5) VALUES (?1, ?2, ?3, ?9, ?4, ?5, ?6,"
                               " ?7, ?8)"
                             : "INSERT INTO data (_id, mimetype_id, raw_contact_id, data1, data2,"
                               " data3, data4, data5) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)"),
          insertLookup(db, "INSERT INTO phone_lookup (data_id, raw_contact_id, normalized_number,"
                           " min_match) VALUES (?1, ?2, ?3, ?4)"),
          // CROSS JOIN and the unary + keep the planner on the raw_contact_id indexes;
          // scanning data by mimetype would make every deletion cost a table scan.
          setHasPhone(db, "UPDATE contacts SET has_phone_number = EXISTS (SELECT 1 FROM"
                          " raw_contacts r CROSS JOIN data d ON d.raw_contact_id = r._id WHERE"
                          " r.contact_id = contacts._id AND +d.mimetype_id = ?1) WHERE _id = ?2"),
          selectData(db, "SELECT d._id, d.raw_contact_id, m.mimetype, d.data1, d.data2, d.data3,"
                         " d.data4, d.data5 FROM data d JOIN mimetypes m ON m._id = d.mimetype_id"
                         " WHERE d._id = ?1"),
          selectDataOfRaw(db, "SELECT d._id, d.raw_contact_id, m.mimetype, d.data1, d.data2,"
                              " d.data3, d.data4, d.data5 FROM data d JOIN mimetypes m ON m._id ="
                              " d.mimetype_id WHERE d.raw_contact_id = ?1 ORDER BY d._id"),
          deleteData(db, "DELETE FROM data WHERE _id = ?1"),
          deleteRaw(db, "DELETE FROM raw_contacts WHERE _id = ?1"),
          rawContactOf(db, "SELECT contact_id FROM raw_contacts WHERE _id = ?1"),
          countRaws(db, "SELECT COUNT(*), MIN(_id) FROM raw_contacts WHERE contact_id = ?1 AND"
                        " _id != ?2"),
          logDeleted(db, "INSERT OR REPLACE INTO deleted_contacts (contact_id,"
                         " contact_deleted_timestamp) VALUES (?1, ?2)"),
          contactExists(db, "SELECT 1 FROM contacts WHERE _id = ?1") {}

    Statement insertRaw, insertContact, insertData, insertLookup, setHasPhone, selectData,
        selectDataOfRaw, deleteData, deleteRaw, rawContactOf, countRaws, logDeleted, contactExists;
};

ContactsDbBuilder::ContactsDbBuilder(const std::string& path, const DbOptions& options)
    : m_path(path), m_options(options) {
    m_db = openFreshDatabase(path, options);
    try {
        const Generation g = options.generation;
        execSql(m_db, "BEGIN");
        execSql(m_db, contactsSchemaSql(g));
        execSql(m_db, "PRAGMA user_version=" + std::to_string(contactsDbVersion(g)));
        execSql(m_db, "INSERT INTO accounts (_id, account_name, account_type, data_set) "
                      "VALUES (1, NULL, NULL, NULL)");
        for (const std::string& m : initialMimetypes(g))
            mimetypeId(m);

        m_st = std::make_unique<Statements>(m_db, g);
    } catch (...) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        throw;
    }
}

ContactsDbBuilder::~ContactsDbBuilder() {
    try {
        close();
    } catch (...) {
    }
}

void ContactsDbBuilder::begin() {
    if (sqlite3_get_autocommit(m_db))
        execSql(m_db, "BEGIN");
}

int64_t ContactsDbBuilder::tick() {
    return m_clockMs += 1000;
}

int64_t ContactsDbBuilder::mimetypeId(const std::string& mimetype) {
    auto it = m_mimetypes.find(mimetype);
    if (it != m_mimetypes.end())
        return it->second;
    begin();
    Statement ins(m_db, "INSERT INTO mimetypes (mimetype) VALUES (?1)");
    ins.bind(1, mimetype).run();
    const int64_t id = sqlite3_last_insert_rowid(m_db);
    m_mimetypes.emplace(mimetype, id);
    return id;
}

int64_t ContactsDbBuilder::insertDataRow(const DataRow& row) {
    const int64_t id = row.id > 0 ? row.id : m_nextDataId;
    m_nextDataId = std::max(m_nextDataId, id + 1);
    const int64_t mime = mimetypeId(row.mimetype);
    Statement& st = m_st->insertData;
    st.bind(1, id).bind(2, mime).bind(3, row.rawContactId);
    st.bind(4, row.data1)
        .bind(5, row.data2)
        .bind(6, row.data3)
        .bind(7, row.data4)
        .bind(8, row.data5);
    if (hasModernColumns(m_options.generation))
        st.bind(9, hashIdOf(row));
    st.run();
    if (row.mimetype == kMimePhone && row.data1) {
        const std::string normalized = row.data4 ? *row.data4 : digitsOf(*row.data1, true);
        m_st->insertLookup.bind(1, id).bind(2, row.rawContactId).bind(3, normalized);
        m_st->insertLookup.bind(4, minMatchOf(normalized)).run();
    }
    return id;
}

int64_t ContactsDbBuilder::addRawContact(const RawContact& c) {
    begin();
    const int64_t rawId = c.id > 0 ? c.id : m_nextRawId;
    m_nextRawId = std::max(m_nextRawId, rawId + 1);
    const bool hasPhone = std::any_of(c.rows.begin(), c.rows.end(),
                                      [](const DataRow& r) { return r.mimetype == kMimePhone; });

    int64_t contactId = c.contactId.value_or(m_nextContactId);
    m_nextContactId = std::max(m_nextContactId, contactId + 1);
    m_st->contactExists.bind(1, contactId);
    const bool joined = m_st->contactExists.step();
    m_st->contactExists.reset();
    if (!joined) {
        char lookup[64];
        std::snprintf(lookup, sizeof lookup, "0r%lld-%llX", static_cast<long long>(rawId),
                      static_cast<unsigned long long>(rawId * 2654435761ull % 0xFFFFFFF));
        m_st->insertContact.bind(1, contactId).bind(2, rawId).bind(3, int64_t(hasPhone ? 1 : 0));
        m_st->insertContact.bind(4, std::string(lookup)).bind(5, tick()).run();
    }

    const std::optional<std::string> alt = alternativeName(c);
    const std::string label = phonebookLabel(c.displayName);
    const std::string labelAlt = phonebookLabel(alt);
    m_st->insertRaw.bind(1, rawId).bind(2, int64_t(1 + c.rows.size())).bind(3, int64_t(c.deleted));
    m_st->insertRaw.bind(4, contactId).bind(5, c.displayName).bind(6, alt);
    m_st->insertRaw.bind(7, int64_t(c.displayNameSource))
        .bind(8, label)
        .bind(9, phonebookBucket(label));
    m_st->insertRaw.bind(10, labelAlt).bind(11, phonebookBucket(labelAlt)).run();

    for (DataRow row : c.rows) {
        row.rawContactId = rawId;
        insertDataRow(row);
    }
    if (joined && hasPhone)
        execSql(m_db,
                "UPDATE contacts SET has_phone_number=1 WHERE _id=" + std::to_string(contactId));
    return rawId;
}

int64_t ContactsDbBuilder::addDataRow(const DataRow& row) {
    begin();
    const int64_t id = insertDataRow(row);
    if (row.mimetype == kMimePhone) {
        m_st->rawContactOf.bind(1, row.rawContactId);
        if (m_st->rawContactOf.step()) {
            const int64_t contactId = m_st->rawContactOf.columnInt(0);
            m_st->rawContactOf.reset();
            execSql(m_db, "UPDATE contacts SET has_phone_number=1 WHERE _id=" +
                              std::to_string(contactId));
        } else {
            m_st->rawContactOf.reset();
        }
    }
    return id;
}

// Reads the current row of a data SELECT into a DataRow.
static DataRow readDataRow(const Statement& st) {
    DataRow r;
    r.id = st.columnInt(0);
    r.rawContactId = st.columnInt(1);
    r.mimetype = st.columnText(2);
    r.data1 = st.columnOptText(3);
    r.data2 = st.columnOptText(4);
    r.data3 = st.columnOptText(5);
    r.data4 = st.columnOptText(6);
    r.data5 = st.columnOptText(7);
    return r;
}

std::optional<DataRow> ContactsDbBuilder::dataRow(int64_t id) {
    m_st->selectData.bind(1, id);
    std::optional<DataRow> row;
    if (m_st->selectData.step())
        row = readDataRow(m_st->selectData);
    m_st->selectData.reset();
    return row;
}

std::vector<DataRow> ContactsDbBuilder::deleteRawContact(int64_t id) {
    begin();
    m_st->rawContactOf.bind(1, id);
    if (!m_st->rawContactOf.step()) {
        m_st->rawContactOf.reset();
        return {};
    }
    const std::optional<int64_t> contactId = m_st->rawContactOf.columnOptInt(0);
    m_st->rawContactOf.reset();

    std::vector<DataRow> rows;
    m_st->selectDataOfRaw.bind(1, id);
    while (m_st->selectDataOfRaw.step())
        rows.push_back(readDataRow(m_st->selectDataOfRaw));
    m_st->selectDataOfRaw.reset();

    int64_t others = 0, otherRaw = 0;
    if (contactId) {
        m_st->countRaws.bind(1, *contactId).bind(2, id);
        if (m_st->countRaws.step()) {
            others = m_st->countRaws.columnInt(0);
            otherRaw = m_st->countRaws.columnInt(1);
        }
        m_st->countRaws.reset();
    }
    m_st->deleteRaw.bind(1, id).run(); // the trigger takes the data rows and a lone aggregate
    if (contactId && others == 0) {
        m_st->logDeleted.bind(1, *contactId).bind(2, tick()).run();
    } else if (contactId) {
        const std::string cid = std::to_string(*contactId);
        execSql(m_db, "UPDATE contacts SET name_raw_contact_id=" + std::to_string(otherRaw) +
                          " WHERE _id=" + cid + " AND name_raw_contact_id=" + std::to_string(id));
        m_st->setHasPhone.bind(1, mimetypeId(kMimePhone)).bind(2, *contactId).run();
    }
    return rows;
}

void ContactsDbBuilder::markRawContactDeleted(int64_t id) {
    begin();
    execSql(m_db, "UPDATE raw_contacts SET deleted=1, dirty=1 WHERE _id=" + std::to_string(id));
}

std::optional<DataRow> ContactsDbBuilder::deleteDataRow(int64_t id) {
    begin();
    std::optional<DataRow> row = dataRow(id);
    if (!row)
        return row;
    m_st->deleteData.bind(1, id).run();
    if (row->mimetype == kMimePhone) {
        m_st->rawContactOf.bind(1, row->rawContactId);
        std::optional<int64_t> contactId;
        if (m_st->rawContactOf.step())
            contactId = m_st->rawContactOf.columnOptInt(0);
        m_st->rawContactOf.reset();
        if (contactId)
            m_st->setHasPhone.bind(1, mimetypeId(kMimePhone)).bind(2, *contactId).run();
    }
    return row;
}

std::vector<DataRow> ContactsDbBuilder::deleteDataRows(const std::vector<int64_t>& ids) {
    std::vector<DataRow> out;
    for (int64_t id : ids)
        if (auto row = deleteDataRow(id))
            out.push_back(std::move(*row));
    return out;
}

std::vector<DataRow> ContactsDbBuilder::deleteNeighbourDataRows(int nth) {
    commit();
    const auto pair = findNeighbourRows(m_path, "data", nth);
    if (!pair)
        return {};
    return deleteDataRows({pair->first, pair->second});
}

std::optional<DataRow> ContactsDbBuilder::deleteContentStartDataRow(int nth) {
    commit();
    const auto id = findContentStartRow(m_path, "data", nth);
    if (!id)
        return std::nullopt;
    return deleteDataRow(*id);
}

void ContactsDbBuilder::commit() {
    if (m_db && !sqlite3_get_autocommit(m_db))
        execSql(m_db, "COMMIT");
}

void ContactsDbBuilder::close() {
    if (!m_db)
        return;
    m_st.reset();
    sqlite3* db = m_db;
    m_db = nullptr;
    finishDatabase(db, m_options);
}

void ContactsDbBuilder::upgradeToModern() {
    if (!m_db || m_options.generation != Generation::Old)
        throw std::logic_error("testdata: only an open 4.x file can be upgraded");
    commit();
    m_st.reset();
    execSql(m_db, contactsUpgradeSql());
    execSql(m_db, "PRAGMA user_version=" + std::to_string(contactsDbVersion(Generation::Upgraded)));
    m_options.generation = Generation::Upgraded;
    m_st = std::make_unique<Statements>(m_db, m_options.generation);
}

sqlite3* ContactsDbBuilder::detach() {
    commit();
    m_st.reset();
    sqlite3* db = m_db;
    m_db = nullptr;
    return db;
}

} // namespace testdata

#include "sqlite_parse.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sqlite3.h>
#include <unistd.h>

#include "carve.h"
#include "readonly_db.h"
#include "recovered_text.h"

namespace {

using fennaro::CarveBuffer;
using fennaro::RecordLayout;

// B-tree page types and header fields (offsets from the page start).
constexpr uint32_t kInteriorTablePage = 5;
constexpr uint32_t kLeafTablePage = 13;
constexpr uint64_t kFirstFreeblockField = 1;
constexpr uint64_t kCellCountField = 3;
constexpr uint64_t kInteriorHeaderSize = 12;
constexpr uint64_t kLeafHeaderSize = 8;
constexpr uint64_t kRightChildField = 8;
// The file header field that holds the page size.
constexpr uint64_t kPageSizeOffset = 16;

// Runs a query whose rows carry the root page and returns the last value read.
int32_t queryRootPage(sqlite3* db, const char* sql, bool* prepared) {
    sqlite3_stmt* stmt = nullptr;
    *prepared = sqlite3_prepare_v2(db, sql, int(std::strlen(sql)), &stmt, nullptr) == SQLITE_OK;
    int32_t root = 0;
    if (!*prepared)
        return root;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int i = 0; i < sqlite3_data_count(stmt); ++i)
            root = int32_t(uint32_t(uint64_t(sqlite3_column_int64(stmt, i))));
    }
    sqlite3_finalize(stmt);
    return root;
}

// Column count and names of a table, from a prepared SELECT * (no row needed).
bool tableColumns(sqlite3* db, const char* sql, std::vector<std::string>* names) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, int(std::strlen(sql)), &stmt, nullptr) != SQLITE_OK)
        return false;
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        const char* name = sqlite3_column_name(stmt, i);
        names->push_back(name ? name : "");
    }
    sqlite3_finalize(stmt);
    return true;
}

// Position of the last column with this exact name, or -1.
int32_t columnPosition(const std::vector<std::string>& names, const char* wanted) {
    int32_t position = -1;
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] == wanted)
            position = int32_t(i);
    }
    return position;
}

// Text of a column as a C string sees it (ends at the first zero byte).
std::string columnText(sqlite3_stmt* stmt, int i) {
    const unsigned char* text = sqlite3_column_text(stmt, i);
    return text ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}

bool fileExists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

bool contains(const std::string& s, const char* part) {
    return s.find(part) != std::string::npos;
}

} // namespace

SqliteParse::SqliteParse(const std::string& contactsDbPath, const std::string& smsDbPath)
    : m_contactsDbPath(contactsDbPath), m_smsDbPath(smsDbPath) {}

SqliteParse::~SqliteParse() {
    m_leafPages.clear();
    m_carvedContacts.clear();
    m_carvedSms.clear();
    m_freeblocks.clear();
    m_liveContactData.clear();
    m_dbFile.close();
    if (m_contactsDb)
        sqlite3_close(m_contactsDb);
    if (m_smsDb)
        sqlite3_close(m_smsDb);
}

std::string SqliteParse::get_contacts_mem() const {
    return m_recoveredText;
}

bool SqliteParse::InitContacParseFile() {
    if (!fileExists(m_contactsDbPath) || !contains(m_contactsDbPath, "contacts2.db"))
        return false;
    m_contactsDb = fennaro::openReadOnlyDatabase(m_contactsDbPath);
    if (!m_contactsDb)
        return false;
    bool prepared = false;
    m_rootPage = queryRootPage(
        m_contactsDb, "SELECT rootpage from sqlite_master where type=\"table\" and name=\"data\"",
        &prepared);
    std::vector<std::string> names;
    bool ok = prepared;
    if (ok && tableColumns(m_contactsDb, "SELECT * from data", &names)) {
        m_contactColumnCount = int32_t(names.size());
        // A column that is absent leaves its position unset; openForCarving
        // then refuses to carve rather than read a wrong column.
        m_rawContactIdColumn = columnPosition(names, "raw_contact_id");
        m_data1Column = columnPosition(names, "data1");
    } else {
        m_rawContactIdColumn = m_data1Column = -1;
    }
    sqlite3_close(m_contactsDb);
    m_contactsDb = nullptr;
    return ok;
}

bool SqliteParse::InitSmsParseFile() {
    if (!fileExists(m_contactsDbPath) || !fileExists(m_smsDbPath))
        return false;
    m_contactsDb = fennaro::openReadOnlyDatabase(m_contactsDbPath);
    if (!m_contactsDb)
        return false;
    m_smsDb = fennaro::openReadOnlyDatabase(m_smsDbPath);
    bool ok = m_smsDb != nullptr;

    if (ok && contains(m_contactsDbPath, "contacts2.db")) {
        const char* sql = "SELECT raw_contact_id, data1 from data ";
        sqlite3_stmt* stmt = nullptr;
        ok = sqlite3_prepare_v2(m_contactsDb, sql, int(std::strlen(sql)), &stmt, nullptr) ==
             SQLITE_OK;
        if (ok) {
            while (sqlite3_step(stmt) == SQLITE_ROW)
                m_liveContactData.emplace_back(columnText(stmt, 0), columnText(stmt, 1));
            sqlite3_finalize(stmt);
        }
    }
    // Without "mmssms.db" in its path the root page of "sms" is never looked
    // up, so there is nothing to carve.
    if (ok)
        ok = contains(m_smsDbPath, "mmssms.db");
    if (ok) {
        bool prepared = false;
        m_rootPage = queryRootPage(
            m_smsDb, "SELECT rootpage from sqlite_master where type=\"table\" and name=\"sms\"",
            &prepared);
        ok = prepared;
    }
    if (ok) {
        std::vector<std::string> names;
        if (tableColumns(m_smsDb, "SELECT * from sms", &names)) {
            m_smsColumnCount = int32_t(names.size());
            m_addressColumn = columnPosition(names, "address");
            m_personColumn = columnPosition(names, "person");
            m_bodyColumn = columnPosition(names, "body");
        } else {
            m_addressColumn = m_personColumn = m_bodyColumn = -1;
        }
    }
    sqlite3_close(m_contactsDb);
    m_contactsDb = nullptr;
    sqlite3_close(m_smsDb);
    m_smsDb = nullptr;
    return ok;
}

void SqliteParse::getDbPageSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return;
    unsigned char field[2];
    in.seekg(std::streamoff(kPageSizeOffset));
    if (!in.read(reinterpret_cast<char*>(field), 2))
        return;
    uint32_t size = (uint32_t(field[0]) << 8) | field[1];
    m_pageSize = size == 1 ? 65536 : int32_t(size);
}

bool SqliteParse::openForCarving(const std::string& path) {
    getDbPageSize(path);
    if (m_pageSize <= 0 || m_rootPage <= 0)
        return false;
    return m_dbFile.open(path);
}

void SqliteParse::startParse(ePaserType type) {
    if (type == ePaserContacts) {
        if (!InitContacParseFile())
            return;
        bool columnsKnown =
            m_contactColumnCount > 0 && m_rawContactIdColumn >= 0 && m_data1Column >= 0;
        if (columnsKnown && openForCarving(m_contactsDbPath)) {
            loopPage(int64_t(m_rootPage));
            sortLeafPage();
            loadFreelistCell(m_leafPages);
            parseContactFreelistCell(m_rawContactIdColumn, m_data1Column, m_contactColumnCount);
            parseContactUnassignedArea(m_rawContactIdColumn, m_data1Column, m_contactColumnCount);
        }
        saveContactRecover2File("");
    } else if (type == ePaserSms) {
        if (!InitSmsParseFile())
            return;
        bool columnsKnown = m_smsColumnCount > 0 && m_addressColumn >= 0 && m_personColumn >= 0 &&
                            m_bodyColumn >= 0;
        if (columnsKnown && openForCarving(m_smsDbPath)) {
            loopPage(int64_t(m_rootPage));
            sortLeafPage();
            loadFreelistCell(m_leafPages);
            parseSmsFresslistCell(m_addressColumn, m_personColumn, m_bodyColumn, m_smsColumnCount);
            parseSmsUnassignedArea(m_addressColumn, m_personColumn, m_bodyColumn, m_smsColumnCount);
        }
        saveSmsRecover2File("");
    }
}

void SqliteParse::loopPage(int64_t page) {
    const uint64_t pageSize = uint64_t(m_pageSize);
    const uint64_t fileSize = m_dbFile.size();
    // A page is walked at most once, so a child pointer that leads back up the
    // tree ends there; an explicit stack keeps a deep corrupt chain from
    // exhausting the call stack. Children are pushed so that they come off in
    // the order a recursive walk visits them: right-most child, then cells.
    std::vector<bool> visited(size_t(fileSize / pageSize + 1), false);
    std::vector<int64_t> pending{page};
    std::vector<unsigned char> header;
    std::vector<int64_t> children;
    while (!pending.empty()) {
        int64_t current = pending.back();
        pending.pop_back();
        if (current <= 0)
            continue;
        uint64_t start = uint64_t(current - 1) * pageSize;
        if (start >= fileSize || visited[size_t(current - 1)])
            continue;
        visited[size_t(current - 1)] = true;

        uint32_t type = 0, cellCount = 0;
        if (!m_dbFile.readU8(start, &type) ||
            (type != kInteriorTablePage && type != kLeafTablePage) ||
            !m_dbFile.readU16(start + kCellCountField, &cellCount))
            continue;
        if (type == kLeafTablePage) {
            // The cell pointers are not used, but a leaf whose pointer array
            // the file cannot hold whole is not a page we can carve.
            header.resize(kLeafHeaderSize + 2 * size_t(cellCount));
            if (m_dbFile.read(start, header.size(), header.data()))
                m_leafPages.push_back(uint32_t(current));
            continue;
        }
        header.resize(kInteriorHeaderSize + 2 * size_t(cellCount));
        if (!m_dbFile.read(start, header.size(), header.data()))
            continue;
        children.clear();
        uint32_t rightChild = (uint32_t(header[kRightChildField]) << 24) |
                              (uint32_t(header[kRightChildField + 1]) << 16) |
                              (uint32_t(header[kRightChildField + 2]) << 8) |
                              header[kRightChildField + 3];
        if (rightChild != 0)
            children.push_back(int64_t(rightChild));
        for (uint32_t k = 0; k < cellCount; ++k) {
            const unsigned char* pointer = &header[kInteriorHeaderSize + 2 * k];
            uint32_t cellOffset = (uint32_t(pointer[0]) << 8) | pointer[1];
            uint32_t child = 0;
            if (!m_dbFile.readU32(start + cellOffset, &child))
                break;
            children.push_back(int64_t(child));
        }
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
}

void SqliteParse::sortLeafPage() {
    std::sort(m_leafPages.begin(), m_leafPages.end());
}

void SqliteParse::loadFreelistCell(std::vector<unsigned int> /*leafPages*/) {
    const uint64_t pageSize = uint64_t(m_pageSize);
    const size_t maxChain = size_t(pageSize / 4);
    // seenIn[offset] holds the index + 1 of the page whose chain last used
    // that offset, so a chain that loops is cut without clearing a set per page.
    std::vector<uint32_t> seenIn(65536, 0);
    uint32_t pageIndex = 0;
    for (unsigned int page : m_leafPages) {
        ++pageIndex;
        uint64_t start = uint64_t(page - 1) * pageSize;
        uint32_t offset = 0;
        if (!m_dbFile.readU16(start + kFirstFreeblockField, &offset) || offset == 0)
            continue;
        std::vector<unsigned int> chain;
        while (offset != 0 && seenIn[offset] != pageIndex && chain.size() < maxChain) {
            seenIn[offset] = pageIndex;
            chain.push_back(offset);
            if (!m_dbFile.readU16(start + offset, &offset))
                break;
        }
        if (!chain.empty())
            m_freeblocks.emplace(page, std::move(chain));
    }
}

namespace {

// Reads one freeblock's carved bytes into buf and returns their length L, or
// 0 when there is nothing to carve (a short read, or a length of 0 or less).
int64_t loadFreeblock(fennaro::DbFile& file, uint64_t pageStart, uint32_t offset,
                      CarveBuffer& buf) {
    uint32_t size = 0, firstByte = 0;
    uint64_t block = pageStart + offset;
    if (!file.readU16(block + 2, &size) || !file.readU8(block + 4, &firstByte))
        return 0;
    // Byte 4 below 7 is taken for the first serial type; otherwise it is the
    // record's header size and the serial types start one byte later.
    uint64_t from = firstByte < 7 ? block + 4 : block + 5;
    int64_t length = firstByte < 7 ? int64_t(size) - 4 : int64_t(size) - 5;
    if (length <= 0)
        return 0;
    if (!file.read(from, size_t(length), buf.prepare(size_t(length))))
        return 0;
    return length;
}

// Reads a leaf page's unallocated gap into buf and returns its length G, or 0
// when there is nothing to carve.
int64_t loadGap(fennaro::DbFile& file, uint64_t pageStart, CarveBuffer& buf) {
    uint32_t cellCount = 0, contentStart = 0;
    if (!file.readU16(pageStart + 3, &cellCount) || !file.readU16(pageStart + 5, &contentStart))
        return 0;
    int64_t length = int64_t(contentStart) - 2 * int64_t(cellCount) - 8;
    if (contentStart == 0 || length <= 0)
        return 0;
    uint64_t from = pageStart + 8 + 2 * uint64_t(cellCount);
    if (!file.read(from, size_t(length), buf.prepare(size_t(length))))
        return 0;
    return length;
}

} // namespace

namespace {

// Number of freeblocks of all pages: most hold one deleted row each, so it
// sizes the carved-row vectors once instead of letting them grow.
size_t freeblockCount(const std::map<unsigned int, std::vector<unsigned int>>& freeblocks) {
    size_t count = 0;
    for (const auto& entry : freeblocks)
        count += entry.second.size();
    return count;
}

} // namespace

void SqliteParse::parseContactFreelistCell(const int& rawContactIdColumn, const int& data1Column,
                                           const int& columnCount) {
    if (m_freeblocks.empty())
        return;
    m_carvedContacts.reserve(m_carvedContacts.size() + freeblockCount(m_freeblocks));
    RecordLayout<2> layout{{rawContactIdColumn, data1Column}, columnCount};
    forEachFreeblock([&](const CarveBuffer& buf, int64_t length) {
        fennaro::scanFreeblock(buf, length, layout, fennaro::HeaderSizeSkip::AtLeastColumnCount,
                               [&](std::array<std::string, 2>&& v) {
                                   m_carvedContacts.emplace_back(std::move(v[0]), std::move(v[1]));
                               });
    });
}

void SqliteParse::parseContactUnassignedArea(const int& rawContactIdColumn, const int& data1Column,
                                             const int& columnCount) {
    RecordLayout<2> layout{{rawContactIdColumn, data1Column}, columnCount};
    forEachGap([&](const CarveBuffer& buf, int64_t gap) {
        fennaro::scanContactGap(buf, gap, layout, data1Column, [&](std::array<std::string, 2>&& v) {
            m_carvedContacts.emplace_back(std::move(v[0]), std::move(v[1]));
        });
    });
}

void SqliteParse::parseSmsFresslistCell(const int& addressColumn, const int& personColumn,
                                        const int& bodyColumn, const int& columnCount) {
    if (m_freeblocks.empty())
        return;
    m_carvedSms.reserve(m_carvedSms.size() + freeblockCount(m_freeblocks));
    RecordLayout<3> layout{{addressColumn, personColumn, bodyColumn}, columnCount};
    forEachFreeblock([&](const CarveBuffer& buf, int64_t length) {
        fennaro::scanFreeblock(buf, length, layout, fennaro::HeaderSizeSkip::MoreThanColumnCount,
                               [&](std::array<std::string, 3>&& v) {
                                   m_carvedSms.emplace_back(std::move(v[0]), std::move(v[1]),
                                                            std::move(v[2]));
                               });
    });
}

void SqliteParse::parseSmsUnassignedArea(const int& addressColumn, const int& personColumn,
                                         const int& bodyColumn, const int& columnCount) {
    RecordLayout<3> layout{{addressColumn, personColumn, bodyColumn}, columnCount};
    forEachGap([&](const CarveBuffer& buf, int64_t gap) {
        fennaro::scanSmsGap(buf, gap, layout, bodyColumn, [&](std::array<std::string, 3>&& v) {
            m_carvedSms.emplace_back(std::move(v[0]), std::move(v[1]), std::move(v[2]));
        });
    });
}

template <typename Carve>
void SqliteParse::forEachFreeblock(Carve&& carve) {
    CarveBuffer buf;
    for (const auto& [page, offsets] : m_freeblocks) {
        uint64_t start = uint64_t(page - 1) * uint64_t(m_pageSize);
        for (uint32_t offset : offsets) {
            if (int64_t length = loadFreeblock(m_dbFile, start, offset, buf))
                carve(buf, length);
        }
    }
}

template <typename Carve>
void SqliteParse::forEachGap(Carve&& carve) {
    CarveBuffer buf;
    for (unsigned int page : m_leafPages) {
        if (int64_t gap = loadGap(m_dbFile, uint64_t(page - 1) * uint64_t(m_pageSize), buf))
            carve(buf, gap);
    }
}

void SqliteParse::saveContactRecover2File(const std::string& /*ignored*/) {
    m_recoveredText += fennaro::buildContactText(m_carvedContacts);
}

void SqliteParse::saveSmsRecover2File(const std::string& /*ignored*/) {
    m_recoveredText += fennaro::buildSmsText(m_carvedSms, m_liveContactData);
}

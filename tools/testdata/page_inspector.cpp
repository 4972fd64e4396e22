#include "page_inspector.h"

#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <set>
#include <stdexcept>

namespace testdata {

namespace {

// Big-endian 16-bit read from a byte buffer.
uint32_t get16(const std::vector<uint8_t>& b, size_t at) {
    return at + 1 < b.size() ? (uint32_t(b[at]) << 8) | b[at + 1] : 0;
}

// Big-endian 32-bit read from a byte buffer.
uint32_t get32(const std::vector<uint8_t>& b, size_t at) {
    return at + 3 < b.size() ? (get16(b, at) << 16) | get16(b, at + 2) : 0;
}

// SQLite varint at `at`; sets `len` to its byte count.
uint64_t getVarint(const std::vector<uint8_t>& b, size_t at, size_t& len) {
    uint64_t v = 0;
    for (len = 1; len <= 9 && at + len - 1 < b.size(); ++len) {
        uint8_t byte = b[at + len - 1];
        if (len == 9)
            return (v << 8) | byte;
        v = (v << 7) | (byte & 0x7f);
        if (!(byte & 0x80))
            return v;
    }
    return v;
}

// Root page of `table` from sqlite_master, read through SQLite.
uint32_t rootPageOf(const std::string& path, const std::string& table) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("testdata: cannot open " + path);
    }
    sqlite3_stmt* st = nullptr;
    uint32_t root = 0;
    if (sqlite3_prepare_v2(db, "SELECT rootpage FROM sqlite_master WHERE type='table' AND name=?",
                           -1, &st, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, table.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(st) == SQLITE_ROW)
            root = static_cast<uint32_t>(sqlite3_column_int64(st, 0));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (root == 0)
        throw std::runtime_error("testdata: no table " + table + " in " + path);
    return root;
}

// Bytes a table-leaf cell with payload `payload` keeps on the page.
uint32_t localPayload(uint64_t payload, uint32_t usable, bool& overflows) {
    const uint64_t maxLocal = usable - 35;
    const uint64_t minLocal = (uint64_t(usable - 12) * 32 / 255) - 23;
    overflows = payload > maxLocal;
    if (!overflows)
        return static_cast<uint32_t>(payload);
    uint64_t k = minLocal + (payload - minLocal) % (usable - 4);
    return static_cast<uint32_t>(k <= maxLocal ? k : minLocal);
}

// Decodes one leaf page image into its layout.
LeafPage decodeLeaf(uint32_t pageNo, const std::vector<uint8_t>& b, size_t hdr, uint32_t usable) {
    LeafPage p;
    p.page = pageNo;
    p.firstFreeblock = get16(b, hdr + 1);
    const uint32_t nCells = get16(b, hdr + 3);
    p.contentStart = get16(b, hdr + 5);
    if (p.contentStart == 0)
        p.contentStart = 65536;
    p.fragmentedBytes = b[hdr + 7];
    p.gapStart = static_cast<uint32_t>(hdr + 8 + 2 * nCells);
    p.gapSize = p.contentStart > p.gapStart ? p.contentStart - p.gapStart : 0;
    std::set<uint32_t> seen;
    for (uint32_t fb = p.firstFreeblock; fb != 0 && fb + 4 <= b.size() && seen.insert(fb).second;
         fb = get16(b, fb))
        p.freeblocks.push_back({fb, get16(b, fb + 2)});
    for (uint32_t i = 0; i < nCells; ++i) {
        uint32_t at = get16(b, hdr + 8 + 2 * i);
        if (at == 0 || at >= b.size())
            continue;
        size_t l1 = 0, l2 = 0;
        uint64_t payload = getVarint(b, at, l1);
        LeafCell c;
        c.offset = at;
        c.rowid = static_cast<int64_t>(getVarint(b, at + l1, l2));
        uint32_t local = localPayload(payload, usable, c.overflows);
        c.size =
            std::max<uint32_t>(4, static_cast<uint32_t>(l1 + l2) + local + (c.overflows ? 4 : 0));
        p.cells.push_back(c);
    }
    return p;
}

// Whether deleting cells of `bytes` in total keeps `p` at most half free,
// which keeps SQLite from rebalancing (and rewriting) the page.
bool staysHalfFull(const LeafPage& p, uint32_t bytes, uint32_t pageSize) {
    return p.freeBytes() + bytes <= pageSize / 2;
}

} // namespace

uint32_t LeafPage::freeBytes() const {
    uint32_t total = gapSize + fragmentedBytes;
    for (const auto& f : freeblocks)
        total += f.size;
    return total;
}

uint32_t filePageSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    uint8_t h[2] = {0, 0};
    if (!in.seekg(16) || !in.read(reinterpret_cast<char*>(h), 2))
        return 0;
    uint32_t size = (uint32_t(h[0]) << 8) | h[1];
    return size == 1 ? 65536 : size;
}

std::vector<LeafPage> tableLeafPages(const std::string& path, const std::string& table) {
    const uint32_t root = rootPageOf(path, table);
    const uint32_t pageSize = filePageSize(path);
    std::ifstream in(path, std::ios::binary);
    if (!in || pageSize == 0)
        throw std::runtime_error("testdata: cannot read " + path);
    in.seekg(0, std::ios::end);
    const uint64_t fileSize = static_cast<uint64_t>(in.tellg());
    uint8_t reserved = 0;
    in.seekg(20);
    in.read(reinterpret_cast<char*>(&reserved), 1);
    const uint32_t usable = pageSize - reserved;

    std::vector<LeafPage> leaves;
    std::set<uint32_t> visited;
    std::vector<uint8_t> buf(pageSize);
    std::function<void(uint32_t)> walk = [&](uint32_t pageNo) {
        if (pageNo == 0 || uint64_t(pageNo) * pageSize > fileSize || !visited.insert(pageNo).second)
            return;
        in.clear();
        in.seekg(static_cast<std::streamoff>(uint64_t(pageNo - 1) * pageSize));
        if (!in.read(reinterpret_cast<char*>(buf.data()), pageSize))
            return;
        const size_t hdr = pageNo == 1 ? 100 : 0;
        if (buf[hdr] == 13) {
            leaves.push_back(decodeLeaf(pageNo, buf, hdr, usable));
        } else if (buf[hdr] == 5) {
            const uint32_t nCells = get16(buf, hdr + 3);
            std::vector<uint32_t> children;
            for (uint32_t i = 0; i < nCells; ++i)
                children.push_back(get32(buf, get16(buf, hdr + 12 + 2 * i)));
            children.push_back(get32(buf, hdr + 8));
            for (uint32_t child : children)
                walk(child);
        }
    };
    walk(root);
    std::sort(leaves.begin(), leaves.end(),
              [](const LeafPage& a, const LeafPage& b) { return a.page < b.page; });
    return leaves;
}

std::optional<std::pair<int64_t, int64_t>> findNeighbourRows(const std::string& path,
                                                             const std::string& table, int nth) {
    const uint32_t pageSize = filePageSize(path);
    for (const LeafPage& p : tableLeafPages(path, table)) {
        if (p.cells.size() < 4)
            continue;
        std::vector<LeafCell> cells = p.cells;
        std::sort(cells.begin(), cells.end(),
                  [](const LeafCell& a, const LeafCell& b) { return a.offset < b.offset; });
        for (size_t i = 0; i + 1 < cells.size(); ++i) {
            const LeafCell& a = cells[i];
            const LeafCell& b = cells[i + 1];
            if (a.offset == p.contentStart || a.offset + a.size != b.offset ||
                !staysHalfFull(p, a.size + b.size + 4, pageSize))
                continue;
            if (nth-- == 0)
                return std::make_pair(a.rowid, b.rowid);
            break; // one pair per page, so `nth` walks across pages
        }
    }
    return std::nullopt;
}

std::optional<int64_t> findContentStartRow(const std::string& path, const std::string& table,
                                           int nth) {
    const uint32_t pageSize = filePageSize(path);
    for (const LeafPage& p : tableLeafPages(path, table)) {
        if (p.cells.size() < 2)
            continue;
        for (const LeafCell& c : p.cells) {
            if (c.offset != p.contentStart || !staysHalfFull(p, c.size + 2, pageSize))
                continue;
            if (nth-- == 0)
                return c.rowid;
        }
    }
    return std::nullopt;
}

} // namespace testdata

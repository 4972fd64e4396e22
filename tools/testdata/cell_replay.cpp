#include "cell_replay.h"

#include "page_images.h"
#include "record_encoding.h"
#include "sqlite_util.h"
#include "survival_search.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>
#include <stdexcept>
#include <unordered_map>

namespace testdata {

namespace {

// B-tree page types and header fields.
constexpr uint8_t kInteriorTable = 5;
constexpr uint8_t kLeafTable = 13;
constexpr size_t kFileHeaderSize = 100; // page 1 starts with the database header
constexpr size_t kCellCount = 3;
constexpr size_t kRightChild = 8;
constexpr size_t kLeafHeaderSize = 8;
constexpr size_t kInteriorHeaderSize = 12;

// Bytes after byte 4 of a cell that must survive before it counts as
// header-lost where it was, and anywhere else (where a chance match of a few
// bytes is likelier); and the shortest run counted as partly overwritten.
constexpr size_t kTailAtPlace = 6;
constexpr size_t kTailElsewhere = 10;
constexpr size_t kShortestRecord = 8;
constexpr size_t kShortestRun = 8;
// The freeblock header a freed cell gets over its first bytes.
constexpr size_t kFreeblockHeader = 4;

// Reads the cells of one table b-tree into `cells`.
class TreeReader {
  public:
    TreeReader(const DatabaseImages& images, const std::string& table,
               std::map<std::pair<std::string, int64_t>, CellPlace>& cells)
        : m_images(images), m_table(table), m_cells(cells) {}

    // Walks the tree under `page`.
    void walk(uint32_t page, int depth = 0) {
        const uint8_t* bytes = m_images.currentPage(page);
        if (!bytes || depth > 20 || !m_visited.insert(page).second)
            return;
        const size_t header = page == 1 ? kFileHeaderSize : 0;
        const uint32_t usable = m_images.usableSize();
        const uint32_t count = readBig16(bytes + header + kCellCount);
        if (bytes[header] == kInteriorTable) {
            const size_t pointers = header + kInteriorHeaderSize;
            for (uint32_t i = 0; i < count && pointers + 2 * i + 2 <= usable; ++i) {
                const uint32_t at = readBig16(bytes + pointers + 2 * i);
                if (at + 4 <= usable)
                    walk(readBig32(bytes + at), depth + 1);
            }
            walk(readBig32(bytes + header + kRightChild), depth + 1);
        } else if (bytes[header] == kLeafTable) {
            const size_t pointers = header + kLeafHeaderSize;
            for (uint32_t i = 0; i < count && pointers + 2 * i + 2 <= usable; ++i)
                readCell(page, bytes, readBig16(bytes + pointers + 2 * i));
        }
    }

  private:
    // Reads the leaf cell at `at` of `page`.
    void readCell(uint32_t page, const uint8_t* bytes, uint32_t at) {
        const uint32_t usable = m_images.usableSize();
        if (at >= usable)
            return;
        size_t lengthBytes = 0, rowidBytes = 0;
        const uint64_t payload = readVarint(bytes + at, usable - at, lengthBytes);
        if (lengthBytes == 0)
            return;
        const int64_t rowid = static_cast<int64_t>(
            readVarint(bytes + at + lengthBytes, usable - at - lengthBytes, rowidBytes));
        if (rowidBytes == 0)
            return;
        const size_t local = localPayloadSize(payload, usable);
        const bool overflows = local < payload;
        const size_t recordStart = lengthBytes + rowidBytes;
        const size_t size = recordStart + local + (overflows ? 4 : 0);
        if (at + size > usable)
            return;
        CellPlace place;
        place.page = page;
        place.offset = at;
        place.cell.assign(reinterpret_cast<const char*>(bytes + at), size);
        place.recordStart = recordStart;
        place.recordEnd = recordStart + local;
        if (overflows)
            readOverflow(readBig32(bytes + at + size - 4), payload - local, place.overflow);
        m_cells[{m_table, rowid}] = std::move(place);
    }

    // Appends `remaining` bytes of an overflow chain from `page` on to `out`.
    void readOverflow(uint32_t page, uint64_t remaining, std::string& out) const {
        const uint32_t room = m_images.usableSize() - 4;
        std::set<uint32_t> seen;
        while (remaining > 0 && page != 0 && seen.insert(page).second) {
            const uint8_t* bytes = m_images.currentPage(page);
            if (!bytes)
                return;
            const size_t take = static_cast<size_t>(std::min<uint64_t>(remaining, room));
            out.append(reinterpret_cast<const char*>(bytes + 4), take);
            remaining -= take;
            page = readBig32(bytes);
        }
    }

    const DatabaseImages& m_images;
    const std::string& m_table;
    std::map<std::pair<std::string, int64_t>, CellPlace>& m_cells;
    std::set<uint32_t> m_visited;
};

// The root pages of the ordinary tables (virtual tables have none).
std::map<std::string, uint32_t> tableRoots(sqlite3* db) {
    std::map<std::string, uint32_t> roots;
    Statement st(db, "SELECT name, rootpage FROM sqlite_master WHERE type = 'table' AND "
                     "rootpage > 0");
    while (st.step())
        roots[st.columnText(0)] = static_cast<uint32_t>(st.columnInt(1));
    return roots;
}

// Number of serial types in the record header of a cell; 0 when unreadable.
size_t recordColumnCount(const CellPlace& place) {
    const auto* record = reinterpret_cast<const uint8_t*>(place.cell.data()) + place.recordStart;
    const size_t available = place.recordEnd - place.recordStart;
    size_t length = 0;
    const uint64_t headerSize = readVarint(record, available, length);
    if (length == 0 || headerSize > available)
        return 0;
    size_t columns = 0;
    for (size_t at = length; at < headerSize; ++columns) {
        size_t typeLength = 0;
        readVarint(record + at, headerSize - at, typeLength);
        if (typeLength == 0)
            return columns;
        at += typeLength;
    }
    return columns;
}

// Whether `row` holds something readable besides the rowid column.
bool holdsValue(const TableShape* shape, const SqlRow& row) {
    for (size_t i = 0; i < row.size(); ++i)
        if ((!shape || static_cast<int>(i) != shape->rowidColumn) && !row[i].isEmpty())
            return true;
    return false;
}

// The bytes of a table page image that its live cells take (true), so the
// bytes of another row found there are not taken for a deleted one's. Other
// kinds of page have no cells of table rows: nothing is marked.
std::vector<bool> liveBytes(const uint8_t* page, uint32_t pageNumber, uint32_t usable) {
    std::vector<bool> live(usable, false);
    const size_t header = pageNumber == 1 ? kFileHeaderSize : 0;
    const uint8_t type = page[header];
    if (type != kLeafTable && type != kInteriorTable)
        return live;
    const uint32_t count = readBig16(page + header + kCellCount);
    const size_t pointers = header + (type == kLeafTable ? kLeafHeaderSize : kInteriorHeaderSize);
    for (uint32_t i = 0; i < count && pointers + 2 * i + 2 <= usable; ++i) {
        const uint32_t at = readBig16(page + pointers + 2 * i);
        if (at >= usable)
            continue;
        size_t size = 0, first = 0, second = 0;
        if (type == kInteriorTable) {
            readVarint(page + at + 4, usable > at + 4 ? usable - at - 4 : 0, second);
            size = 4 + second;
        } else {
            const uint64_t payload = readVarint(page + at, usable - at, first);
            readVarint(page + at + first, usable - at - first, second);
            const size_t local = localPayloadSize(payload, usable);
            size = first + second + local + (local < payload ? 4 : 0);
        }
        for (size_t b = at; b < at + size && b < usable; ++b)
            live[b] = true;
    }
    return live;
}

// Length of the longest run of equal bytes of `a` and `b` over `n` bytes,
// none of them `taken`, that holds some non-zero ones (zero-filled bytes match
// the zeros of any cell).
size_t longestEqualRun(const uint8_t* a, const uint8_t* b, const std::vector<bool>& taken,
                       size_t n) {
    size_t best = 0, run = 0, nonZero = 0;
    for (size_t i = 0; i < n; ++i) {
        if (a[i] != b[i] || taken[i]) {
            run = nonZero = 0;
            continue;
        }
        ++run;
        nonZero += a[i] != 0;
        if (nonZero >= kFreeblockHeader)
            best = std::max(best, run);
    }
    return best;
}

// One byte string to look for anywhere in the files, and what finding it means.
struct Needle {
    std::string bytes;
    size_t row = 0;
    Survival meaning = Survival::Gone;
    // The bytes hold the row's rowid: found inside a live cell, they are that
    // row's own cell in an image from before it went. Without it, they may be
    // another row's that holds the same values.
    bool withRowid = false;
};

// Whether bytes [at, at + length) of file `file` touch a live cell of the page
// image they are in.
bool insideLiveCell(const DatabaseImages& images, size_t file, size_t at, size_t length) {
    PageImage image;
    size_t start = 0;
    if (!images.imageAt(file, at, image, start))
        return false;
    const std::vector<bool> live = liveBytes(image.bytes, image.page, images.usableSize());
    for (size_t b = at - start; b < at - start + length && b < live.size(); ++b)
        if (live[b])
            return true;
    return false;
}

// Notes that row `row` survives as `how` in file `name`.
void noteSurvival(DeletedRow& row, Survival how, const std::string& name) {
    if (how == Survival::Gone)
        return;
    row.survival = std::max(row.survival, how);
    if ((how == Survival::Whole || how == Survival::HeaderLost) &&
        std::find(row.foundIn.begin(), row.foundIn.end(), name) == row.foundIn.end())
        row.foundIn.push_back(name);
}

// Looks for the cell of `place` where it was, in every image of its page.
void searchAtPlace(const DatabaseImages& images, const CellPlace& place, DeletedRow& row) {
    const size_t size = place.cell.size();
    const auto* cell = reinterpret_cast<const uint8_t*>(place.cell.data());
    if (place.offset + size > images.usableSize())
        return;
    for (const PageImage& image : images.imagesOf(place.page)) {
        const uint8_t* at = image.bytes + place.offset;
        const std::string& name = images.files()[image.file].name;
        if (std::memcmp(at, cell, size) == 0) {
            noteSurvival(row, Survival::Whole, name);
            continue;
        }
        if (size < kFreeblockHeader + kTailAtPlace)
            continue;
        // Bytes a live cell of this image takes belong to another row now,
        // whatever they hold.
        const std::vector<bool> live = liveBytes(image.bytes, place.page, images.usableSize());
        const std::vector<bool> taken(live.begin() + place.offset + kFreeblockHeader,
                                      live.begin() + place.offset + size);
        const size_t tail = size - kFreeblockHeader;
        const size_t run =
            longestEqualRun(at + kFreeblockHeader, cell + kFreeblockHeader, taken, tail);
        if (run == tail)
            noteSurvival(row, Survival::HeaderLost, name);
        else if (run >= kShortestRun)
            noteSurvival(row, Survival::PartlyOverwritten, name);
    }
}

// The first eight bytes of `p` as a key.
uint64_t key8(const uint8_t* p) {
    uint64_t k;
    std::memcpy(&k, p, 8);
    return k;
}

// Looks for every needle anywhere in every file, in one pass over each.
void searchByContent(const DatabaseImages& images, const std::vector<Needle>& needles,
                     DatabaseTruth& truth) {
    std::unordered_map<uint64_t, std::vector<size_t>> byKey;
    for (size_t i = 0; i < needles.size(); ++i)
        byKey[key8(reinterpret_cast<const uint8_t*>(needles[i].bytes.data()))].push_back(i);
    for (size_t f = 0; f < images.files().size(); ++f) {
        const DatabaseFile& file = images.files()[f];
        for (size_t at = 0; at + 8 <= file.size; ++at) {
            const auto hit = byKey.find(key8(file.bytes.data() + at));
            if (hit == byKey.end())
                continue;
            for (size_t i : hit->second) {
                const Needle& n = needles[i];
                if (at + n.bytes.size() <= file.size &&
                    std::memcmp(file.bytes.data() + at, n.bytes.data(), n.bytes.size()) == 0 &&
                    (n.withRowid || !insideLiveCell(images, f, at, n.bytes.size())))
                    noteSurvival(truth.deleted[n.row], n.meaning, file.name);
            }
        }
    }
}

} // namespace

std::map<std::pair<std::string, int64_t>, CellPlace>
readTableCells(const std::string& path, const std::map<std::string, uint32_t>& roots) {
    const DatabaseImages images(path);
    std::map<std::pair<std::string, int64_t>, CellPlace> cells;
    for (const auto& [table, root] : roots)
        TreeReader(images, table, cells).walk(root);
    return cells;
}

CellReplay::CellReplay(sqlite3* db, std::string path) : m_db(db), m_path(std::move(path)) {}

void CellReplay::before() {
    if (!sqlite3_get_autocommit(m_db))
        throw std::logic_error("testdata: cells read with a transaction open");
    m_before = readTableCells(m_path, tableRoots(m_db));
}

void CellReplay::after() {
    if (!sqlite3_get_autocommit(m_db))
        throw std::logic_error("testdata: cells read with a transaction open");
    std::map<std::string, uint32_t> roots = tableRoots(m_db);
    const auto now = readTableCells(m_path, roots);
    for (auto& [key, place] : m_before) {
        const auto still = now.find(key);
        if (still == now.end() || still->second.cell != place.cell ||
            still->second.overflow != place.overflow)
            m_gone.push_back({key.first, key.second, std::move(place)});
    }
    m_before.clear();
}

void classifyByReplay(DatabaseTruth& truth, const std::vector<GoneCell>& gone) {
    if (truth.files.empty())
        truth.files = databaseFiles(truth.path);
    const DatabaseImages images(truth.path);
    truth.pageSize = images.pageSize();

    std::map<std::pair<std::string, int64_t>, size_t> rowAt;
    for (size_t i = 0; i < truth.deleted.size(); ++i)
        rowAt[{truth.deleted[i].table, truth.deleted[i].rowid}] = i;
    for (const GoneCell& g : gone)
        if (const auto it = rowAt.find({g.table, g.rowid}); it != rowAt.end())
            truth.deleted[it->second].cells.push_back(g.place);

    std::vector<Needle> needles;
    for (size_t r = 0; r < truth.deleted.size(); ++r) {
        DeletedRow& row = truth.deleted[r];
        row.survival = Survival::Gone;
        row.foundIn.clear();
        row.recordColumns = 0;
        const TableShape* shape = findShape(truth.tables, row.table);
        row.countable = !row.versions.empty() && holdsValue(shape, row.versions.back());
        for (const CellPlace& place : row.cells) {
            row.recordColumns = std::max(row.recordColumns, recordColumnCount(place));
            searchAtPlace(images, place, row);
            const std::string& cell = place.cell;
            if (cell.size() >= kShortestRecord)
                needles.push_back({cell, r, Survival::Whole, true});
            const std::string record =
                cell.substr(place.recordStart, place.recordEnd - place.recordStart);
            if (record.size() >= kShortestRecord && record != cell)
                needles.push_back({record, r, Survival::Whole});
            if (cell.size() >= kFreeblockHeader + kTailElsewhere)
                needles.push_back({cell.substr(kFreeblockHeader), r, Survival::HeaderLost});
        }
    }
    searchByContent(images, needles, truth);
    for (DeletedRow& row : truth.deleted) {
        row.wholeRecord = row.survival == Survival::Whole;
        row.survives = row.wholeRecord || row.survival == Survival::HeaderLost;
        if (!row.survives)
            row.recordColumns = 0;
    }
}

} // namespace testdata

#include "survival_search.h"

#include "record_encoding.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <unordered_map>

namespace testdata {

namespace {

// Records shorter than this turn up in unrelated bytes too often to count.
constexpr size_t kShortestTellable = 8;
// Candidates are found by a hash of their first bytes, at most this many.
constexpr size_t kKeyBytes = 32;

// One record to look for: the bytes a leaf cell keeps (or their tail that a
// freeblock header leaves), and the row it belongs to.
struct Candidate {
    std::string local;
    size_t row = 0;
    size_t columns = 0;
    bool whole = true;
};

// Bytes of the varint that starts `record` (its header length).
size_t leadingVarintLength(const std::string& record) {
    size_t n = 0;
    while (n < record.size() && n < 9 && (static_cast<unsigned char>(record[n]) & 0x80))
        ++n;
    return n + 1;
}

// FNV-1a over `n` more bytes, continuing from `hash`.
uint64_t fnv(uint64_t hash, const uint8_t* bytes, size_t n) {
    for (size_t i = 0; i < n; ++i)
        hash = (hash ^ bytes[i]) * 1099511628211ull;
    return hash;
}

constexpr uint64_t kFnvStart = 1469598103934665603ull;

// Slot of the prefilter for the four bytes at `p`.
uint32_t prefilterSlot(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return (v * 2654435761u) >> 16;
}

// Map key of a candidate whose first `length` bytes hash to `hash`.
uint64_t keyOf(uint64_t hash, size_t length) {
    return hash ^ (uint64_t(length) * 0x9E3779B97F4A7C15ull);
}

// Whether any value of `row` besides the rowid column holds something readable.
bool holdsValue(const TableShape& shape, const SqlRow& row) {
    for (size_t i = 0; i < row.size(); ++i)
        if (static_cast<int>(i) != shape.rowidColumn && !row[i].isEmpty())
            return true;
    return false;
}

} // namespace

std::vector<uint8_t> readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("testdata: cannot read " + path);
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    std::vector<uint8_t> bytes(static_cast<size_t>(std::max<std::streamoff>(size, 0)));
    if (!bytes.empty() &&
        !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
        throw std::runtime_error("testdata: cannot read " + path);
    return bytes;
}

std::vector<std::string> databaseFiles(const std::string& path) {
    std::vector<std::string> files{path};
    for (const char* suffix : {"-wal", "-journal"})
        if (std::filesystem::exists(path + suffix))
            files.push_back(path + suffix);
    return files;
}

std::vector<std::pair<size_t, std::string>> possibleRecords(const TableShape& shape,
                                                            const SqlRow& version) {
    std::vector<std::pair<size_t, std::string>> records;
    for (auto count = shape.columnCounts.rbegin(); count != shape.columnCounts.rend(); ++count) {
        if (*count > version.size())
            continue;
        // A shorter record cannot have held a value in the columns it lacks: they
        // read as NULL or as their default (depending on the SQLite release).
        bool fits = true;
        for (size_t i = *count; i < version.size() && fits; ++i)
            fits = version[i].type == SqlValue::Type::Null ||
                   (i < shape.defaults.size() && version[i] == shape.defaults[i]);
        if (fits)
            records.emplace_back(*count, encodeRecord(shape, version, *count));
    }
    return records;
}

void findSurvivors(DatabaseTruth& truth) {
    if (truth.files.empty())
        truth.files = databaseFiles(truth.path);
    const std::vector<uint8_t> main = readWholeFile(truth.path);
    if (main.size() < 100 || std::memcmp(main.data(), "SQLite format 3", 16) != 0)
        throw std::runtime_error("testdata: not a database: " + truth.path);
    truth.pageSize = (uint32_t(main[16]) << 8) | main[17];
    if (truth.pageSize == 1)
        truth.pageSize = 65536;
    const uint32_t usable = truth.pageSize - main[20];
    // SQLite itself refuses other page sizes and a usable size below 480.
    if (truth.pageSize < 512 || truth.pageSize > 65536 ||
        (truth.pageSize & (truth.pageSize - 1)) != 0 || usable < 480)
        throw std::runtime_error("testdata: impossible page size in " + truth.path);

    std::vector<Candidate> candidates;
    for (size_t r = 0; r < truth.deleted.size(); ++r) {
        DeletedRow& row = truth.deleted[r];
        row.survives = row.wholeRecord = false;
        row.survival = Survival::Gone;
        row.foundIn.clear();
        row.recordColumns = 0;
        const TableShape* shape = findShape(truth.tables, row.table);
        row.countable = false;
        if (!shape || row.versions.empty() || !holdsValue(*shape, row.versions.back()))
            continue;
        for (const SqlRow& version : row.versions) {
            for (const auto& [columns, record] : possibleRecords(*shape, version)) {
                const std::string local = record.substr(0, localPayloadSize(record.size(), usable));
                if (local.size() < kShortestTellable)
                    continue;
                row.countable = true;
                // The whole record, then without the bytes the schema gives back
                // (as long as what is left is still long enough to tell).
                candidates.push_back({local, r, columns, true});
                const size_t lengthBytes = leadingVarintLength(local);
                const size_t lost = lengthBytes + (shape->rowidColumn == 0 ? 1 : 0);
                for (size_t cut = lengthBytes; cut <= lost; ++cut)
                    if (local.size() - cut >= kShortestTellable)
                        candidates.push_back({local.substr(cut), r, columns, false});
            }
        }
    }

    // Prefilter: for the first four bytes of each candidate, the key lengths in use.
    std::vector<uint32_t> lengthsAt(1u << 16, 0);
    std::unordered_map<uint64_t, std::vector<size_t>> byKey;
    for (size_t i = 0; i < candidates.size(); ++i) {
        const auto* p = reinterpret_cast<const uint8_t*>(candidates[i].local.data());
        const size_t keyLength = std::min(candidates[i].local.size(), kKeyBytes);
        lengthsAt[prefilterSlot(p)] |= 1u << (keyLength - 1);
        byKey[keyOf(fnv(kFnvStart, p, keyLength), keyLength)].push_back(i);
    }

    for (const std::string& file : truth.files) {
        const std::vector<uint8_t> bytes = file == truth.path ? main : readWholeFile(file);
        const std::string name = std::filesystem::path(file).filename().string();
        for (size_t at = 0; at + kShortestTellable <= bytes.size(); ++at) {
            const uint8_t* p = bytes.data() + at;
            uint32_t lengths = lengthsAt[prefilterSlot(p)];
            uint64_t hash = kFnvStart;
            size_t hashed = 0;
            while (lengths) {
                const size_t keyLength = static_cast<size_t>(__builtin_ctz(lengths)) + 1;
                lengths &= lengths - 1;
                if (at + keyLength > bytes.size())
                    break;
                hash = fnv(hash, p + hashed, keyLength - hashed);
                hashed = keyLength;
                const auto hit = byKey.find(keyOf(hash, keyLength));
                if (hit == byKey.end())
                    continue;
                for (size_t i : hit->second) {
                    const Candidate& c = candidates[i];
                    if (at + c.local.size() > bytes.size() ||
                        std::memcmp(p, c.local.data(), c.local.size()) != 0)
                        continue;
                    DeletedRow& row = truth.deleted[c.row];
                    row.survives = true;
                    row.wholeRecord = row.wholeRecord || c.whole;
                    row.survival = row.wholeRecord ? Survival::Whole : Survival::HeaderLost;
                    row.recordColumns = std::max(row.recordColumns, c.columns);
                    if (std::find(row.foundIn.begin(), row.foundIn.end(), name) ==
                        row.foundIn.end())
                        row.foundIn.push_back(name);
                }
            }
        }
    }
}

} // namespace testdata

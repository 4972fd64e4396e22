// Databases of any schema, not a phone's: tables of random columns (integers
// of every width, reals, texts, blobs, NULLs, values that overflow their
// page), any page size, auto_vacuum on or off, some rows updated and deleted,
// with the same ground truth as a phone's databases.
#pragma once

#include "database_truth.h"
#include "phone_journal.h"

#include <cstdint>
#include <string>

namespace testdata {

struct GenericDbSpec {
    int pageSize = 4096; // a power of two from 512 to 65536
    bool autoVacuum = false;
    bool secureDelete = false;
    JournalMode journal = JournalMode::Delete; // Wal leaves a -wal nobody checkpointed
    int tables = 3;
    int rowsPerTable = 120;
    double deleteFraction = 0.25;
    uint64_t seed = 1;
};

// Writes a fresh database at `path` (older files there are replaced), deletes
// rows over several transactions after updating some, leaves the files as a
// phone would and returns the truth. Throws std::runtime_error or
// std::invalid_argument.
DatabaseTruth generateGenericDatabase(const std::string& path, const GenericDbSpec& spec);

} // namespace testdata

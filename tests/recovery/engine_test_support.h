// Shared helpers of the engine's file-level tests: a temporary folder, one
// engine run, and a listing of a folder's files with their bytes.
#pragma once

#include <map>
#include <string>

#include "sqlite_parse.h"
#include "tests/support/temp_files.h"

namespace enginetest {

using testfiles::folderSnapshot;
using testfiles::readFile;
using testfiles::TempDir;
using testfiles::writeFile;

// One engine run of the given kind on the two paths; returns its text.
inline std::string carve(ePaserType type, const std::string& contacts, const std::string& sms) {
    SqliteParse engine(contacts, sms);
    engine.startParse(type);
    return engine.get_contacts_mem();
}

} // namespace enginetest

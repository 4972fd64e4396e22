// Shared helpers of the engine's file-level tests: a temporary folder, one
// engine run, and a listing of a folder's files with their bytes.
#pragma once

#include <map>
#include <string>

#include "sqlite_parse.h"

namespace enginetest {

// A fresh folder under the system's temporary folder, removed at the end.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

  private:
    std::string m_path;
};

// One engine run of the given kind on the two paths; returns its text.
inline std::string carve(ePaserType type, const std::string& contacts, const std::string& sms) {
    SqliteParse engine(contacts, sms);
    engine.startParse(type);
    return engine.get_contacts_mem();
}

// Every file of a folder (name -> bytes).
std::map<std::string, std::string> folderSnapshot(const std::string& dir);

// The whole content of a file ("" when it cannot be read).
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

} // namespace enginetest

// Small database copies for the record tests, made with plain SQL, and a
// scratch folder that is removed after each test.
#pragma once

#include <filesystem>
#include <string>

namespace fennaro::test {

// A fresh empty folder, removed with everything in it on destruction.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    // Returns the path of name inside the folder.
    std::string file(const std::string& name) const;
    const std::filesystem::path& path() const { return m_path; }

  private:
    std::filesystem::path m_path;
};

// Creates a database at path and runs sql in it; fails the test on an error.
void makeDatabase(const std::string& path, const std::string& sql);

// The tables of an old-layout contacts2.db (the columns the reader uses and a
// few around them), without rows.
extern const char* const kContactsSchema;
// The tables of an mmssms.db, without rows.
extern const char* const kSmsSchema;
// The mime types in the order a phone's provider first inserts them
// (email_v2 = 1, organization = 4, phone_v2 = 5, name = 7).
extern const char* const kMimeTypeRows;

} // namespace fennaro::test

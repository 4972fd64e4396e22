// What many test suites need of the file system: a scratch folder of their
// own, a file's bytes, and a listing of a folder's files with their bytes
// (to prove that a run changed nothing). Header-only, so the sanitizer builds
// of the suites compile it with their own flags.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace testfiles {

// A fresh folder under the system's temporary folder, removed at the end.
class TempDir {
  public:
    // Makes "fennaro-TAG-XXXXXX" with a unique ending.
    explicit TempDir(const std::string& tag = "test") {
        std::string pattern =
            (std::filesystem::temp_directory_path() / ("fennaro-" + tag + "-XXXXXX")).string();
        const char* made = mkdtemp(pattern.data());
        m_path = made ? made : pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's path.
    const std::string& path() const { return m_path; }
    // A file name inside the folder.
    std::string file(const std::string& name) const { return m_path + "/" + name; }

  private:
    std::string m_path;
};

// Returns the whole content of a file ("" when it cannot be read).
inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Writes bytes to a file, replacing what it held.
inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

// Returns every file of a folder (name -> bytes).
inline std::map<std::string, std::string> folderSnapshot(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        files[entry.path().filename().string()] = readFile(entry.path().string());
    return files;
}

} // namespace testfiles

#include "export_test_util.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <sstream>

namespace fennaro::test {

ScratchDir::ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "fennaro-export-XXXXXX");
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a scratch folder");
    m_path = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code error;
    // Undo a test's read-only folders so everything can be removed.
    for (auto& entry : std::filesystem::recursive_directory_iterator(m_path, error)) {
        if (entry.is_directory(error))
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, error);
    }
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, error);
    std::filesystem::remove_all(m_path, error);
}

std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string utf16(std::string_view ascii) {
    std::string bytes;
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

std::string textFile(const std::vector<std::string>& lines) {
    std::string bytes = "\xFF\xFE";
    for (const std::string& line : lines)
        bytes += utf16(line) + utf16("\r\n");
    return bytes;
}

std::string decodeTextFile(std::string_view bytes) {
    if (bytes.size() % 2 != 0 || bytes.substr(0, 2) != "\xFF\xFE")
        return {};
    std::string text;
    const auto unitAt = [&](std::size_t at) {
        return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at]) |
                                     static_cast<unsigned char>(bytes[at + 1]) << 8);
    };
    for (std::size_t at = 2; at < bytes.size(); at += 2) {
        uint32_t cp = unitAt(at);
        if (cp >= 0xD800 && cp <= 0xDBFF && at + 3 < bytes.size() && unitAt(at + 2) >= 0xDC00 &&
            unitAt(at + 2) <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unitAt(at + 2) - 0xDC00);
            at += 2;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            text += static_cast<char>(cp);
        } else if (cp < 0x800) {
            text += static_cast<char>(0xC0 | cp >> 6);
            text += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            text += static_cast<char>(0xE0 | cp >> 12);
            text += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            text += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            text += static_cast<char>(0xF0 | cp >> 18);
            text += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
            text += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            text += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return text;
}

std::vector<std::string> filesBelow(const std::filesystem::path& root) {
    std::vector<std::string> files;
    std::error_code error;
    for (auto& entry : std::filesystem::recursive_directory_iterator(root, error)) {
        if (entry.is_regular_file())
            files.push_back(std::filesystem::relative(entry.path(), root).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> foldersBelow(const std::filesystem::path& root) {
    std::vector<std::string> folders;
    std::error_code error;
    for (auto& entry : std::filesystem::directory_iterator(root, error)) {
        if (entry.is_directory())
            folders.push_back(entry.path().filename().string());
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

} // namespace fennaro::test

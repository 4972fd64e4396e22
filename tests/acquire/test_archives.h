// Archives and folders of a phone's files for the extraction tests, written
// with libarchive's writer (tar in its ustar, GNU and pax forms, compressed
// or not, and zip, zip64 and encrypted zip) or laid out on disk.
#pragma once

#include <string>
#include <vector>

namespace fennaro::test {

struct TestMember {
    enum class Kind { File, SymbolicLink, HardLink, Folder };
    std::string name;
    std::string bytes;      // a file's
    std::string linkTarget; // a link's, as stored
    Kind kind = Kind::File;
};

// A file member.
TestMember fileMember(const std::string& name, const std::string& bytes);
// A symbolic link member.
TestMember linkMember(const std::string& name, const std::string& target);
// A hard link member naming another member (or anything).
TestMember hardLinkMember(const std::string& name, const std::string& target);

// Writes members, in their order, to an archive at path. format: "ustar",
// "gnutar", "pax" or "zip"; filter: "none", "gzip", "xz" or "zstd"; options
// are libarchive's writer options ("zip:zip64", "zip:encryption=zipcrypt").
void writeTestArchive(const std::string& path, const std::string& format, const std::string& filter,
                      const std::vector<TestMember>& members, const std::string& options = "");

// Lays members out below folder: files, folders and symbolic links (hard
// links are made to the member they name, below folder).
void writeTestFolder(const std::string& folder, const std::vector<TestMember>& members);

} // namespace fennaro::test

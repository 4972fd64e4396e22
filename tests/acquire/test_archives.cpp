#include "test_archives.h"

#include <archive.h>
#include <archive_entry.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

#include "test_support.h"

namespace fennaro::test {

TestMember fileMember(const std::string& name, const std::string& bytes) {
    return {name, bytes, {}, TestMember::Kind::File};
}

TestMember linkMember(const std::string& name, const std::string& target) {
    return {name, {}, target, TestMember::Kind::SymbolicLink};
}

TestMember hardLinkMember(const std::string& name, const std::string& target) {
    return {name, {}, target, TestMember::Kind::HardLink};
}

void writeTestArchive(const std::string& path, const std::string& format, const std::string& filter,
                      const std::vector<TestMember>& members, const std::string& options) {
    struct archive* archive = archive_write_new();
    ASSERT_EQ(archive_write_set_format_by_name(archive, format.c_str()), ARCHIVE_OK);
    if (filter != "none") {
        ASSERT_EQ(archive_write_add_filter_by_name(archive, filter.c_str()), ARCHIVE_OK);
    }
    if (!options.empty()) {
        ASSERT_EQ(archive_write_set_options(archive, options.c_str()), ARCHIVE_OK)
            << archive_error_string(archive);
    }
    if (options.find("encryption") != std::string::npos)
        archive_write_set_passphrase(archive, "secret");
    ASSERT_EQ(archive_write_open_filename(archive, path.c_str()), ARCHIVE_OK);
    for (const TestMember& member : members) {
        struct archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, member.name.c_str());
        archive_entry_set_mtime(entry, 1714557600, 0); // 2024-05-01 10:00:00 UTC
        switch (member.kind) {
        case TestMember::Kind::File:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_perm(entry, 0660);
            archive_entry_set_size(entry, la_int64_t(member.bytes.size()));
            break;
        case TestMember::Kind::SymbolicLink:
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_perm(entry, 0777);
            archive_entry_set_symlink(entry, member.linkTarget.c_str());
            break;
        case TestMember::Kind::HardLink:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_perm(entry, 0660);
            archive_entry_set_hardlink(entry, member.linkTarget.c_str());
            archive_entry_set_size(entry, 0);
            break;
        case TestMember::Kind::Folder:
            archive_entry_set_filetype(entry, AE_IFDIR);
            archive_entry_set_perm(entry, 0755);
            break;
        }
        ASSERT_EQ(archive_write_header(archive, entry), ARCHIVE_OK)
            << archive_error_string(archive);
        if (member.kind == TestMember::Kind::File && !member.bytes.empty()) {
            ASSERT_EQ(archive_write_data(archive, member.bytes.data(), member.bytes.size()),
                      la_ssize_t(member.bytes.size()));
        }
        archive_entry_free(entry);
    }
    ASSERT_EQ(archive_write_close(archive), ARCHIVE_OK);
    archive_write_free(archive);
}

void writeTestFolder(const std::string& folder, const std::vector<TestMember>& members) {
    namespace fs = std::filesystem;
    for (const TestMember& member : members) {
        const fs::path path = fs::path(folder) / member.name;
        fs::create_directories(path.parent_path());
        switch (member.kind) {
        case TestMember::Kind::File:
            writeFile(path.string(), member.bytes);
            break;
        case TestMember::Kind::SymbolicLink:
            fs::create_symlink(member.linkTarget, path);
            break;
        case TestMember::Kind::HardLink:
            fs::create_hard_link(member.linkTarget[0] == '/' ? fs::path(member.linkTarget)
                                                             : fs::path(folder) / member.linkTarget,
                                 path);
            break;
        case TestMember::Kind::Folder:
            fs::create_directories(path);
            break;
        }
    }
}

} // namespace fennaro::test

// The leaf-page inspector sees every row of a table and survives damaged files.
#include "test_files.h"

#include "page_inspector.h"
#include "phone_generator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

using namespace testdata;
using namespace testdata_test;

TEST(PageInspector, LeafCellsAreExactlyTheLiveRows) {
    ScratchDir dir("inspect");
    PhoneSpec spec;
    spec.messages = 400;
    const PhoneTruth truth = generatePhone(dir.path(), spec);
    const auto pages = tableLeafPages(dir.file("mmssms.db"), "sms");
    ASSERT_GT(pages.size(), 3u);
    std::set<int64_t> seen;
    for (const LeafPage& p : pages) {
        EXPECT_EQ(p.gapStart + p.gapSize, p.contentStart);
        for (const LeafCell& c : p.cells) {
            EXPECT_GE(c.offset, p.contentStart);
            EXPECT_LE(c.offset + c.size, 4096u);
            seen.insert(c.rowid);
        }
        for (const Freeblock& f : p.freeblocks)
            EXPECT_GE(f.size, 4u);
    }
    std::set<int64_t> live;
    for (const Message& m : truth.liveMessages)
        live.insert(m.id);
    EXPECT_EQ(seen, live);
}

TEST(PageInspector, DamagedFilesGiveNoCrash) {
    ScratchDir dir("inspect-damaged");
    PhoneSpec spec;
    spec.messages = 400;
    generatePhone(dir.path(), spec);
    const auto bytes = fileBytes(dir.file("mmssms.db"));

    // Cut in the middle: pages beyond the end are not followed, or SQLite already
    // refuses the schema; either way a defined answer.
    const std::string cut = dir.file("cut.db");
    std::ofstream(cut, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size() / 2));
    try {
        EXPECT_LT(tableLeafPages(cut, "sms").size(),
                  tableLeafPages(dir.file("mmssms.db"), "sms").size());
    } catch (const std::runtime_error&) {
    }

    // Scribble over everything after page 1: garbage headers, loops, huge counts.
    std::vector<uint8_t> noisy = bytes;
    for (size_t i = 4096; i < noisy.size(); ++i)
        noisy[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    const std::string scribbled = dir.file("scribbled.db");
    std::ofstream(scribbled, std::ios::binary)
        .write(reinterpret_cast<const char*>(noisy.data()),
               static_cast<std::streamsize>(noisy.size()));
    EXPECT_NO_THROW(tableLeafPages(scribbled, "sms"));

    const std::string text = dir.file("text.db");
    std::ofstream(text) << "not a database";
    EXPECT_THROW(tableLeafPages(text, "sms"), std::runtime_error);
    EXPECT_THROW(tableLeafPages(dir.file("missing.db"), "sms"), std::runtime_error);
    EXPECT_THROW(tableLeafPages(dir.file("mmssms.db"), "no_such_table"), std::runtime_error);
}

// Thousands of deterministic corruptions of generated databases: truncated
// files, child pointers back to an ancestor, freeblocks that link to
// themselves, absurd sizes, counts and serial types, random bytes over leaf
// pages. Every run must end and return text; this executable is built with
// AddressSanitizer and UndefinedBehaviorSanitizer, which turn any read
// outside a buffer into a failure.
#include <gtest/gtest.h>

#include <random>

#include "contacts_db_builder.h"
#include "engine_test_support.h"
#include "sms_db_builder.h"

namespace {

using enginetest::TempDir;
using Bytes = std::string;

Bytes buildBaseContacts(const TempDir& dir) {
    testdata::DbOptions options;
    options.pageSize = 1024; // many pages, so the table has interior pages
    std::string path = dir.file("base-contacts2.db");
    testdata::ContactsDbBuilder db(path, options);
    std::vector<int64_t> ids;
    for (int i = 0; i < 300; ++i) {
        testdata::RawContact c;
        c.id = 500 + i;
        c.displayName = "Contact " + std::to_string(i);
        c.displayNameSource = 40;
        c.rows.push_back({1000 + 2 * i, 0, testdata::kMimeName, *c.displayName, std::nullopt,
                          std::nullopt, std::nullopt, std::nullopt});
        c.rows.push_back({1001 + 2 * i, 0, testdata::kMimePhone,
                          "+86 138 0013 " + std::to_string(1000 + i), "2", std::nullopt,
                          std::nullopt, std::nullopt});
        ids.push_back(db.addRawContact(c));
    }
    db.commit();
    for (size_t i = 0; i < ids.size(); i += 4)
        db.deleteRawContact(ids[i]);
    db.close();
    return enginetest::readFile(path);
}

Bytes buildBaseSms(const TempDir& dir) {
    testdata::DbOptions options;
    options.pageSize = 1024;
    std::string path = dir.file("base-mmssms.db");
    testdata::SmsDbBuilder db(path, options);
    const int64_t thread = db.addThread({});
    std::vector<int64_t> ids;
    for (int i = 0; i < 300; ++i) {
        testdata::Message m;
        m.id = 1000 + i;
        m.threadId = thread;
        m.address = "+86138001" + std::to_string(38000 + i % 40);
        m.dateMs = 1700000000000 + i * 1000;
        m.type = 1 + i % 2;
        m.body = std::string(size_t(i % 90), 'x') + " message " + std::to_string(i);
        ids.push_back(db.addMessage(m));
    }
    db.commit();
    for (size_t i = 0; i < ids.size(); i += 3)
        db.deleteMessage(ids[i]);
    db.close();
    return enginetest::readFile(path);
}

// Damages one copy of a database file in one of several ways.
class Corrupter {
  public:
    explicit Corrupter(uint32_t seed) : m_rng(seed) {}

    Bytes damage(Bytes file, int kind) {
        const size_t pageSize = 1024;
        std::vector<size_t> leaves, interiors;
        for (size_t start = pageSize; start + pageSize <= file.size(); start += pageSize) {
            if (file[start] == 13)
                leaves.push_back(start);
            if (file[start] == 5)
                interiors.push_back(start);
        }
        size_t leaf = leaves.empty() ? pageSize : leaves[pick(leaves.size())];
        size_t interior = interiors.empty() ? leaf : interiors[pick(interiors.size())];
        switch (kind) {
        case 0: // a few random bytes on a leaf page
            for (int n = 1 + int(pick(16)); n > 0; --n)
                file[leaf + pick(pageSize)] = char(pick(256));
            break;
        case 1: // a leaf page of random bytes, keeping its type
            for (size_t i = 1; i < pageSize; ++i)
                file[leaf + i] = char(pick(256));
            break;
        case 2: { // the page-size field
            const uint16_t sizes[] = {0, 1, 2, 3, 7, 512, 1000, 2048, 65535};
            uint16_t s = pick(3) == 0 ? uint16_t(pick(65536)) : sizes[pick(9)];
            put16(file, 16, s);
            break;
        }
        case 3: // an interior page's right-most child pointing back up
            put32(file, interior + 8,
                  uint32_t((interiors.empty() ? 0 : interiors[pick(interiors.size())]) / 1024 + 1));
            break;
        case 4: { // a freeblock that links to itself
            uint16_t at = uint16_t(8 + pick(pageSize - 12));
            put16(file, leaf + 1, at);
            put16(file, leaf + at, at);
            put16(file, leaf + at + 2, uint16_t(pick(3) == 0 ? 0xFFFF : pick(pageSize)));
            break;
        }
        case 5: // absurd counts and sizes in a leaf header
            put16(file, leaf + 3, uint16_t(pick(2) ? 0xFFFF : pick(600)));
            put16(file, leaf + 5, uint16_t(pick(3) == 0 ? 0 : pick(65536)));
            if (file[leaf + 1] || file[leaf + 2])
                put16(file,
                      leaf + ((uint8_t(file[leaf + 1]) << 8) | uint8_t(file[leaf + 2])) % pageSize +
                          2,
                      uint16_t(pick(2) ? 0xFFFF : pick(5)));
            break;
        case 6: // a truncated file
            file.resize(pick(file.size()));
            break;
        case 7: // runs of continuation bytes: serial types near 2^32
            for (size_t i = 8 + pick(pageSize - 80), n = pick(64); n > 0; --n, ++i)
                file[leaf + i] = char(0x80 | pick(128));
            break;
        case 8: // interior cell pointers and child numbers of any value
            for (int n = 0; n < 8; ++n)
                file[interior + 8 + pick(pageSize - 8)] = char(pick(256));
            break;
        default: // whole random pages anywhere after the first
            for (size_t i = 0; i < pageSize; ++i)
                file[pageSize * (1 + pick(file.size() / pageSize - 1)) + i % pageSize] =
                    char(pick(256));
            break;
        }
        return file;
    }

  private:
    size_t pick(size_t n) { return n == 0 ? 0 : size_t(m_rng() % n); }
    static void put16(Bytes& f, size_t at, uint16_t v) {
        if (at + 2 <= f.size())
            f[at] = char(v >> 8), f[at + 1] = char(v);
    }
    static void put32(Bytes& f, size_t at, uint32_t v) {
        if (at + 4 <= f.size())
            for (int i = 0; i < 4; ++i)
                f[at + size_t(i)] = char(v >> (24 - 8 * i));
    }
    std::mt19937 m_rng;
};

TEST(Corruption, EveryDamagedFileGivesTextAndNeverCrashesOrHangs) {
    TempDir dir;
    const Bytes contacts = buildBaseContacts(dir);
    const Bytes sms = buildBaseSms(dir);
    ASSERT_GT(contacts.size(), 20000u);
    ASSERT_GT(sms.size(), 20000u);
    const std::string contactsPath = dir.file("contacts2.db");
    const std::string smsPath = dir.file("mmssms.db");
    Corrupter corrupter(20261207);
    const int kinds = 10;
    size_t nonEmpty = 0;
    for (int i = 0; i < 2400; ++i) {
        bool damageContacts = i % 2 == 0;
        int kind = (i / 2) % kinds;
        enginetest::writeFile(contactsPath,
                              damageContacts ? corrupter.damage(contacts, kind) : contacts);
        enginetest::writeFile(smsPath, damageContacts ? sms : corrupter.damage(sms, kind));
        std::string text =
            enginetest::carve(damageContacts ? ePaserContacts : ePaserSms, contactsPath, smsPath);
        nonEmpty += text.empty() ? 0 : 1;
        // Every line the text holds is complete.
        ASSERT_TRUE(text.empty() || (text.size() >= 2 && text.substr(text.size() - 2) == "\r\n"))
            << "iteration " << i;
    }
    // Most damage leaves most pages intact, so most runs still find rows.
    EXPECT_GT(nonEmpty, 1000u);
}

} // namespace

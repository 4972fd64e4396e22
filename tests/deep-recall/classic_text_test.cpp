// On old phones (secure_delete off, no WAL) the deep engine's recovered-record
// text shows everything the classic engine finds: every message line the
// classic engine writes, as many times as it does, and every contact value
// it writes (the classic engine pairs any two values of a contact, a
// birthday with an e-mail; the deep text pairs each value with the contact's
// name, so the lines differ but the values do not).
#include "recall_support.h"

#include "modern_phone.h"
#include "phone_generator.h"
#include "sqlite_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>

using namespace testdata;
using namespace deep_recall_test;

namespace {

// The lines of a recovered-record text (CR LF ends) with their counts.
std::map<std::string, size_t> lineCounts(const std::string& text) {
    std::map<std::string, size_t> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        ++lines[text.substr(start, end - start)];
    if (start < text.size())
        ++lines[text.substr(start)];
    return lines;
}

// Whether no field of a line holds a readable value: each is "N/A" (nothing
// found) or empty (bytes that were no UTF-8 text, which the classic engine
// blanks). The classic engine writes such lines for freed space it could not
// read as any record; they recover nothing, and the deep engine rightly
// leaves them out.
bool holdsNothing(const std::string& line) {
    size_t start = 0;
    for (size_t end;; start = end + 1) {
        end = line.find('\t', start);
        const std::string field =
            line.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!field.empty() && field != "N/A")
            return false;
        if (end == std::string::npos)
            return true;
    }
}

// The fields of a recovered-record text's lines.
std::set<std::string> fieldsOf(const std::string& text) {
    std::set<std::string> fields;
    for (const auto& [line, count] : lineCounts(text)) {
        size_t start = 0;
        for (size_t end;; start = end + 1) {
            end = line.find('\t', start);
            fields.insert(line.substr(start, end == std::string::npos ? end : end - start));
            if (end == std::string::npos)
                break;
        }
    }
    return fields;
}

// The data1 texts of the live rows of a contacts database, read without
// changing its files.
std::set<std::string> liveContactValues(const std::string& contactsDb) {
    std::set<std::string> values;
    sqlite3* db = nullptr;
    const std::string uri = "file:" + contactsDb + "?immutable=1";
    if (sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) ==
        SQLITE_OK) {
        testdata::Statement select(db, "SELECT data1 FROM data WHERE typeof(data1) = 'text'");
        while (select.step())
            values.insert(select.columnText(0));
    }
    sqlite3_close(db);
    return values;
}

// The values (fields other than "N/A" and empty) of the classic text that
// the deep text lacks, one per line. The classic engine does not compare
// what it carves with the live rows: a stale copy of a live row (left
// behind when its page was rewritten) is not a deleted record, and the
// deep engine rightly leaves it out.
std::string missingValues(const std::string& classic, const std::string& deep,
                          const std::set<std::string>& live) {
    const std::set<std::string> have = fieldsOf(deep);
    std::string missing;
    for (const std::string& value : fieldsOf(classic)) {
        if (!value.empty() && value != "N/A" && !have.count(value) && !live.count(value))
            missing += "  " + value + "\n";
    }
    return missing;
}

// How the deep text compares with the classic one, line by line.
struct LineComparison {
    size_t classicLines = 0;   // lines of the classic text holding something
    size_t held = 0;           // of those, lines the deep text has as often
    size_t skipped = 0;        // classic lines holding nothing
    std::string missing;       // the lines the deep text lacks, with how many
    std::string missingValues; // the values the deep text lacks
};

// Compares the lines (as multisets) of the classic and the deep text.
LineComparison compareLines(const std::string& classic, const std::string& deep) {
    const std::map<std::string, size_t> have = lineCounts(deep);
    LineComparison c;
    for (const auto& [line, count] : lineCounts(classic)) {
        if (holdsNothing(line)) {
            c.skipped += count;
            continue;
        }
        const auto it = have.find(line);
        const size_t got = std::min(count, it == have.end() ? size_t(0) : it->second);
        c.classicLines += count;
        c.held += got;
        if (got < count)
            c.missing += "  " + std::to_string(count - got) + "x " + line + "\n";
    }
    return c;
}

// The two old phones the comparison runs on, generated once per test.
class ClassicPhones : public ::testing::Test {
  protected:
    // An old phone with a history (deletions in bulk and one by one, DELETE
    // journals), and the phone the classic engine's own tests use (freed cells
    // in freeblocks and gaps, merged neighbours, long bodies that lost their
    // overflow pages).
    ClassicPhones() : m_dir("classic-text") {
        const std::filesystem::path base(m_dir.path());
        const ModernPhoneTruth old =
            generateModernPhone((base / "history").string(), modernPhoneSpec(PhoneKind::Classic));
        m_phones.push_back({old.contacts.path, old.sms.path});
        PhoneSpec spec;
        spec.contacts = 80;
        spec.messages = 400;
        spec.threads = 24;
        spec.deleteFraction = 0.3;
        spec.seed = 11;
        generatePhone((base / "classic").string(), spec);
        m_phones.push_back({(base / "classic" / "contacts2.db").string(),
                            (base / "classic" / "mmssms.db").string()});
    }

    // Compares the two engines' texts of `category` on both phones; returns the
    // comparison summed over them.
    LineComparison compare(const std::string& category) {
        LineComparison sum;
        for (const auto& [contactsDb, smsDb] : m_phones) {
            const ProgramRun classic = runRecover({"carve", category, contactsDb, smsDb});
            const ProgramRun deep = runRecover({"deep", category, contactsDb, smsDb});
            EXPECT_EQ(classic.status, 0);
            EXPECT_EQ(deep.status, 0);
            const LineComparison c = compareLines(classic.out, deep.out);
            sum.missingValues +=
                missingValues(classic.out, deep.out, liveContactValues(contactsDb));
            sum.classicLines += c.classicLines;
            sum.held += c.held;
            sum.skipped += c.skipped;
            sum.missing += c.missing;
        }
        std::cout << category << ": the deep text holds " << sum.held << " of " << sum.classicLines
                  << " classic lines (" << sum.skipped
                  << " classic lines holding nothing left out)\n";
        EXPECT_GT(sum.classicLines, 0u);
        return sum;
    }

  private:
    ScratchDir m_dir;
    std::vector<std::pair<std::string, std::string>> m_phones;
};

} // namespace

TEST_F(ClassicPhones, DeepMessagesHoldEveryClassicLine) {
    EXPECT_EQ(compare("sms").missing, "");
}

TEST_F(ClassicPhones, DeepContactsHoldEveryClassicValue) {
    EXPECT_EQ(compare("contacts").missingValues, "");
}

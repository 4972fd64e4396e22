// On old phones (secure_delete off, no WAL) the deep engine's recovered-record
// text holds every line the classic engine writes, as many times as it does.
#include "recall_support.h"

#include "modern_phone.h"
#include "phone_generator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

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

// Whether every field of a line is "N/A": the classic engine writes such a line
// for a freed cell whose bytes it could not read as any value, so it recovers
// nothing and the deep engine rightly leaves it out.
bool holdsNothing(const std::string& line) {
    size_t start = 0;
    for (size_t end;; start = end + 1) {
        end = line.find('\t', start);
        if (line.compare(start, end == std::string::npos ? std::string::npos : end - start,
                         "N/A") != 0)
            return false;
        if (end == std::string::npos)
            return true;
    }
}

// Lines the classic engine writes (bar those holding nothing) that the deep
// text lacks, with how many are missing; "" when none.
std::string missingLines(const std::string& classic, const std::string& deep) {
    const std::map<std::string, size_t> have = lineCounts(deep);
    std::string missing;
    for (const auto& [line, count] : lineCounts(classic)) {
        const auto it = have.find(line);
        const size_t got = it == have.end() ? 0 : it->second;
        if (got < count && !holdsNothing(line))
            missing += "  " + std::to_string(count - got) + "x " + line + "\n";
    }
    return missing;
}

// Compares the two engines' texts of both categories for one phone.
void expectDeepHoldsClassic(const std::string& contactsDb, const std::string& smsDb) {
    for (const char* category : {"contacts", "sms"}) {
        SCOPED_TRACE(category);
        const ProgramRun classic = runRecover({"carve", category, contactsDb, smsDb});
        const ProgramRun deep = runRecover({"deep", category, contactsDb, smsDb});
        ASSERT_EQ(classic.status, 0);
        ASSERT_EQ(deep.status, 0);
        EXPECT_FALSE(lineCounts(classic.out).empty());
        EXPECT_EQ(missingLines(classic.out, deep.out), "");
    }
}

} // namespace

TEST(ClassicPhoneText, DeepTextHoldsEveryClassicLine) {
    // An old phone with a history: deletions in bulk and one by one, with DELETE journals.
    ScratchDir dir("classic-text");
    const ModernPhoneTruth truth =
        generateModernPhone(dir.path(), modernPhoneSpec(PhoneKind::Classic));
    expectDeepHoldsClassic(truth.contacts.path, truth.sms.path);
}

TEST(ClassicPhoneText, DeepTextHoldsEveryClassicLineOfTheClassicTestPhone) {
    // The phone the classic engine's own tests use: freed cells in freeblocks and
    // gaps, merged neighbours, long bodies that lost their overflow pages.
    ScratchDir dir("classic-text-generated");
    PhoneSpec spec;
    spec.contacts = 80;
    spec.messages = 400;
    spec.threads = 24;
    spec.deleteFraction = 0.3;
    spec.seed = 11;
    generatePhone(dir.path(), spec);
    const std::filesystem::path base(dir.path());
    expectDeepHoldsClassic((base / "contacts2.db").string(), (base / "mmssms.db").string());
}

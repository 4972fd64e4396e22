// fennaro-modern-phone KIND DIR [SEED]: writes one modern phone of a kind
// (contacts2.db and mmssms.db with their -wal or -journal as the phone leaves
// them) into DIR, with its ground truth in DIR/ground-truth.json, and prints
// how many deleted rows each database holds and how many of them survive.
#include "modern_phone.h"
#include "truth_json.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

namespace {

// Prints the usage text and returns the usage status.
int usage(const char* program) {
    std::string kinds;
    for (testdata::PhoneKind kind : testdata::allPhoneKinds())
        kinds += std::string(kinds.empty() ? "" : "|") + testdata::phoneKindName(kind);
    std::fprintf(stderr, "usage: %s %s DIR [SEED]\n", program, kinds.c_str());
    return 2;
}

// One line about a database: its files, deleted rows, and the surviving ones.
void report(const testdata::DatabaseTruth& truth) {
    std::string files;
    for (const std::string& f : truth.files)
        files += (files.empty() ? "" : " + ") + std::filesystem::path(f).filename().string();
    std::printf("%s: %zu live rows, %zu deleted rows (%zu with a readable value), %zu of them "
                "survive in the files\n",
                files.c_str(), truth.live.size(), truth.deleted.size(), truth.countableDeleted(),
                truth.survivingDeleted());
}

} // namespace

// Writes the phone and its truth; status 0, 1 on failure, 2 on wrong arguments.
int main(int argc, char** argv) {
    if (argc < 3 || argc > 4)
        return usage(argv[0]);
    const auto kind = testdata::phoneKindFromName(argv[1]);
    if (!kind)
        return usage(argv[0]);
    uint64_t seed = 1;
    if (argc == 4) {
        char* end = nullptr;
        seed = std::strtoull(argv[3], &end, 10);
        if (!*argv[3] || *end)
            return usage(argv[0]);
    }
    try {
        const testdata::ModernPhoneTruth truth =
            testdata::generateModernPhone(argv[2], testdata::modernPhoneSpec(*kind, seed));
        const std::string json = (std::filesystem::path(argv[2]) / "ground-truth.json").string();
        testdata::writeJsonFile(json, testdata::phoneTruthToJson(truth));
        std::printf("%s phone in %s, ground truth in %s\n", argv[1], argv[2], json.c_str());
        report(truth.contacts);
        report(truth.sms);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fennaro-modern-phone: %s\n", e.what());
        return 1;
    }
    return 0;
}

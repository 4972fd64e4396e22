// fennaro-store-phone mms|bugle DIR [SEED] [PAGE_SIZE]: writes a phone with
// MMS texts or with the messaging app's bugle_db into DIR (mmssms.db, and
// bugle_db with its -wal for bugle), with the ground truth in
// DIR/truth.json, and prints how the deleted messages survive.
#include "store_phone.h"
#include "tool_args.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <map>
#include <string>

// Writes the phone and its truth; status 0, 1 on failure, 2 on wrong arguments.
int main(int argc, char** argv) {
    const auto kind = argc >= 3 ? testdata::storeKindFromName(argv[1]) : std::nullopt;
    uint64_t seed = 1;
    int pageSize = 4096;
    if (!kind || !testdata::readSeedAndPageSize(argc, argv, seed, pageSize)) {
        std::fprintf(stderr, "usage: %s mms|bugle DIR [SEED] [PAGE_SIZE]\n", argv[0]);
        return 2;
    }
    try {
        const testdata::StorePhoneTruth truth =
            testdata::generateStorePhone(*kind, argv[2], seed, pageSize);
        testdata::writeStoreTruthJson(truth,
                                      (std::filesystem::path(argv[2]) / "truth.json").string());
        std::map<std::string, size_t> classes;
        for (const testdata::DeletedStoreMessage& m : truth.deleted)
            ++classes[m.store + " " + testdata::survivalName(m.textSurvival) + "/" +
                      testdata::survivalName(m.rowSurvival)];
        std::printf("live: %zu sms, %zu mms, %zu bugle\n", truth.liveSms, truth.liveMms,
                    truth.liveBugle);
        for (const auto& [name, count] : classes)
            std::printf("deleted %s (text/row): %zu\n", name.c_str(), count);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
}

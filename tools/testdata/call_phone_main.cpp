// fennaro-call-phone KIND DIR [SEED] [PAGE_SIZE]: writes a phone with a call
// log into DIR (contacts2.db, and calllog.db from Android 7 on, with the side
// files their history leaves) and its ground truth in DIR/truth.json, and
// prints how its deleted calls survive.
#include "call_phone.h"
#include "tool_args.h"
#include "truth_json.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <map>
#include <string>

namespace {

// Prints the usage text and returns the usage status.
int usage(const char* program) {
    std::fprintf(stderr, "usage: %s android6|upgraded7|android12 DIR [SEED] [PAGE_SIZE]\n",
                 program);
    return 2;
}

} // namespace

// Writes the phone and its truth; status 0, 1 on failure, 2 on wrong arguments.
int main(int argc, char** argv) {
    if (argc < 3 || argc > 5)
        return usage(argv[0]);
    const auto kind = testdata::callPhoneKindFromName(argv[1]);
    if (!kind)
        return usage(argv[0]);
    testdata::CallPhoneSpec spec;
    spec.kind = *kind;
    uint64_t seed = spec.seed;
    if (!testdata::readSeedAndPageSize(argc, argv, seed, spec.pageSize))
        return usage(argv[0]);
    spec.seed = seed;
    try {
        const testdata::CallPhoneTruth truth = testdata::generateCallPhone(argv[2], spec);
        const std::string path = (std::filesystem::path(argv[2]) / "truth.json").string();
        testdata::writeJsonFile(path, testdata::callTruthToJson(truth, spec));
        std::map<std::string, size_t> classes;
        for (const testdata::TruthCall& call : truth.deleted)
            ++classes[testdata::survivalName(call.survival)];
        std::printf("%s phone in %s (page size %d), ground truth in %s\n%zu live calls, %zu "
                    "deleted calls:",
                    argv[1], argv[2], spec.pageSize, path.c_str(), truth.live.size(),
                    truth.deleted.size());
        for (const auto& [name, count] : classes)
            std::printf(" %zu %s", count, name.c_str());
        std::printf("\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fennaro-call-phone: %s\n", e.what());
        return 1;
    }
    return 0;
}

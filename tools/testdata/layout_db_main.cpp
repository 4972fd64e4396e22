// fennaro-layout-db LAYOUT DIR [SEED] [PAGE_SIZE]: writes one database of a
// real-world layout into DIR (layout.db with the side files its history
// leaves), with its ground truth in DIR/ground-truth.json, and prints how
// its deleted rows survive.
#include "layout_db.h"
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
    std::string names;
    for (testdata::Layout layout : testdata::allLayouts())
        names += std::string(names.empty() ? "" : "|") + testdata::layoutName(layout);
    std::fprintf(stderr, "usage: %s %s DIR [SEED] [PAGE_SIZE]\n", program, names.c_str());
    return 2;
}

} // namespace

// Writes the database and its truth; status 0, 1 on failure, 2 on wrong arguments.
int main(int argc, char** argv) {
    if (argc < 3 || argc > 5)
        return usage(argv[0]);
    const auto layout = testdata::layoutFromName(argv[1]);
    if (!layout)
        return usage(argv[0]);
    testdata::LayoutSpec spec;
    spec.layout = *layout;
    uint64_t seed = spec.seed;
    if (!testdata::readSeedAndPageSize(argc, argv, seed, spec.pageSize))
        return usage(argv[0]);
    spec.seed = seed;
    try {
        std::filesystem::create_directories(argv[2]);
        const std::string db = (std::filesystem::path(argv[2]) / "layout.db").string();
        const testdata::DatabaseTruth truth = testdata::generateLayoutDatabase(db, spec);
        Json::Value json = testdata::truthToJson(truth);
        json["layout"] = argv[1];
        json["seed"] = Json::UInt64(spec.seed);
        const std::string path = (std::filesystem::path(argv[2]) / "ground-truth.json").string();
        testdata::writeJsonFile(path, json);
        std::map<std::string, size_t> classes;
        for (const testdata::DeletedRow& row : truth.deleted)
            if (row.countable)
                ++classes[testdata::survivalName(row.survival)];
        std::printf("%s (page size %u) in %s, ground truth in %s\n%zu live rows, %zu deleted rows "
                    "(%zu with a readable value):",
                    argv[1], truth.pageSize, db.c_str(), path.c_str(), truth.live.size(),
                    truth.deleted.size(), truth.countableDeleted());
        for (const auto& [name, count] : classes)
            std::printf(" %zu %s", count, name.c_str());
        std::printf("\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fennaro-layout-db: %s\n", e.what());
        return 1;
    }
    return 0;
}

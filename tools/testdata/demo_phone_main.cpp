// fennaro-demo-phone DIR: writes the built-in demo phone (contacts2.db and
// mmssms.db with live and deleted records) into DIR, replacing older files.
#include "phone_generator.h"

#include <cstdio>
#include <exception>

// Writes the demo phone and reports what it holds.
int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    testdata::PhoneSpec spec;
    spec.contacts = 40;
    spec.messages = 300;
    spec.threads = 24;
    spec.deleteFraction = 0.25;
    spec.seed = 20240607;
    try {
        const testdata::PhoneTruth truth = testdata::generatePhone(argv[1], spec);
        std::printf("demo phone in %s: %zu live and %zu deleted contacts (%zu deleted data rows), "
                    "%zu live and %zu deleted messages in %zu conversations\n",
                    argv[1], truth.liveContacts.size(), truth.deletedContacts.size(),
                    truth.deletedDataRows.size(), truth.liveMessages.size(),
                    truth.deletedMessages.size(), truth.threads.size());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fennaro-demo-phone: %s\n", e.what());
        return 1;
    }
    return 0;
}

// fennaro-app-store SMS_DB BUGLE_DB: writes the messaging app's bugle_db
// (with its -wal) for a phone whose mmssms.db exists already, holding the
// app's copies of its live SMS, a chat the telephony store never had and
// messages only the app kept, some of them deleted. SMS_DB is only read.
#include "app_store.h"

#include <cstdio>
#include <exception>

// Writes the store; status 0, 1 on failure, 2 on wrong arguments.
int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SMS_DB BUGLE_DB\n", argv[0]);
        return 2;
    }
    try {
        const testdata::DatabaseTruth truth = testdata::writeAppStoreFor(argv[1], argv[2]);
        size_t messages = 0;
        for (const testdata::LiveRow& row : truth.live)
            messages += row.table == "messages";
        std::printf("%s: %zu live messages, %zu deleted rows\n", argv[2], messages,
                    truth.deleted.size());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
}

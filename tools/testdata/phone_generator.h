// Generates a whole phone: a contacts2.db and an mmssms.db full of realistic
// records, some of them deleted the way a user deletes old things, together with
// the ground truth of what is live and what was deleted.
#pragma once

#include "testdata_types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace testdata {

// What to generate.
struct PhoneSpec {
    DbOptions contactsOptions;
    DbOptions smsOptions;
    int contacts = 50; // raw contacts (about 3.6 data rows each)
    int messages = 200;
    // Conversations, at least 1 when there are messages. The first messages go one to
    // each thread; threads left over when messages run out stay empty.
    int threads = 20;
    double deleteFraction = 0.2; // share of data rows and of messages deleted (0 ... 0.45)
    uint64_t seed = 1;
    bool longBodies = true; // a few bodies that spill into overflow pages at 4096-byte pages
    int64_t firstId = 1000; // ids start here, as on a phone used for years
};

// Ground truth of a generated phone. Everything is in ascending id order.
struct PhoneTruth {
    std::vector<RawContact> liveContacts;    // with their live data rows only
    std::vector<RawContact> deletedContacts; // raw contacts deleted whole, with the rows they had
    std::vector<DataRow> deletedDataRows;    // every deleted data row (whole contacts included)
    std::vector<Thread> threads;             // live threads after the deletions
    std::vector<Message> liveMessages;
    std::vector<Message> deletedMessages;
};

// Writes dir/contacts2.db and dir/mmssms.db (creating dir, replacing older
// files) and returns the ground truth. Deterministic: the same spec gives the
// same bytes. Throws std::runtime_error or std::invalid_argument on failure.
PhoneTruth generatePhone(const std::string& dir, const PhoneSpec& spec);

} // namespace testdata

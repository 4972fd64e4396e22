#include "short_rows_phone.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "content_generator.h"
#include "random_source.h"
#include "testdata.h"

namespace benchdeep {

namespace {

// Words the short bodies are made of.
constexpr const char* kWords[] = {
    "ok",      "see",   "you",      "tomorrow", "at",    "the",     "station", "call",
    "me",      "when",  "home",     "thanks",   "love",  "dinner",  "is",      "ready",
    "running", "late",  "sorry",    "meeting",  "moved", "to",      "three",   "pm",
    "where",   "are",   "we",       "going",    "bring", "keys",    "please",  "good",
    "night",   "happy", "birthday", "what",     "time",  "does",    "it",      "start",
    "parking", "lot",   "north",    "entrance", "train", "delayed", "again",   "coffee"};

// A body of 2 to 50 words.
std::string shortBody(testdata::RandomSource& rng) {
    const int words = int(rng.between(2, 50));
    std::string body;
    for (int w = 0; w < words; ++w) {
        if (w)
            body += ' ';
        body += kWords[rng.below(std::size(kWords))];
    }
    return body;
}

// Picks a third of ids to delete: half the picks alone, half as the start of
// a run of 2 to 6 neighbouring rows.
std::vector<int64_t> pickDoomed(testdata::RandomSource& rng, const std::vector<int64_t>& ids) {
    std::set<int64_t> doomed;
    const size_t target = ids.size() / 3;
    while (doomed.size() < target) {
        const size_t start = rng.below(ids.size());
        const size_t run = rng.chance(0.5) ? 1 : size_t(rng.between(2, 6));
        for (size_t i = start; i < std::min(ids.size(), start + run) && doomed.size() < target; ++i)
            doomed.insert(ids[i]);
    }
    return {doomed.begin(), doomed.end()};
}

// Writes the contacts2.db; returns the raw contact ids and their numbers.
void writeContacts(const std::string& path, testdata::RandomSource& rng, int count,
                   std::vector<int64_t>& rawIds, std::vector<std::string>& numbers) {
    testdata::DbOptions options;
    testdata::ContactsDbBuilder contacts(path, options);
    int64_t dataRows = 0;
    for (int i = 0; i < count; ++i) {
        testdata::GeneratedContact generated = testdata::makeContact(rng, i);
        dataRows += int64_t(generated.contact.rows.size());
        rawIds.push_back(contacts.addRawContact(generated.contact));
        numbers.push_back(generated.networkForm.empty() ? testdata::makeUnknownNumber(rng, i)
                                                        : generated.networkForm);
    }
    contacts.commit();
    std::vector<int64_t> rows;
    for (int64_t id = 1; id <= dataRows; ++id)
        rows.push_back(id);
    contacts.deleteDataRows(pickDoomed(rng, rows));
    contacts.close();
}

} // namespace

void ensureShortRowsPhone(const std::string& dir, int messages) {
    const std::string stamp = dir + "/done";
    if (std::filesystem::exists(stamp))
        return;
    std::filesystem::create_directories(dir);
    std::printf("generating %d short messages in %s ...\n", messages, dir.c_str());
    std::fflush(stdout);
    testdata::RandomSource rng(11);
    std::vector<int64_t> rawIds;
    std::vector<std::string> numbers;
    writeContacts(dir + "/contacts2.db", rng, std::max(50, messages / 40), rawIds, numbers);

    testdata::DbOptions options;
    testdata::SmsDbBuilder sms(dir + "/mmssms.db", options);
    const int threads = std::max(1, messages / 40);
    std::vector<int64_t> threadIds;
    for (int t = 0; t < threads; ++t) {
        testdata::Thread thread;
        thread.address = numbers[size_t(t) % numbers.size()];
        threadIds.push_back(sms.addThread(thread));
    }
    std::vector<int64_t> ids;
    int64_t date = 1'600'000'000'000;
    for (int m = 0; m < messages; ++m) {
        const size_t t = rng.below(threadIds.size());
        testdata::Message message;
        message.threadId = threadIds[t];
        message.address = numbers[t % numbers.size()];
        message.type = rng.chance(0.4) ? 2 : 1;
        if (message.type == 1)
            message.person = rawIds[t % rawIds.size()];
        message.dateMs = date += rng.between(1000, 600'000);
        message.body = shortBody(rng);
        ids.push_back(sms.addMessage(message));
    }
    sms.commit();
    sms.deleteMessages(pickDoomed(rng, ids));
    sms.close();
    std::ofstream(stamp) << "ok\n";
}

} // namespace benchdeep

#include "bench_phone.h"

#include <cstdio>
#include <fstream>

#include "content_generator.h"

namespace benchphone {

namespace {

// Gives a generated contact exactly kRowsPerContact data rows: its own rows
// first, then an e-mail and a company as needed.
testdata::RawContact fourRowContact(testdata::RawContact contact, int64_t index) {
    contact.deleted = 0;
    if (contact.rows.size() > kRowsPerContact)
        contact.rows.resize(kRowsPerContact);
    int filler = 0;
    while (contact.rows.size() < kRowsPerContact) {
        testdata::DataRow row;
        if (filler++ % 2 == 0) {
            row.mimetype = testdata::kMimeEmail;
            row.data1 = "person" + std::to_string(index) + "@mail.example.org";
            row.data2 = "1";
        } else {
            row.mimetype = testdata::kMimeOrganization;
            row.data1 = "Company " + std::to_string(index % 997);
            row.data2 = "1";
            row.data4 = "Engineer";
        }
        contact.rows.push_back(row);
    }
    return contact;
}

// Writes the phone into dir unless a complete one is there already.
void generateLoadPhone(const std::filesystem::path& dir) {
    if (std::filesystem::exists(dir / "complete"))
        return;
    std::filesystem::create_directories(dir);
    std::fprintf(stderr, "generating the phone in %s ...\n", dir.c_str());
    const auto start = std::chrono::steady_clock::now();
    testdata::RandomSource rng(kSeed);
    testdata::DbOptions options;

    std::vector<int64_t> rawIds;
    std::vector<std::string> numbers;
    {
        testdata::ContactsDbBuilder contacts((dir / "contacts2.db").string(), options);
        for (int i = 0; i < kContacts; ++i) {
            testdata::GeneratedContact generated = testdata::makeContact(rng, i);
            testdata::RawContact contact = fourRowContact(generated.contact, i);
            rawIds.push_back(contacts.addRawContact(contact));
            numbers.push_back(generated.networkForm.empty() ? testdata::makeUnknownNumber(rng, i)
                                                            : generated.networkForm);
        }
        contacts.commit();
        for (int i = 0; i < kDeletedDataRows; ++i)
            contacts.deleteDataRow(1 + int64_t{i} * 197 % (int64_t{kContacts} * kRowsPerContact));
        contacts.close();
    }
    benchphone::writeMessages((dir / "mmssms.db").string(), options, rng, numbers, rawIds, kThreads,
                              kMessages, kDeletedMessages);
    std::ofstream(dir / "complete") << "ok\n";
    std::fprintf(stderr, "generated in %.1f s\n", secondsSince(start));
}

} // namespace

std::filesystem::path ensureLoadPhone(const std::filesystem::path& cache) {
    const std::filesystem::path dir =
        cache / ("load-c" + std::to_string(kContacts) + "x" + std::to_string(kRowsPerContact) +
                 "-m" + std::to_string(kMessages) + "-t" + std::to_string(kThreads) + "-s" +
                 std::to_string(kSeed));
    generateLoadPhone(dir);
    return dir;
}

void writeMessages(const std::string& path, const testdata::DbOptions& options,
                   testdata::RandomSource& rng, const std::vector<std::string>& numbers,
                   const std::vector<int64_t>& rawIds, int threads, int messages, int deleted) {
    testdata::SmsDbBuilder sms(path, options);
    std::vector<int64_t> threadIds;
    for (int t = 0; t < threads; ++t) {
        testdata::Thread thread;
        thread.address = numbers[size_t(t) % numbers.size()];
        threadIds.push_back(sms.addThread(thread));
    }
    int64_t date = 1'600'000'000'000;
    for (int m = 0; m < messages; ++m) {
        const int t = m % threads;
        testdata::Message message;
        message.threadId = threadIds[size_t(t)];
        message.address = numbers[size_t(t) % numbers.size()];
        message.type = m % 3 == 0 ? 2 : 1;
        if (message.type == 1)
            message.person = rawIds[size_t(t) % rawIds.size()];
        message.dateMs = date += 61'000;
        message.body = testdata::makeBody(rng, m % 5000 == 0);
        sms.addMessage(message);
    }
    sms.commit();
    std::vector<int64_t> doomed;
    for (int i = 0; i < deleted; ++i)
        doomed.push_back(1 + int64_t{i} * 241 % messages);
    sms.deleteMessages(doomed);
    sms.close();
}

} // namespace benchphone

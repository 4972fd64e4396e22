#include "bench_phone.h"

#include "content_generator.h"

namespace benchphone {

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

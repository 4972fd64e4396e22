// The result text: pairing of contact values, leftovers, sender naming,
// "N/A" and the UTF-8 check; the indexed pairing against a plain transcription.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "recovered_text.h"

namespace {

using fennaro::buildContactText;
using fennaro::buildSmsText;
using fennaro::CarvedContact;
using fennaro::CarvedSms;
using fennaro::LiveContactRow;

TEST(ContactText, NameAndNumberPairWithTheNumberSecond) {
    EXPECT_EQ(buildContactText({{"\x05", "Ann"}, {"\x05", "555"}}), "Ann\t555\r\n");
    EXPECT_EQ(buildContactText({{"\x05", "555"}, {"\x05", "Ann"}}), "Ann\t555\r\n");
}

TEST(ContactText, LeftoversAndWhatCountsAsDigits) {
    EXPECT_EQ(buildContactText({{"\x05", "555"}}), "N/A\t555\r\n");
    EXPECT_EQ(buildContactText({{"\x05", "Ann"}}), "Ann\tN/A\r\n");
    EXPECT_EQ(buildContactText({{"\x05", "+86555"}}), "+86555\tN/A\r\n");
    EXPECT_EQ(buildContactText({{"\x05", "555 1"}}), "555 1\tN/A\r\n");
    // Equal values never pair: each is a leftover of its own.
    EXPECT_EQ(buildContactText({{"\x05", "555"}, {"\x05", "555"}}), "N/A\t555\r\nN/A\t555\r\n");
    // Empty values are skipped; rids compare as bytes, never as numbers.
    EXPECT_EQ(buildContactText({{"", ""}, {"\x05", "Ann"}, {std::string("\x00\x05", 2), "555"}}),
              "Ann\tN/A\r\nN/A\t555\r\n");
}

TEST(ContactText, ThreeValuesOfOneContactPairEveryTwo) {
    EXPECT_EQ(buildContactText({{"a", "Ann"}, {"a", "555"}, {"a", "ann@x"}}),
              "Ann\t555\r\nAnn\tann@x\r\nann@x\t555\r\n");
}

TEST(ContactText, InvalidUtf8GivesAnEmptyField) {
    EXPECT_EQ(buildContactText({{"a", "Ann"}, {"a", "\xC0\x80"}}), "Ann\t\r\n");
    EXPECT_EQ(utf8ToAnsi("\xED\xA0\x80"), "");     // surrogate
    EXPECT_EQ(utf8ToAnsi("\xF4\x90\x80\x80"), ""); // above U+10FFFF
    EXPECT_EQ(utf8ToAnsi("\xE5\xBC\xA0\xE4\xBC\x9F"), "\xE5\xBC\xA0\xE4\xBC\x9F");
    EXPECT_EQ(utf8ToAnsi(std::string("ab\0\xFF", 4)), "ab"); // cut at the zero first
}

TEST(SmsText, SenderNamedFromAnotherRowOfTheMatchingContact) {
    std::vector<LiveContactRow> live = {
        {"7", "Bob"}, {"9", "Zed"}, {"9", "13800138000"}, {"9", "Zoe"}};
    std::vector<CarvedSms> sms = {{"+8613800138000", "", "Hi"}};
    EXPECT_EQ(buildSmsText(sms, live), "Zed\t+8613800138000\tHi\r\n");
    // Only the first "+86" goes, and only from the address.
    sms = {{"+86+8613800138000", "", "Hi"}};
    EXPECT_EQ(buildSmsText(sms, live), "N/A\t+86+8613800138000\tHi\r\n");
    // A matching row with no other row of its contact gives "N/A".
    EXPECT_EQ(buildSmsText({{"Bob", "", "x"}}, live), "N/A\tBob\tx\r\n");
}

TEST(SmsText, EmptyValuesAndNoLiveRows) {
    EXPECT_EQ(buildSmsText({{"", "", ""}}, {}), "N/A\tN/A\tN/A\r\n");
    EXPECT_EQ(buildSmsText({{"10086", "", ""}}, {}), "N/A\t10086\tN/A\r\n");
    EXPECT_EQ(buildSmsText({}, {{"1", "x"}}), "");
    // A live row with an empty data1 matches an empty address.
    EXPECT_EQ(buildSmsText({{"", "", ""}}, {{"3", ""}, {"3", "Eve"}}), "Eve\tN/A\tN/A\r\n");
}

// The pairing and naming exactly as first described: every pair compared,
// every live row scanned per message. The indexed forms must match it.
std::string plainContactText(const std::vector<CarvedContact>& c) {
    std::string text;
    std::vector<size_t> used;
    for (size_t i = 0; i < c.size(); ++i) {
        for (size_t a = i; a < c.size(); ++a) {
            if (c[i].second.empty() || c[a].second.empty() || c[i].first != c[a].first ||
                c[i].second == c[a].second)
                continue;
            if (fennaro::isAllDigits(c[i].second))
                text += utf8ToAnsi(c[a].second) + "\t" + utf8ToAnsi(c[i].second) + "\r\n";
            else
                text += utf8ToAnsi(c[i].second) + "\t" + utf8ToAnsi(c[a].second) + "\r\n";
            used.push_back(i);
            used.push_back(a);
        }
    }
    for (size_t j = 0; j < c.size(); ++j) {
        if (c[j].second.empty() || std::find(used.begin(), used.end(), j) != used.end())
            continue;
        text += fennaro::isAllDigits(c[j].second) ? "N/A\t" + utf8ToAnsi(c[j].second) + "\r\n"
                                                  : utf8ToAnsi(c[j].second) + "\tN/A\r\n";
    }
    return text;
}

std::string plainSmsText(const std::vector<CarvedSms>& sms,
                         const std::vector<LiveContactRow>& live) {
    std::string text;
    for (const auto& [address, person, body] : sms) {
        std::string name = "N/A";
        for (size_t j = 0; j < live.size(); ++j) {
            std::string stripped = address;
            if (size_t p = stripped.find("+86"); p != std::string::npos)
                stripped.erase(p, 3);
            if (stripped != live[j].second)
                continue;
            for (size_t k = 0; k < live.size(); ++k) {
                if (k != j && live[k].first == live[j].first) {
                    name = utf8ToAnsi(live[k].second);
                    break;
                }
            }
            break;
        }
        text += name + "\t" + (address.empty() ? "N/A" : utf8ToAnsi(address)) + "\t" +
                (body.empty() ? "N/A" : utf8ToAnsi(body)) + "\r\n";
    }
    return text;
}

TEST(IndexedTextSteps, MatchThePlainTranscriptionOnRandomInputs) {
    std::mt19937 rng(12345);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    const std::vector<std::string> values = {"",     "Ann",  "555", "+86555", "Bob", "13800138000",
                                             "\xC3", "a\tb", "555", "Zoe"};
    // Rids of one to a dozen bytes, some sharing their first eight.
    const std::vector<std::string> rids = {
        "0",         "1",         std::string("\0", 1), "12345678",
        "123456789", "123456788", "1234567890ab",       "\x07\xD0"};
    for (int round = 0; round < 400; ++round) {
        std::vector<CarvedContact> carved;
        for (int i = pick(30); i > 0; --i)
            carved.emplace_back(rids[size_t(pick(8))], values[size_t(pick(10))]);
        ASSERT_EQ(buildContactText(carved), plainContactText(carved)) << "round " << round;

        std::vector<LiveContactRow> live;
        for (int i = pick(12); i > 0; --i)
            live.emplace_back(std::string(1, char('0' + pick(4))), values[size_t(pick(10))]);
        std::vector<CarvedSms> sms;
        for (int i = pick(10); i > 0; --i) {
            std::string address = values[size_t(pick(10))];
            if (pick(3) == 0)
                address = "+86" + address;
            sms.emplace_back(address, "", values[size_t(pick(10))]);
        }
        ASSERT_EQ(buildSmsText(sms, live), plainSmsText(sms, live)) << "round " << round;
    }
}

} // namespace

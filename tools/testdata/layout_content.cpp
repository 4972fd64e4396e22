#include "layout_content.h"

#include <vector>

namespace testdata::layout {

namespace {

const std::vector<std::string> kFirstNames = {
    "Ana", "Ben",  "Chen", "Dara", "Eli", "Femi", "Gus",  "Hana", "Ivo",  "Jun", "Kai",  "Lea",
    "Mio", "Nils", "Ola",  "Pia",  "Rui", "Sol",  "Tomé", "Ülkü", "Vera", "Wen", "Yara", "Zoë"};
const std::vector<std::string> kLastNames = {"Kovač", "Li",     "Moss",   "Nørby", "Ortiz", "Park",
                                             "Quinn", "Roy",    "Sato",   "Tan",   "Udo",   "Vogt",
                                             "Wu",    "Xavier", "Yilmaz", "Zhou"};
const std::vector<std::string> kWords = {
    "ok",     "see",   "you",   "at",    "five", "lunch", "call",  "me",   "later", "thanks",
    "where",  "are",   "on",    "my",    "way",  "late",  "train", "home", "soon",  "yes",
    "no",     "maybe", "today", "night", "back", "fine",  "good",  "love", "miss",  "what",
    "parcel", "keys",  "door",  "car",   "shop", "milk",  "bread", "meet", "here",  "now"};
const std::vector<std::string> kChinese = {"我", "们", "明", "天", "见", "好", "的", "你", "在",
                                           "哪", "里", "吃", "饭", "了", "吗", "谢", "回", "家",
                                           "晚", "上", "电", "话", "到", "车", "站", "等"};

} // namespace

SqlValue integer(int64_t value) {
    SqlValue v;
    v.type = SqlValue::Type::Integer;
    v.integer = value;
    return v;
}

SqlValue real(double value) {
    SqlValue v;
    v.type = SqlValue::Type::Real;
    v.real = value;
    return v;
}

SqlValue text(const std::string& value) {
    SqlValue v;
    v.type = SqlValue::Type::Text;
    v.bytes = value;
    return v;
}

SqlValue blob(const std::string& bytes) {
    SqlValue v;
    v.type = SqlValue::Type::Blob;
    v.bytes = bytes;
    return v;
}

SqlValue null() {
    return SqlValue{};
}

std::string personName(RandomSource& rng) {
    return rng.pick(kFirstNames) + " " + rng.pick(kLastNames);
}

std::string phoneNumber(RandomSource& rng) {
    if (rng.chance(0.5))
        return "+1 555 0" + std::to_string(rng.between(100, 999));
    return "0" + std::to_string(rng.between(150, 179)) + " " +
           std::to_string(rng.between(1000000, 9999999));
}

std::string emailAddress(RandomSource& rng) {
    std::string name = rng.pick(kWords) + "." + rng.pick(kWords);
    return name + std::to_string(rng.between(1, 99)) + "@mail.test";
}

std::string latinBody(RandomSource& rng, int words) {
    std::string out;
    for (int i = 0; i < words; ++i)
        out += (i ? " " : "") + rng.pick(kWords);
    return out;
}

std::string chineseBody(RandomSource& rng, int characters) {
    std::string out;
    for (int i = 0; i < characters; ++i)
        out += rng.pick(kChinese);
    return out;
}

std::string longText(RandomSource& rng, size_t bytes) {
    std::string out;
    while (out.size() < bytes)
        out += latinBody(rng, 8) + ". ";
    out.resize(bytes);
    return out;
}

std::string randomBytes(RandomSource& rng, size_t bytes) {
    std::string out(bytes, '\0');
    for (char& c : out)
        c = static_cast<char>(rng.below(256));
    return out;
}

int64_t dateMs(RandomSource& rng) {
    return 1546300800000 + static_cast<int64_t>(rng.below(uint64_t(6) * 365 * 86400 * 1000));
}

} // namespace testdata::layout

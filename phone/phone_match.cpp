#include "phone/phone_match.h"

namespace fennaro {

namespace {

// A number reduced to what the comparison reads.
struct DialString {
    bool alphanumeric = false; // holds a letter or a non-ASCII character
    bool plus = false;         // written with a leading "+"
    std::string digits;        // its digits, * and #, in order
};

// Returns the dialable part of a number: digits, "*" and "#", and whether it
// began with "+" (before any digit) or holds letters.
DialString dialString(std::string_view text) {
    DialString dial;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((c >= '0' && c <= '9') || c == '*' || c == '#')
            dial.digits += c;
        else if (c == '+' && dial.digits.empty())
            dial.plus = true;
        else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || byte >= 0x80)
            dial.alphanumeric = true;
    }
    return dial;
}

// Returns whether rest (the digits left in front of the matched part) is a
// trunk prefix: nothing or one 0.
bool isTrunkPrefix(std::string_view rest, bool plus) {
    return !plus && (rest.empty() || rest == "0");
}

// Returns whether rest, with the number's "+", is an international prefix
// followed by a country code of one to three digits.
bool isInternationalPrefixWithCountry(std::string_view rest, bool plus) {
    if (!plus) {
        if (rest.substr(0, 2) != "00")
            return false;
        rest.remove_prefix(2);
    }
    return !rest.empty() && rest.size() <= 3 && rest.front() != '0';
}

// Returns whether rest is an international prefix without a country code.
bool isBareInternationalPrefix(std::string_view rest, bool plus) {
    return plus ? rest.empty() : rest == "00";
}

// Returns the key a number is filed under: its last 7 dialable characters,
// or all of them for a shorter one; the whole text for a sender with letters.
std::string bucketKey(std::string_view text) {
    const DialString dial = dialString(text);
    if (dial.alphanumeric)
        return "a:" + std::string(text);
    if (dial.digits.size() < kPhoneMatchDigits)
        return "s:" + dial.digits;
    return dial.digits.substr(dial.digits.size() - kPhoneMatchDigits);
}

} // namespace

bool samePhoneNumber(std::string_view a, std::string_view b) {
    const DialString x = dialString(a);
    const DialString y = dialString(b);
    if (x.alphanumeric || y.alphanumeric)
        return a == b;
    // An address without a digit names nobody.
    if (x.digits.empty() || y.digits.empty())
        return false;
    if (x.digits.size() < kPhoneMatchDigits || y.digits.size() < kPhoneMatchDigits)
        return x.digits == y.digits && x.plus == y.plus;

    // Compare from the right for as long as both agree.
    std::size_t i = x.digits.size();
    std::size_t j = y.digits.size();
    while (i > 0 && j > 0 && x.digits[i - 1] == y.digits[j - 1]) {
        --i;
        --j;
    }
    if (x.digits.size() - i < kPhoneMatchDigits)
        return false;
    const std::string_view restX = std::string_view(x.digits).substr(0, i);
    const std::string_view restY = std::string_view(y.digits).substr(0, j);
    // One side used up: the other side's rest is a prefix the first lacks.
    if ((restX.empty() && !x.plus) || (restY.empty() && !y.plus))
        return true;
    if (isBareInternationalPrefix(restX, x.plus) && isBareInternationalPrefix(restY, y.plus))
        return true;
    // A trunk 0 on one side stands for the country code on the other.
    return (isTrunkPrefix(restX, x.plus) && isInternationalPrefixWithCountry(restY, y.plus)) ||
           (isTrunkPrefix(restY, y.plus) && isInternationalPrefixWithCountry(restX, x.plus));
}

void PhoneNumberIndex::add(std::string_view number, int64_t owner) {
    m_buckets[bucketKey(number)].push_back({std::string(number), owner, m_added++});
}

bool PhoneNumberIndex::find(std::string_view address, int64_t* owner) const {
    const auto bucket = m_buckets.find(bucketKey(address));
    if (bucket == m_buckets.end())
        return false;
    const Entry* best = nullptr;
    for (const Entry& entry : bucket->second) {
        if ((!best || entry.order < best->order) && samePhoneNumber(address, entry.number))
            best = &entry;
    }
    if (best && owner)
        *owner = best->owner;
    return best != nullptr;
}

} // namespace fennaro

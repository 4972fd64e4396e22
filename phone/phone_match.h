// Whether a message's address and a contact's number are the same phone
// number, as the phone itself would decide when it names a sender. The same
// number is stored in many forms: with or without punctuation, with a trunk
// 0 or an international prefix (+CC, 00CC) on one side only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace fennaro {

// The fewest trailing digits two full numbers must share to be the same.
inline constexpr std::size_t kPhoneMatchDigits = 7;

// Returns whether a and b name the same phone number. Punctuation and spaces
// are ignored; digits are compared from the right and must agree on at least
// the last 7, after which what is left on each side may only be a trunk 0 or
// an international prefix with its country code (on one side only). Short
// codes (under 7 digits) and senders holding letters match only exactly; a
// number without any digit matches nothing.
bool samePhoneNumber(std::string_view a, std::string_view b);

// Finds the owner of an address among many numbers without comparing it with
// each: numbers are filed under their last 7 digits, and only those of the
// same bucket are compared in full.
class PhoneNumberIndex {
  public:
    // Files number under owner. Numbers added first win when several match.
    void add(std::string_view number, int64_t owner);

    // Returns the owner of the first number added that is the same phone
    // number as address, or false when none is.
    bool find(std::string_view address, int64_t* owner) const;

  private:
    struct Entry {
        std::string number;
        int64_t owner = 0;
        std::size_t order = 0;
    };
    std::unordered_map<std::string, std::vector<Entry>> m_buckets;
    std::size_t m_added = 0;
};

} // namespace fennaro

// Realistic contact and message content: multilingual names, phone numbers in
// the shapes phones store them, and message bodies of every length.
#pragma once

#include "random_source.h"
#include "testdata_types.h"

#include <cstdint>
#include <string>

namespace testdata {

// A generated contact plus the forms its first number takes in messages.
struct GeneratedContact {
    RawContact contact;      // ids left 0
    std::string networkForm; // sender address as the network delivers it ("+8613800138000"), or ""
    std::string typedForm;   // address of messages sent to it, as typed ("13800138000"), or ""
    bool service = false;    // a saved short code ("10086"): networkForm is the code
};

// Makes contact number `index` (numbers are unique per index).
GeneratedContact makeContact(RandomSource& rng, int64_t index);

// A phone number nobody saved, unique per index, in network form.
std::string makeUnknownNumber(RandomSource& rng, int64_t index);

// A short code or alphanumeric sender ("10086", "95588", "AMAZON"); index picks one.
std::string makeServiceSender(int64_t index);

// A message body: mostly short, some multipart; with `allowLong` a few bodies
// larger than a 4096-byte page's local payload. Includes CR, LF, CR LF and tabs.
std::string makeBody(RandomSource& rng, bool allowLong);

// A body a service sender would send (verification codes, bills, notices).
std::string makeServiceBody(RandomSource& rng, const std::string& sender);

} // namespace testdata

// Who a generated conversation is with: a saved contact, a service that
// sends from a short code, or a stranger. Shared by the classic and the
// modern phone generators, so both phones hold the same mix.
#pragma once

#include "random_source.h"
#include "testdata_types.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testdata {

// Someone messages can come from: a saved contact with a number.
struct Correspondent {
    int64_t rawId = 0;
    std::string networkForm; // address of received messages
    std::string typedForm;   // address of sent messages
};

// The other party of one conversation.
struct Party {
    enum Kind { Contact, Service, Stranger } kind = Stranger;
    Correspondent who; // for Contact, and the saved contact of a Service
    std::string address;
};

// Hands out the parties of a phone's conversations in turn.
class PartyPicker {
  public:
    // Shuffles `people` with rng; `services` maps a saved short code to the
    // raw contact that names it.
    PartyPicker(RandomSource& rng, std::vector<Correspondent> people,
                const std::map<std::string, int64_t>& services);

    // Returns the party of conversation `index`: a contact three times in four
    // while any is left, now and then one of eight services, else a stranger.
    Party next(RandomSource& rng, int index);

  private:
    std::vector<Correspondent> m_people;
    const std::map<std::string, int64_t>& m_services;
    size_t m_nextPerson = 0;
    int m_nextService = 0;
};

// Sets a message of a conversation with p as it is stored: its type (1
// received, 2 sent), the address in the form the phone keeps for that way
// (strangers' numbers are typed without the country code) and, for a saved
// sender, the raw contact it names.
void addressMessage(const Party& p, bool received, Message& m);

} // namespace testdata

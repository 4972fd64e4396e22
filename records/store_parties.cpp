#include "store_parties.h"

#include <algorithm>

namespace fennaro::deep {

void addParty(std::vector<std::string>& list, const std::string& address) {
    if (address.empty() || address == kSelfToken ||
        std::find(list.begin(), list.end(), address) != list.end())
        return;
    list.push_back(address);
}

void setParties(DeletedMessage& message, const std::vector<std::string>& parties) {
    if (parties.empty())
        return;
    message.address = parties.front();
    message.recipients.assign(parties.begin() + 1, parties.end());
}

void setMmsParties(DeletedMessage& message,
                   const std::vector<std::pair<int64_t, std::string>>& addresses) {
    std::vector<std::string> parties;
    const int64_t own = message.type == 1 ? kAddrFrom : kAddrTo;
    for (const auto& [type, address] : addresses) {
        if (type == own)
            addParty(parties, address);
    }
    for (const auto& [type, address] : addresses)
        addParty(parties, address);
    setParties(message, parties);
}

void setBugleParties(DeletedMessage& message, std::optional<int64_t> sender,
                     const std::vector<int64_t>* members,
                     const std::unordered_map<int64_t, BugleParticipant>& participants) {
    const auto from = sender ? participants.find(*sender) : participants.end();
    if (from != participants.end() && from->second.subId)
        message.type = *from->second.subId == kOtherParty ? 1 : 2;
    std::vector<std::string> parties;
    if (message.type == 1)
        addParty(parties, from->second.address);
    if (members) {
        for (int64_t member : *members) {
            if (const auto who = participants.find(member); who != participants.end())
                addParty(parties, who->second.address);
        }
    }
    setParties(message, parties);
}

} // namespace fennaro::deep

#include "phone/store_parties.h"

#include <algorithm>
#include <cctype>

namespace fennaro::deep {

bool isPlainTextType(std::string_view type) {
    const std::string_view plain = "text/plain";
    if (type.size() < plain.size())
        return false;
    for (size_t i = 0; i < plain.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(type[i])) != plain[i])
            return false;
    }
    return type.size() == plain.size() || type[plain.size()] == ';' || type[plain.size()] == ' ';
}

void appendPartText(std::string& body, std::string_view text) {
    if (!body.empty() && !text.empty())
        body += '\n';
    body += text;
}

std::optional<int64_t> mmsDateMs(std::optional<int64_t> seconds) {
    int64_t ms = 0;
    if (!seconds || __builtin_mul_overflow(*seconds, int64_t(1000), &ms))
        return std::nullopt;
    return ms;
}

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

void BugleConversations::addParticipant(std::optional<int64_t> id, std::optional<int64_t> subId,
                                        std::initializer_list<std::string> addresses) {
    if (!id || participants.count(*id))
        return;
    BugleParticipant& participant = participants[*id];
    participant.subId = subId;
    for (const std::string& address : addresses) {
        if (participant.address.empty())
            participant.address = address;
    }
}

void BugleConversations::addThread(std::optional<int64_t> id, std::optional<int64_t> thread) {
    if (id && thread && *thread > 0)
        threads.try_emplace(*id, *thread);
}

void BugleConversations::addMember(std::optional<int64_t> conversation,
                                   std::optional<int64_t> participant) {
    if (conversation && participant && seenMembers.emplace(*conversation, *participant).second)
        members[*conversation].push_back(*participant);
}

void BugleConversations::join(DeletedMessage& message, std::optional<int64_t> conversation,
                              std::optional<int64_t> sender) const {
    if (conversation) {
        if (const auto thread = threads.find(*conversation); thread != threads.end())
            message.threadId = thread->second;
    }
    const auto from = sender ? participants.find(*sender) : participants.end();
    if (from != participants.end() && from->second.subId)
        message.type = *from->second.subId == kOtherParty ? 1 : 2;
    std::vector<std::string> parties;
    if (message.type == 1)
        addParty(parties, from->second.address);
    if (const auto others = conversation ? members.find(*conversation) : members.end();
        others != members.end()) {
        for (int64_t member : others->second) {
            if (const auto who = participants.find(member); who != participants.end())
                addParty(parties, who->second.address);
        }
    }
    setParties(message, parties);
}

} // namespace fennaro::deep

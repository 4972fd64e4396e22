// The deleted messages the recovery engine finds, in the recovered-record
// text the classic engine writes, senders named from the live contacts.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace fennaro::deep {

// The deleted messages of an mmssms.db as recovered-record text lines
// (sender TAB address TAB body CR LF), senders named from the live contacts
// of contactsDb's current state.
std::string deepSmsText(const std::string& contactsDb, const std::string& smsDb,
                        std::string* error = nullptr);

// The live data rows of a contacts database as the message lines name
// senders with: (raw_contact_id, data1) as text.
std::vector<std::pair<std::string, std::string>> liveContactNumbers(const std::string& contactsDb);

} // namespace fennaro::deep

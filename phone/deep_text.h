// The deleted contacts and messages the recovery engine finds, in the
// recovered-record text the classic engine writes, so the record list, the
// boards and the export read them unchanged.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace fennaro::deep {

// The deleted contacts of a contacts2.db as recovered-record text lines
// (name TAB number CR LF, "N/A" for a missing value), as the classic engine
// writes them: each deleted number with its contact's name, then each other
// value recovered (e-mail, address, birthday...) with it. smsDb is not read;
// it is taken for symmetry with deepSmsText.
// When error is given, it gets why the text may lack records (a database
// that cannot be read, or that changed while it was read), else stays empty.
std::string deepContactsText(const std::string& contactsDb, const std::string& smsDb,
                             std::string* error = nullptr);

// The deleted messages of an mmssms.db as recovered-record text lines
// (sender TAB address TAB body CR LF), senders named from the live contacts
// of contactsDb's current state.
std::string deepSmsText(const std::string& contactsDb, const std::string& smsDb,
                        std::string* error = nullptr);

// The live data rows of a contacts database as the message lines name
// senders with: (raw_contact_id, data1) as text.
std::vector<std::pair<std::string, std::string>> liveContactNumbers(const std::string& contactsDb);

} // namespace fennaro::deep

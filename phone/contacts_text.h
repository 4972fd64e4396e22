// The deleted contacts the recovery engine finds, in the recovered-record
// text the classic engine writes, so the record list, the boards and the
// export read them unchanged.
#pragma once

#include <string>

namespace fennaro::deep {

// The deleted contacts of a contacts2.db as recovered-record text lines
// (name TAB number CR LF, "N/A" for a missing value), as the classic engine
// writes them: each deleted number with its contact's name, then each other
// value recovered (e-mail, address, birthday...) with it. smsDb is not read;
// it is taken for symmetry with deepSmsText (sms_text.h).
// When error is given, it gets why the text may lack records (a database
// that cannot be read, or that changed while it was read), else stays empty.
std::string deepContactsText(const std::string& contactsDb, const std::string& smsDb,
                             std::string* error = nullptr);

} // namespace fennaro::deep

// The deleted messages of the phone's other stores (MMS of mmssms.db, the
// messaging app's bugle_db) as recovered-record text, beside the readers of
// each store (mms_deleted.h, bugle_deleted.h).
#pragma once

#include <string>

#include "phone/bugle_deleted.h"
#include "phone/mms_deleted.h"

namespace fennaro::deep {

// What the body of an MMS line says when the MMS kept its parties but no text.
inline constexpr char kMmsWithoutText[] = "(MMS without text)";

// The deleted MMS and bugle_db messages as recovered-record text lines
// (sender TAB address TAB body CR LF, as deepSmsText writes the deleted
// SMS), senders named from the live contacts of contactsDb. A message whose
// text and address show nothing gives no line; an MMS without text has
// kMmsWithoutText for its body. A bugle message
// that is a copy of a telephony message (live or deleted SMS, MMS) is left
// out: its telephony copy stands for it. bugleDb may be "" (no such store).
std::string deepStoresText(const std::string& contactsDb, const std::string& smsDb,
                           const std::string& bugleDb);

} // namespace fennaro::deep

#include "phone/mms_deleted.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>

#include "phone/pdu_ids.h"
#include "phone/phone_match.h"
#include "phone/recovered_values.h"
#include "phone/scan_rules.h"
#include "phone/sms_deleted.h"
#include "phone/store_parts.h"
#include "phone/table_columns.h"
#include "sqlite_recovery/sqlite_recovery.h"

namespace fennaro::deep {

namespace {

// What an MMS's address rows tell: its box (1 received, 2 sent) by its
// From address, and the other parties (the From address of a received one,
// the To addresses of a sent one).
struct MmsSides {
    std::optional<int64_t> box;
    std::vector<std::string> others;
};

// Returns what an MMS's address rows (type, address) tell.
MmsSides sidesOf(const std::vector<std::pair<int64_t, std::string>>& addresses) {
    MmsSides sides;
    for (const auto& [type, address] : addresses) {
        if (type == kAddrFrom && !address.empty())
            sides.box = address == kSelfToken ? 2 : 1;
    }
    for (const auto& [type, address] : addresses) {
        const bool other = sides.box == 1 ? type == kAddrFrom : type == kAddrTo;
        if (sides.box && other && !address.empty() && address != kSelfToken)
            sides.others.push_back(address);
    }
    return sides;
}

// Returns whether what the phone kept of MMS id (its addresses) agrees with
// a pdu row given that id: the box its From address tells, and other parties
// the thread's known MMS have too (when it has any).
bool addressesFit(const MmsSides& sides, const PduRow& pdu,
                  const std::map<int64_t, std::vector<std::string>>& threadParties) {
    if (sides.box && pdu.box && *sides.box != (*pdu.box == 1 ? 1 : 2))
        return false;
    const auto parties = pdu.thread ? threadParties.find(*pdu.thread) : threadParties.end();
    if (parties == threadParties.end())
        return true;
    for (const std::string& other : sides.others) {
        if (std::none_of(parties->second.begin(), parties->second.end(),
                         [&](const std::string& p) { return samePhoneNumber(p, other); }))
            return false;
    }
    return true;
}

// Returns the MMS of a pdu row, with its parts and addresses.
DeletedMessage mmsOf(int64_t id, const PduRow& pdu, const std::vector<TextPart>& parts,
                     const std::vector<std::pair<int64_t, std::string>>& addresses) {
    DeletedMessage message;
    message.store = MessageStore::Mms;
    message.id = id;
    message.threadId = pdu.thread;
    message.date = mmsDateMs(pdu.date);
    message.dateSent = mmsDateMs(pdu.dateSent);
    if (pdu.box)
        message.type = *pdu.box == 1 ? 1 : 2;
    message.read = pdu.read;
    if (!pdu.live) {
        message.evidence = pdu.evidence;
        message.place = pdu.place;
    }
    // The text is what the user reads: its part's place names the message.
    if (!parts.empty()) {
        message.evidence.clear();
        takeParts(message, parts);
    }
    if (pdu.idFromOrder)
        message.evidence += ", MMS id from the order of ids and dates";
    // Without its pdu, the From address still tells the box: a sent MMS
    // holds the user's token there, a received one the sender.
    if (!message.type)
        message.type = sidesOf(addresses).box;
    setMmsParties(message, addresses);
    return message;
}

// What the MMS tables of one mmssms.db tell, gathered before they are joined:
// the live pdus and addresses and the deleted pdu, part and addr rows.
struct MmsRows {
    std::map<int64_t, PduRow> livePdus;
    std::unordered_map<int64_t, std::vector<std::pair<int64_t, std::string>>> addresses;
    std::set<std::tuple<int64_t, int64_t, std::string>> seenAddresses;
    std::map<int64_t, PduRow> deletedPdus;
    std::vector<PduRow> loosePdus;
    std::vector<TextPart> parts;
};

// Adds an address row of MMS owner to rows, once for each (owner, type, address).
void addAddress(MmsRows& rows, std::optional<int64_t> owner, std::optional<int64_t> type,
                std::string address) {
    if (owner && rows.seenAddresses.emplace(*owner, type.value_or(0), address).second)
        rows.addresses[*owner].emplace_back(type.value_or(0), std::move(address));
}

// Reads the live pdu and addr rows of a database's current state into rows.
void readLiveMmsRows(const DatabaseState& state, MmsRows& rows) {
    auto& livePdus = rows.livePdus;
    forEachLiveRow(state, "pdu", phone::kPduColumns, [&](std::vector<Value>& row) {
        const auto id = numberOf(row[0].isNull() ? nullptr : &row[0]);
        if (!id)
            return;
        PduRow& pdu = livePdus[*id];
        const auto number = [&](size_t i) { return numberOf(row[i].isNull() ? nullptr : &row[i]); };
        pdu.thread = number(1);
        pdu.date = number(2);
        pdu.dateSent = number(3);
        pdu.box = number(4);
        pdu.read = number(5);
        pdu.kind = number(6);
        pdu.live = true;
    });
    forEachLiveRow(state, "addr", phone::kAddrColumns, [&](std::vector<Value>& row) {
        addAddress(rows, numberOf(row[0].isNull() ? nullptr : &row[0]),
                   numberOf(row[1].isNull() ? nullptr : &row[1]),
                   textOf(row[2].isNull() ? nullptr : &row[2]));
    });
}

// Adds a carved record of pdu, part or addr (the columns mmsSelection
// names) of the database at smsDb to rows; records of other tables are
// left alone.
void collectMmsRecord(RecoveredRecord& record, const std::string& smsDb, MmsRows& rows) {
    auto& deletedPdus = rows.deletedPdus;
    const auto value = [&](size_t i) { return knownValue(record, i); };
    if (record.table == "pdu") {
        const auto id = record.rowid ? record.rowid : numberOf(value(0));
        if (id && deletedPdus.count(*id))
            return;
        // A pdu whose cell lost its first bytes lost its _id
        // with them: no part or address joins it, but its
        // date and box still tell of a deleted MMS.
        PduRow pdu;
        pdu.thread = numberOf(value(1));
        pdu.date = numberOf(value(2));
        pdu.dateSent = numberOf(value(3));
        pdu.box = numberOf(value(4));
        pdu.read = numberOf(value(5));
        pdu.kind = numberOf(value(6));
        pdu.evidence = evidenceWords(record);
        pdu.place = placeOf(record, smsDb);
        if (id)
            deletedPdus[*id] = std::move(pdu);
        else
            rows.loosePdus.push_back(std::move(pdu));
    } else if (record.table == "part") {
        TextPart part;
        part.text = textOf(value(4));
        if (!isTextPart(value(3), part.text))
            return;
        part.id = record.rowid ? record.rowid : numberOf(value(0));
        part.owner = numberOf(value(1));
        part.order = numberOf(value(2));
        part.evidence = evidenceWords(record);
        part.place = placeOf(record, smsDb);
        rows.parts.push_back(std::move(part));
    } else if (record.table == "addr") {
        addAddress(rows, numberOf(value(0)), numberOf(value(1)), textOf(value(2)));
    }
}

// Joins the rows gathered of a database (its pdu ids restored where the
// order of ids and dates proves them) into its deleted MMS, in the order
// readDeletedMms gives them.
std::vector<DeletedMessage> joinMms(const DatabaseState& state, const std::string& smsDb,
                                    MmsRows& rows) {
    auto& livePdus = rows.livePdus;
    auto& deletedPdus = rows.deletedPdus;
    const auto& addresses = rows.addresses;
    std::vector<DeletedMessage> messages;
    std::optional<int64_t> lastPduId;
    forEachLiveRow(state, "sqlite_sequence", {"name", "seq"}, [&](std::vector<Value>& row) {
        if (textOf(row[0].isNull() ? nullptr : &row[0]) == "pdu")
            lastPduId = numberOf(row[1].isNull() ? nullptr : &row[1]);
    });
    // The other parties of each thread, as its MMS with known ids hold them.
    std::map<int64_t, std::vector<std::string>> threadParties;
    for (const auto* pdus : {&livePdus, &deletedPdus}) {
        for (const auto& [id, pdu] : *pdus) {
            const auto found = addresses.find(id);
            if (!pdu.thread || found == addresses.end())
                continue;
            for (std::string& other : sidesOf(found->second).others)
                threadParties[*pdu.thread].push_back(std::move(other));
        }
    }
    restoreLostPduIds(livePdus, deletedPdus, rows.loosePdus, lastPduId,
                      [&](int64_t id, const PduRow& pdu) {
                          const auto found = addresses.find(id);
                          return found == addresses.end() ||
                                 addressesFit(sidesOf(found->second), pdu, threadParties);
                      });

    auto byOwner = partsByOwner(std::move(rows.parts));
    static const std::vector<TextPart> kNoParts;
    static const std::vector<std::pair<int64_t, std::string>> kNoAddresses;
    const auto partsOf = [&](int64_t id) -> const std::vector<TextPart>& {
        const auto found = byOwner.find(id);
        return found == byOwner.end() ? kNoParts : found->second;
    };
    const auto addressesOf =
        [&](int64_t id) -> const std::vector<std::pair<int64_t, std::string>>& {
        const auto found = addresses.find(id);
        return found == addresses.end() ? kNoAddresses : found->second;
    };
    for (const auto& [id, pdu] : deletedPdus) {
        // Reports of delivery (134) and reading (136) are no messages.
        if (pdu.kind && (*pdu.kind == 134 || *pdu.kind == 136) && partsOf(id).empty())
            continue;
        if (livePdus.count(id))
            continue; // an older version of a live MMS
        messages.push_back(mmsOf(id, pdu, partsOf(id), addressesOf(id)));
    }
    for (const auto& [owner, list] : byOwner) {
        if (owner && deletedPdus.count(*owner) && !livePdus.count(*owner))
            continue;
        if (owner) {
            const auto live = livePdus.find(*owner);
            // A deleted part of a live MMS, or one whose pdu is gone.
            DeletedMessage message = mmsOf(*owner, live != livePdus.end() ? live->second : PduRow{},
                                           list, addressesOf(*owner));
            messages.push_back(std::move(message));
            continue;
        }
        // Parts that kept no owner stand alone, one message each.
        for (const TextPart& part : list) {
            DeletedMessage message = mmsOf(0, PduRow{}, {part}, kNoAddresses);
            message.id.reset();
            messages.push_back(std::move(message));
        }
    }
    for (const PduRow& pdu : rows.loosePdus) {
        if (pdu.kind && (*pdu.kind == 134 || *pdu.kind == 136))
            continue;
        DeletedMessage message = mmsOf(0, pdu, kNoParts, kNoAddresses);
        message.id.reset();
        messages.push_back(std::move(message));
    }
    for (DeletedMessage& message : messages) {
        message.deleted = true;
        if (message.place.file.empty())
            message.place.file = smsDb;
    }
    return messages;
}

// The tables and columns of mmssms.db the deleted MMS are read from.
ScanSelection mmsSelection() {
    return {{"pdu", {phone::columnNames(phone::kPduColumns)}},
            {"part", {{"_id", "mid", "seq", "ct", "text"}}},
            {"addr", {phone::columnNames(phone::kAddrColumns)}}};
}

} // namespace

std::vector<DeletedMessage> readDeletedMms(const std::string& smsDb) {
    std::string error;
    const OpenDatabase state = openDatabase(smsDb, &error);
    if (!state)
        return {};
    MmsRows rows;
    readLiveMmsRows(*state, rows);
    phone::scanSelected(*state, mmsSelection(), {nullptr, [&](RecoveredRecord& record) {
                                                     collectMmsRecord(record, smsDb, rows);
                                                 }});
    return joinMms(*state, smsDb, rows);
}

DeletedSmsAndMms readDeletedSmsAndMms(const std::string& smsDb) {
    DeletedSmsAndMms found;
    std::string error;
    const OpenDatabase state = openDatabase(smsDb, &error);
    if (!state)
        return found;
    MmsRows rows;
    readLiveMmsRows(*state, rows);
    // One scan for both: the SMS reader's sms columns beside the MMS tables.
    ScanSelection selection = mmsSelection();
    selection.emplace("sms", TableSelection{deletedSmsColumns()});
    phone::scanSelected(*state, selection,
                        {[&](size_t records) { found.sms.reserve(records); },
                         [&](RecoveredRecord& record) {
                             if (record.table == "sms")
                                 collectDeletedSms(record, smsDb, found.sms);
                             else
                                 collectMmsRecord(record, smsDb, rows);
                         }});
    found.mms = joinMms(*state, smsDb, rows);
    return found;
}

} // namespace fennaro::deep

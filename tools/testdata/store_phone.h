// Phones with the other message stores: MMS in mmssms.db (pdu, part, addr
// with the provider's cleanup triggers and words rows) and the messaging
// app's bugle_db (conversations, messages, parts, participants with their
// cascading foreign keys, in WAL with secure_delete on). SQLite itself
// writes them through a history of inserts and deletions, and the ground
// truth comes from replaying it: each deleted MMS text and bugle message
// with how the cells that hold it survive.
#pragma once

#include "database_truth.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testdata {

enum class StoreKind {
    Mms,   // mmssms.db with SMS and MMS (text, SMIL and picture parts, groups), some deleted
    Bugle, // mmssms.db and bugle_db of a phone whose messaging app keeps its own copies
};

// "mms" or "bugle"; the kind of a name, if any.
const char* storeKindName(StoreKind kind);
std::optional<StoreKind> storeKindFromName(const std::string& name);

// One deleted message of the truth: an MMS (its pdu) or a bugle message.
struct DeletedStoreMessage {
    std::string store; // "mms" or "bugle"
    int64_t id = 0;    // pdu._id or messages._id
    std::string text;  // its text parts joined by a line break, in order
    int64_t dateMs = 0;
    int direction = 0;            // 1 received, 2 sent
    std::vector<int64_t> partIds; // its text parts
    Survival textSurvival;        // the worst of its text parts
    Survival rowSurvival;         // its pdu / messages row
    std::string telephonyUri;     // bugle: sms_message_uri, "" when none
    bool telephonyLive = false;   // bugle: the row that uri names is live
};

struct StorePhoneTruth {
    std::string smsDb;   // DIR/mmssms.db
    std::string bugleDb; // DIR/bugle_db, "" for the mms kind
    // What SQLite reads from the current state: sms rows, MMS (pdu rows
    // that are no reports), bugle messages rows.
    size_t liveSms = 0;
    size_t liveMms = 0;
    size_t liveBugle = 0;
    std::vector<DeletedStoreMessage> deleted;
    DatabaseTruth smsTruth;
    DatabaseTruth bugleTruth;
};

// Whether a deleted message's bytes survive (whole or header-lost): its
// text parts, and with withRow its pdu / messages row too.
bool survives(const DeletedStoreMessage& message, bool withRow);

// Writes the phone of `kind` into dir (older files replaced) and returns its
// truth. Throws std::runtime_error or std::invalid_argument.
StorePhoneTruth generateStorePhone(StoreKind kind, const std::string& dir, uint64_t seed,
                                   int pageSize);

// Writes the truth as JSON (live counts; each deleted message with ids,
// text, date ms, direction and class). Throws std::runtime_error.
void writeStoreTruthJson(const StorePhoneTruth& truth, const std::string& path);

} // namespace testdata

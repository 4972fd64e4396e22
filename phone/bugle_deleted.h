// The deleted messages of the messaging app's bugle_db, from the recovery
// engine: parts joined to their messages, senders and conversations, live
// or deleted, as DeletedMessage records of store Bugle, deleted = true.
#pragma once

#include <string>
#include <vector>

#include "deleted_records.h"

namespace fennaro::deep {

// The deleted messages of a bugle_db (with its -wal): each deleted message
// row with its deleted text parts, each deleted text part of a live message,
// and text parts whose message is gone (dated by the part's timestamp,
// direction unknown). Senders and conversations come from the live rows or
// from deleted ones. The deleted messages come first in id order, then
// the parts of messages not among them (those with no message id first).
std::vector<DeletedMessage> readDeletedBugle(const std::string& bugleDb);

} // namespace fennaro::deep

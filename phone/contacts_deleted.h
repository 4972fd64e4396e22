// The deleted contacts of contacts2.db, from the recovery engine, as
// structured records (deleted_records.h): their data rows classified and
// labelled as a live contact's are.
#pragma once

#include <string>
#include <vector>

#include "deleted_records.h"
#include "phone/shared_scan.h"
#include "record_nodes.h"

namespace fennaro::deep {

// The deleted contacts of a contacts2.db, grouped by raw contact, in raw
// contact order (loose rows last). liveMimeTypes names the mime type ids the
// live database still holds; deleted mime types the scan finds add to them.
// With shared, the same scan reads shared's tables for another reader
// (none of data, raw_contacts and mimetypes), so the file is scanned once.
std::vector<DeletedContact> readDeletedContacts(const std::string& contactsDb,
                                                const std::vector<MimeTypeNode>& liveMimeTypes,
                                                const SharedScan* shared = nullptr);

} // namespace fennaro::deep

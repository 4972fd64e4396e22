// How a contact's data rows become what the user sees and takes away: the kind
// of each row, the type labels, the names that stand in for a contact without
// a structured name, and the fields of the record list, the contact board and
// the export. All texts are UTF-8; views point into the record lists.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "record_nodes.h"

namespace fennaro {

inline constexpr std::string_view kOrganizationMimeType = "vnd.android.cursor.item/organization";
inline constexpr std::string_view kPhoneMimeType = "vnd.android.cursor.item/phone_v2";
inline constexpr std::string_view kEmailMimeType = "vnd.android.cursor.item/email_v2";

enum class DataRowKind {
    Organization,
    Phone,
    Email,
    Other,
};

// Returns the kind of a mime type text, compared byte for byte with the whole
// text (case matters, no prefix matching).
DataRowKind mimeTypeKind(std::string_view mimeType);

// Returns the kind of a row from the first mime type entry with the row's mime
// type id; Other when there is none.
DataRowKind resolveDataRowKind(const DataRowNode& row, const std::vector<MimeTypeNode>& mimeTypes);

// Returns the decimal value of a type number, read the way atoi reads it:
// leading white space, an optional sign, digits up to the first non-digit;
// no digits give 0. Values beyond the range wrap to 32 bits as atoi's do.
int32_t parseTypeCode(std::string_view typeNumber);

// Returns the label of a phone type code; empty for unlisted codes.
std::string_view phoneTypeLabel(int32_t code);
// Returns the label of an e-mail type code; empty for unlisted codes.
std::string_view emailTypeLabel(int32_t code);
// Returns the e-mail label the contact board shows: "Email" where the table
// has none.
std::string_view boardEmailLabel(int32_t code);

// The name the record list shows: the stored display name, whatever its source.
std::string_view listDisplayName(const ContactNode& contact);
// The name the contact board shows: the display name when it comes from the
// structured name, otherwise "No Name".
std::string_view boardDisplayName(const ContactNode& contact);
// The name the export writes: the display name when it comes from the
// structured name, otherwise "No Name%d" with noNameCounter, which then goes up
// by one. The counter starts at 0 for each export run.
std::string exportDisplayName(const ContactNode& contact, int32_t& noNameCounter);

// One data row of a contact with its kind.
struct ContactDataRow {
    const DataRowNode* row = nullptr;
    DataRowKind kind = DataRowKind::Other;
};

// The data rows of every contact, grouped once by contact id, each group in
// data-row order, with each row's kind resolved. Refers to the lists it was
// built from, which must outlive it and must not change.
class ContactDataIndex {
  public:
    // Builds the index in one pass over the data rows and the mime types.
    explicit ContactDataIndex(const ContactLists& lists);

    // Returns the rows whose contact id is contactId, in data-row order.
    std::span<const ContactDataRow> rowsOf(int32_t contactId) const;

  private:
    std::vector<ContactDataRow> m_rows;
    // Contact id -> [begin, end) in m_rows.
    std::unordered_map<int32_t, std::pair<uint32_t, uint32_t>> m_ranges;
};

// The record list's cells of a live contact: the first non-empty value of a
// Phone, an Organization and an Email row.
struct ContactListFields {
    std::string_view phone;
    std::string_view company;
    std::string_view email;
};

// Returns the record list's fields of a live contact.
ContactListFields contactListFields(const ContactNode& contact, const ContactDataIndex& index);

// One label/value line below the contact board's header.
struct ContactBoardItem {
    std::string_view label;
    std::string_view value;
};

// What the contact board shows for a live contact.
struct ContactBoardFields {
    std::string_view name;
    std::string_view company;
    std::string_view secondLine;
    std::string_view thirdLine;
    // One item per Phone and Email row, in data-row order.
    std::vector<ContactBoardItem> items;
};

// Returns the contact board's fields of a live contact.
ContactBoardFields contactBoardFields(const ContactNode& contact, const ContactDataIndex& index);

// Returns the export lines of a live contact, one per Organization, Phone and
// Email row in data-row order: name "(" label ") : " value. Uses up one
// number of noNameCounter when the contact has no structured name.
std::vector<std::string> exportContactLines(const ContactNode& contact,
                                            const ContactDataIndex& index, int32_t& noNameCounter);

} // namespace fennaro

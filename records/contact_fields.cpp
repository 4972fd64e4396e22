#include "contact_fields.h"

#include <climits>
#include <cstdio>

namespace fennaro {

namespace {

// Returns whether c is white space as the C library's isspace sees it in the
// "C" locale.
bool isCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

DataRowKind mimeTypeKind(std::string_view mimeType) {
    if (mimeType == kOrganizationMimeType)
        return DataRowKind::Organization;
    if (mimeType == kPhoneMimeType)
        return DataRowKind::Phone;
    if (mimeType == kEmailMimeType)
        return DataRowKind::Email;
    return DataRowKind::Other;
}

DataRowKind resolveDataRowKind(const DataRowNode& row, const std::vector<MimeTypeNode>& mimeTypes) {
    for (const MimeTypeNode& mimeType : mimeTypes) {
        if (mimeType.id == row.mimeTypeId)
            return mimeTypeKind(mimeType.mimeType);
    }
    return DataRowKind::Other;
}

int32_t parseTypeCode(std::string_view typeNumber) {
    std::size_t at = 0;
    while (at < typeNumber.size() && isCSpace(typeNumber[at]))
        ++at;
    bool negative = false;
    if (at < typeNumber.size() && (typeNumber[at] == '+' || typeNumber[at] == '-')) {
        negative = typeNumber[at] == '-';
        ++at;
    }
    // atoi is strtol cut to int: the value saturates at the 64-bit limits and
    // then keeps its low 32 bits.
    int64_t value = 0;
    bool saturated = false;
    for (; at < typeNumber.size() && typeNumber[at] >= '0' && typeNumber[at] <= '9'; ++at) {
        const int digit = typeNumber[at] - '0';
        if (!saturated) {
            if (value > (INT64_MAX - digit) / 10)
                saturated = true;
            else
                value = value * 10 + digit;
        }
    }
    if (saturated)
        value = negative ? INT64_MIN : INT64_MAX;
    else if (negative)
        value = -value;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}

std::string_view phoneTypeLabel(int32_t code) {
    switch (code) {
    case 1:
        return "Home";
    case 2:
        return "Mobile";
    case 3:
        return "Work";
    case 4:
        return "WorkFax";
    case 5:
        return "HomeFax";
    case 6:
        return "Pager";
    case 7:
        return "Other";
    case 10:
        return "CompanyMain";
    case 11:
        return "ISDN";
    case 13:
        return "OtherFax";
    case 14:
        return "Radio";
    case 15:
        return "Telex";
    case 16:
        return "TTY_TTD";
    case 17:
        return "WorkMobile";
    case 18:
        return "WorkPager";
    case 19:
        return "Assistant";
    case 20:
        return "MMS";
    default:
        return {};
    }
}

std::string_view emailTypeLabel(int32_t code) {
    switch (code) {
    case 1:
        return "Home Email";
    case 2:
        return "Work Email";
    case 3:
        return "Other Email";
    case 4:
        return "Mobile Email";
    default:
        return {};
    }
}

std::string_view boardEmailLabel(int32_t code) {
    std::string_view label = emailTypeLabel(code);
    return label.empty() ? std::string_view("Email") : label;
}

std::string_view listDisplayName(const ContactNode& contact) {
    return contact.text;
}

std::string_view boardDisplayName(const ContactNode& contact) {
    if (contact.displayNameSource == kDisplayNameSourceStructuredName)
        return contact.text;
    return "No Name";
}

std::string exportDisplayName(const ContactNode& contact, int32_t& noNameCounter) {
    if (contact.displayNameSource == kDisplayNameSourceStructuredName)
        return std::string(contact.text);
    return "No Name" + std::to_string(noNameCounter++);
}

ContactDataIndex::ContactDataIndex(const ContactLists& lists) {
    // The first mime type entry of an id decides its kind.
    std::unordered_map<int32_t, DataRowKind> kinds;
    kinds.reserve(lists.mimeTypes.size());
    for (const MimeTypeNode& mimeType : lists.mimeTypes)
        kinds.try_emplace(mimeType.id, mimeTypeKind(mimeType.mimeType));

    // Count the rows per contact, turn the counts into group starts, then
    // place every row at the end of its group: a stable grouping.
    for (const DataRowNode& row : lists.dataRows)
        ++m_ranges[row.contactId].second;
    uint32_t start = 0;
    for (auto& [contactId, range] : m_ranges) {
        const uint32_t count = range.second;
        range = {start, start};
        start += count;
    }
    m_rows.resize(lists.dataRows.size());
    for (const DataRowNode& row : lists.dataRows) {
        auto kind = kinds.find(row.mimeTypeId);
        uint32_t& end = m_ranges[row.contactId].second;
        m_rows[end++] = {&row, kind == kinds.end() ? DataRowKind::Other : kind->second};
    }
}

std::span<const ContactDataRow> ContactDataIndex::rowsOf(int32_t contactId) const {
    auto range = m_ranges.find(contactId);
    if (range == m_ranges.end())
        return {};
    return std::span<const ContactDataRow>(m_rows).subspan(
        range->second.first, range->second.second - range->second.first);
}

ContactListFields contactListFields(const ContactNode& contact, const ContactDataIndex& index) {
    ContactListFields fields;
    for (const ContactDataRow& entry : index.rowsOf(contact.contactId)) {
        std::string_view value = entry.row->value;
        if (value.empty())
            continue;
        if (entry.kind == DataRowKind::Phone && fields.phone.empty())
            fields.phone = value;
        else if (entry.kind == DataRowKind::Organization && fields.company.empty())
            fields.company = value;
        else if (entry.kind == DataRowKind::Email && fields.email.empty())
            fields.email = value;
    }
    return fields;
}

ContactBoardFields contactBoardFields(const ContactNode& contact, const ContactDataIndex& index) {
    ContactBoardFields fields;
    fields.name = boardDisplayName(contact);
    for (const ContactDataRow& entry : index.rowsOf(contact.contactId)) {
        const DataRowNode& row = *entry.row;
        switch (entry.kind) {
        case DataRowKind::Organization:
            if (fields.company.empty())
                fields.company = row.value;
            // Until a row gives the second line, every row writes its third
            // line, a later one replacing an earlier one.
            if (fields.secondLine.empty()) {
                fields.secondLine = row.secondOrganizationLine;
                fields.thirdLine = row.thirdOrganizationLine;
            }
            break;
        case DataRowKind::Phone:
            fields.items.push_back({phoneTypeLabel(parseTypeCode(row.typeNumber)), row.value});
            break;
        case DataRowKind::Email:
            fields.items.push_back({boardEmailLabel(parseTypeCode(row.typeNumber)), row.value});
            break;
        case DataRowKind::Other:
            break;
        }
    }
    return fields;
}

std::vector<std::string> exportContactLines(const ContactNode& contact,
                                            const ContactDataIndex& index, int32_t& noNameCounter) {
    const std::string name = exportDisplayName(contact, noNameCounter);
    std::vector<std::string> lines;
    for (const ContactDataRow& entry : index.rowsOf(contact.contactId)) {
        const DataRowNode& row = *entry.row;
        std::string_view label;
        switch (entry.kind) {
        case DataRowKind::Organization:
            label = "Company";
            break;
        case DataRowKind::Phone:
            label = phoneTypeLabel(parseTypeCode(row.typeNumber));
            break;
        case DataRowKind::Email:
            label = emailTypeLabel(parseTypeCode(row.typeNumber));
            break;
        case DataRowKind::Other:
            continue;
        }
        std::string line;
        line.reserve(name.size() + label.size() + row.value.size() + 5);
        line.append(name).append("(").append(label).append(") : ").append(row.value);
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace fennaro

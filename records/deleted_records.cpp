#include "deleted_records.h"

#include "call_records.h"

namespace fennaro::deep {

bool isReceived(const DeletedMessage& message) {
    return !message.type || *message.type == 1;
}

std::string_view fieldKindWord(FieldKind kind) {
    switch (kind) {
    case FieldKind::Name:
        return "Name";
    case FieldKind::Phone:
        return "Phone";
    case FieldKind::Email:
        return "Email";
    case FieldKind::Organization:
        return "Company";
    case FieldKind::Address:
        return "Address";
    case FieldKind::Website:
        return "Website";
    case FieldKind::Birthday:
        return "Birthday";
    case FieldKind::Note:
        return "Note";
    case FieldKind::Other:
        break;
    }
    return "Other";
}

const ContactField* firstField(const DeletedContact& contact, FieldKind kind) {
    for (const ContactField& field : contact.fields) {
        if (field.kind == kind && !field.value.empty())
            return &field;
    }
    return nullptr;
}

std::string_view callTypeLabel(std::optional<int64_t> type) {
    static constexpr std::string_view kLabels[] = {"Incoming", "Outgoing", "Missed",
                                                   "Voicemail", "Rejected", "Blocked",
                                                   "Answered elsewhere"};
    if (!type || *type < 1 || *type > 7)
        return "";
    return kLabels[*type - 1];
}

} // namespace fennaro::deep

#include "deleted_records.h"

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

} // namespace fennaro::deep

// The contact board showing a call: the call log has no board of its own,
// since a call's details are label/value pairs like a contact's.
#include "records/call_log_display.h"
#include "views/contact_info_board.h"

namespace fennaro {

namespace {

// Converts a UTF-8 text of the records; stray bytes show as U+FFFD.
QString fromCall(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The text shown for a value the call does not have.
QString orUnknown(std::string_view text) {
    return text.empty() ? QStringLiteral("(unknown)") : fromCall(text);
}

} // namespace

void CContactInfoBoard::showCall(const deep::CallRecord* call) {
    if (!call)
        return;
    dropTexts();
    m_name = fromCall(call->name.empty() ? deep::callPartyText(*call) : call->name);
    m_deletedContact = call->deleted;
    // The name the phone cached at call time is the one that stays with the
    // call; a name found among the live contacts is said to be one.
    if (!call->name.empty() && call->cachedName.empty())
        m_company = QStringLiteral("(from the contacts)");
    addItem(QStringLiteral("Number"), orUnknown(call->number));
    // Date and time apart: the column is too narrow for the whole line.
    const std::string_view line = call->dateLine;
    const size_t space = line.find(' ');
    addItem(QStringLiteral("Date"), orUnknown(line.substr(0, space)));
    if (space != std::string_view::npos)
        addItem(QStringLiteral("Time"), fromCall(line.substr(space + 1)));
    const std::string_view type = deep::callTypeLabel(call->type);
    addItem(QStringLiteral("Type"),
            type.empty() && call->type ? QString::number(*call->type) : orUnknown(type));
    const std::string duration = deep::callDurationText(call->duration);
    addItem(QStringLiteral("Duration"),
            call->duration && *call->duration >= 0
                ? fromCall(duration) + QStringLiteral(" (%1 s)").arg(*call->duration)
                : orUnknown(duration));
    if (!call->deleted) {
        addItem(QStringLiteral("File"), orUnknown(call->file));
        finishLayout();
        return;
    }
    const deep::RecordPlace& place = call->place;
    addItem(QStringLiteral("Evidence"), orUnknown(call->evidence));
    addItem(QStringLiteral("File"),
            orUnknown(deep::fileNameOf(place.file.empty() ? call->file : place.file)));
    addItem(QStringLiteral("Page"), QString::number(place.page));
    addItem(QStringLiteral("Offset"), QString::number(place.offset));
    if (place.frame)
        addItem(QStringLiteral("Frame"), QString::number(*place.frame));
    for (BoardItem& item : m_items)
        item.deleted = true;
    finishLayout();
}

} // namespace fennaro

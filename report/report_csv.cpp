// records.csv: one row per message, per field of a contact and per call,
// with the place of every deleted one, so a spreadsheet can sort and filter
// them.
#include <algorithm>
#include <cctype>
#include <initializer_list>

#include "file_ops.h"
#include "report_files.h"

namespace fennaro::report {

namespace {

// The bytes a UTF-8 file starts with so spreadsheet programs read it as such.
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Appends the four place columns: file name, page, offset, frame; empty for
// a live record. files, when given, stands in the file's column: the
// databases that hold a message of the phone's other stores (a live one's
// file column names them too).
void appendPlace(std::string& csv, const std::optional<deep::RecordPlace>& place,
                 const std::string& files = {}) {
    if (!place) {
        csv += ',' + csvField(files) + ",,,";
        return;
    }
    csv += ',' + csvField(files.empty() ? platform::baseName(place->file) : files);
    csv += ',' + std::to_string(place->page);
    csv += ',' + std::to_string(place->offset);
    csv += ',';
    if (place->frame)
        csv += std::to_string(*place->frame);
}

// Appends the columns before the place, each escaped, separated by commas.
void appendFields(std::string& csv, std::initializer_list<std::string_view> fields) {
    bool first = true;
    for (const std::string_view field : fields) {
        if (!first)
            csv += ',';
        csv += csvField(field);
        first = false;
    }
}

} // namespace

bool streamCsv(const ReportData& data, const CsvDrain& drain) {
    // The table goes out in pieces of about this size.
    constexpr size_t kPiece = size_t{1} << 20;
    std::string csv(kUtf8Bom);
    csv.reserve(kPiece + 64 * 1024);
    csv.append(kCsvHeader).append("\r\n");
    // Hands a whole piece on; false when the drain refused it.
    const auto rowEnd = [&] {
        csv += "\r\n";
        if (csv.size() < kPiece)
            return true;
        const bool taken = drain(csv);
        csv.clear();
        return taken;
    };
    for (const ContactEntry& contact : data.contacts) {
        const FieldRow none;
        const size_t rows = contact.fields.empty() ? 1 : contact.fields.size();
        for (size_t i = 0; i < rows; ++i) {
            const FieldRow& field = contact.fields.empty() ? none : contact.fields[i];
            const bool deleted = contact.deleted || field.deleted;
            appendFields(csv, {"contact", deleted ? "1" : "0", field.evidence, contact.name,
                               contact.number, "", "", "", field.value});
            appendPlace(csv, field.place);
            if (!rowEnd())
                return false;
        }
    }
    for (const ConversationEntry& conversation : data.conversations) {
        for (const MessageRow& message : conversation.messages) {
            const std::string dateMs = message.dateMs ? std::to_string(*message.dateMs) : "";
            appendFields(csv, {"message", message.deleted ? "1" : "0", message.evidence,
                               conversation.name, message.address, message.dateLine, dateMs,
                               message.direction, message.text});
            appendPlace(csv, message.place, message.files);
            if (!rowEnd())
                return false;
        }
    }
    // A call's direction is its type in lower case; its text the seconds
    // it lasted.
    for (const CallRow& call : data.calls) {
        std::string direction = call.type;
        std::transform(direction.begin(), direction.end(), direction.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        const std::string dateMs = call.dateMs ? std::to_string(*call.dateMs) : "";
        const std::string seconds = call.duration ? std::to_string(*call.duration) : "";
        appendFields(csv, {"call", call.deleted ? "1" : "0", call.evidence, call.name, call.number,
                           call.dateLine, dateMs, direction, seconds});
        appendPlace(csv, call.place);
        if (!rowEnd())
            return false;
    }
    return csv.empty() || drain(csv);
}

std::string reportCsv(const ReportData& data) {
    std::string whole;
    streamCsv(data, [&](const std::string& piece) {
        whole += piece;
        return true;
    });
    return whole;
}

} // namespace fennaro::report

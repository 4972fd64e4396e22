#include "phone/recovered_values.h"

#include <algorithm>
#include <cstdio>

namespace fennaro::deep {

// Returns the words a report uses for what a record was read from.
std::string evidenceWords(const RecoveredRecord& record) {
    std::string words;
    switch (record.evidence) {
    case RecordEvidence::Cell:
        words = "cell";
        break;
    case RecordEvidence::CellHeaderLost:
        words = "header lost";
        break;
    case RecordEvidence::Index:
        words = "index";
        break;
    case RecordEvidence::Fts:
        words = "words";
        break;
    case RecordEvidence::Remnant:
        words = "snippet";
        break;
    }
    if (record.damaged)
        words += ", cut short";
    if (record.dropped)
        words += ", dropped table";
    return words;
}

// Returns the place of a record in the files of database dbPath.
RecordPlace placeOf(const RecoveredRecord& record, const std::string& dbPath) {
    RecordPlace place;
    place.file = record.source == RecordSource::Wal       ? dbPath + "-wal"
                 : record.source == RecordSource::Journal ? dbPath + "-journal"
                                                          : dbPath;
    place.page = record.page;
    place.offset = record.offset;
    place.frame = record.frame;
    return place;
}

// Returns value `column` of a record, or null when the record lacks it or
// the engine could not tell it.
const Value* knownValue(const RecoveredRecord& record, size_t column) {
    if (column >= record.values.size())
        return nullptr;
    if (!record.known.empty() && (column >= record.known.size() || !record.known[column]))
        return nullptr;
    return record.values[column].isNull() ? nullptr : &record.values[column];
}

// Returns a value as a whole number: integers as they are, reals when
// whole, texts of decimal digits; absent otherwise.
std::optional<int64_t> numberOf(const Value* value) {
    if (!value)
        return std::nullopt;
    if (value->kind == Value::Kind::Integer)
        return value->integer;
    if (value->kind == Value::Kind::Real && value->real >= -9.2e18 && value->real <= 9.2e18 &&
        value->real == static_cast<double>(static_cast<int64_t>(value->real)))
        return static_cast<int64_t>(value->real);
    if (value->kind == Value::Kind::Text && !value->bytes.empty() && value->bytes.size() < 19 &&
        std::all_of(value->bytes.begin(), value->bytes.end(),
                    [](char c) { return c >= '0' && c <= '9'; }))
        return std::stoll(value->bytes);
    return std::nullopt;
}

// Returns a value as a text column reads it: texts and blobs as their bytes,
// numbers in decimal, NULL and unknown values as nothing.
std::string textOf(const Value* value) {
    if (!value)
        return {};
    switch (value->kind) {
    case Value::Kind::Integer:
        return std::to_string(value->integer);
    case Value::Kind::Real: {
        char text[32];
        std::snprintf(text, sizeof text, "%.15g", value->real);
        return text;
    }
    case Value::Kind::Null:
        return {};
    default:
        return value->bytes;
    }
}

// Returns whether a value is stored as a text or a blob.
bool isTextual(const Value* value) {
    return value && (value->kind == Value::Kind::Text || value->kind == Value::Kind::Blob);
}

} // namespace fennaro::deep

// fennaro-recover scan DB: every deleted record the deep engine finds in a
// database (with its -wal and -journal), as JSON Lines. The first line
// describes the schema and the files read; then one object per record.
#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>

#include <json/json.h>

#include "commands.h"
#include "phone/scan_rules.h"
#include "sqlite_recovery/sqlite_recovery.h"
#include "utf8_text.h"

namespace fennaro::cli {

namespace {

// A value as JSON: numbers, texts as valid UTF-8, null, blobs as {"hex": ...}.
Json::Value jsonValue(const deep::Value& v) {
    static const char kHex[] = "0123456789abcdef";
    switch (v.kind) {
    case deep::Value::Kind::Integer:
        return Json::Value(Json::Int64(v.integer));
    case deep::Value::Kind::Real:
        // JSON has no NaN or infinity: such a value is unreadable as a number.
        return std::isfinite(v.real) ? Json::Value(v.real) : Json::Value();
    case deep::Value::Kind::Text:
        return Json::Value(toValidUtf8(v.bytes));
    case deep::Value::Kind::Blob: {
        std::string hex;
        hex.reserve(2 * v.bytes.size());
        for (unsigned char c : v.bytes) {
            hex += kHex[c >> 4];
            hex += kHex[c & 15];
        }
        Json::Value blob(Json::objectValue);
        blob["hex"] = hex;
        return blob;
    }
    case deep::Value::Kind::Null:
        break;
    }
    return Json::Value();
}

// Writes one JSON value as one line; false when standard output fails.
bool writeLine(Json::StreamWriter& writer, const Json::Value& value) {
    std::ostringstream line;
    writer.write(value, &line);
    line << '\n';
    const std::string text = line.str();
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}

// The column names the report's header line gives a table.
const std::vector<std::string>& columnsOf(const deep::ScanReport& report,
                                          const std::string& table) {
    static const std::vector<std::string> kNone;
    for (const deep::TableColumns& columns : report.schema) {
        if (columns.table == table)
            return columns.columns;
    }
    return kNone;
}

} // namespace

int runScanCommand(const Args& args) {
    if (args.size() != 1)
        return printUsage();
    const deep::ScanReport report = phone::scanDatabase(args[0]);
    if (!report.ok) {
        std::fprintf(stderr, "fennaro-recover: %s\n", report.error.c_str());
        return 1;
    }
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    const std::unique_ptr<Json::StreamWriter> writer(builder.newStreamWriter());

    Json::Value head(Json::objectValue);
    head["columns"] = Json::Value(Json::objectValue);
    for (const deep::TableColumns& table : report.schema) {
        Json::Value names(Json::arrayValue);
        for (const std::string& name : table.columns)
            names.append(toValidUtf8(name));
        head["columns"][toValidUtf8(table.table)] = names;
    }
    head["files"] = Json::Value(Json::arrayValue);
    for (const std::string& file : report.files)
        head["files"].append(toValidUtf8(file));
    bool ok = writeLine(*writer, head);

    for (const deep::RecoveredRecord& record : report.records) {
        Json::Value line(Json::objectValue);
        line["table"] = toValidUtf8(record.table);
        line["rowid"] = record.rowid ? Json::Value(Json::Int64(*record.rowid)) : Json::Value();
        line["source"] = deep::sourceName(record.source);
        line["page"] = Json::Value(Json::UInt(record.page));
        line["offset"] = Json::Value(Json::UInt64(record.offset));
        line["frame"] = record.frame ? Json::Value(Json::UInt(*record.frame)) : Json::Value();
        Json::Value values(Json::arrayValue);
        for (const deep::Value& v : record.values)
            values.append(jsonValue(v));
        line["values"] = values;
        line["evidence"] = deep::evidenceName(record.evidence);
        if (record.dropped)
            line["dropped"] = true;
        if (record.damaged)
            line["damaged"] = true;
        if (!record.known.empty()) {
            const std::vector<std::string>& columns = columnsOf(report, record.table);
            Json::Value known(Json::arrayValue);
            for (size_t i = 0; i < record.known.size() && i < columns.size(); ++i) {
                if (record.known[i])
                    known.append(toValidUtf8(columns[i]));
            }
            line["known"] = known;
        }
        ok = writeLine(*writer, line) && ok;
    }
    return std::fflush(stdout) == 0 && ok ? 0 : 1;
}

} // namespace fennaro::cli

#include "truth_json.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace testdata {

namespace {

// Lower-case hex digits of `bytes`.
std::string hexOf(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// A row's values as a JSON array.
Json::Value rowToJson(const SqlRow& row) {
    Json::Value out(Json::arrayValue);
    for (const SqlValue& v : row)
        out.append(valueToJson(v));
    return out;
}

// "old", "modern" or "upgraded".
const char* generationName(Generation g) {
    return g == Generation::Old ? "old" : g == Generation::Modern ? "modern" : "upgraded";
}

} // namespace

Json::Value valueToJson(const SqlValue& v) {
    switch (v.type) {
    case SqlValue::Type::Integer:
        return Json::Value(Json::Int64(v.integer));
    case SqlValue::Type::Real:
        return Json::Value(v.real);
    case SqlValue::Type::Text:
        return Json::Value(v.bytes);
    case SqlValue::Type::Blob: {
        Json::Value blob(Json::objectValue);
        blob["hex"] = hexOf(v.bytes);
        return blob;
    }
    case SqlValue::Type::Null:
        break;
    }
    return Json::Value(Json::nullValue);
}

Json::Value truthToJson(const DatabaseTruth& truth) {
    Json::Value out(Json::objectValue);
    for (const std::string& f : truth.files)
        out["files"].append(std::filesystem::path(f).filename().string());
    out["pageSize"] = truth.pageSize;
    out["columns"] = Json::Value(Json::objectValue);
    for (const TableShape& t : truth.tables) {
        Json::Value names(Json::arrayValue);
        for (const std::string& c : t.columns)
            names.append(c);
        out["columns"][t.name] = names;
        if (t.rowidColumn >= 0)
            out["rowidColumns"][t.name] = t.rowidColumn;
    }
    out["deletedRows"] = Json::UInt64(truth.deleted.size());
    out["countableRows"] = Json::UInt64(truth.countableDeleted());
    out["survivingRows"] = Json::UInt64(truth.survivingDeleted());
    out["deleted"] = Json::Value(Json::arrayValue);
    for (const DeletedRow& r : truth.deleted) {
        Json::Value row(Json::objectValue);
        row["table"] = r.table;
        row["rowid"] = Json::Int64(r.rowid);
        row["countable"] = r.countable;
        row["survives"] = r.survives;
        row["wholeRecord"] = r.wholeRecord;
        if (r.indexSurvives)
            row["indexSurvives"] = true;
        row["survival"] = survivalName(r.survival);
        if (r.dropped)
            row["dropped"] = true;
        row["foundIn"] = Json::Value(Json::arrayValue);
        for (const std::string& f : r.foundIn)
            row["foundIn"].append(f);
        row["recordColumns"] = Json::UInt64(r.recordColumns);
        row["versions"] = Json::Value(Json::arrayValue);
        for (const SqlRow& v : r.versions)
            row["versions"].append(rowToJson(v));
        for (const CellPlace& c : r.cells) {
            Json::Value cell(Json::objectValue);
            cell["page"] = c.page;
            cell["offset"] = c.offset;
            cell["hex"] = hexOf(c.cell);
            cell["overflowBytes"] = Json::UInt64(c.overflow.size());
            row["cells"].append(cell);
        }
        out["deleted"].append(row);
    }
    out["live"] = Json::Value(Json::arrayValue);
    for (const LiveRow& r : truth.live) {
        Json::Value row(Json::objectValue);
        row["table"] = r.table;
        row["rowid"] = Json::Int64(r.rowid);
        row["values"] = rowToJson(r.values);
        out["live"].append(row);
    }
    return out;
}

Json::Value databaseTruthToJson(const DatabaseTruth& truth, const DatabasePlan& plan) {
    Json::Value out = truthToJson(truth);
    out["generation"] = generationName(plan.generation);
    out["upgraded"] = plan.upgraded;
    out["journalMode"] = journalModeName(plan.journaling.mode);
    out["secureDelete"] = plan.journaling.secureDelete;
    out["walAutocheckpoint"] = plan.journaling.walAutocheckpoint;
    out["journalSizeLimit"] = Json::Int64(plan.journaling.journalSizeLimit);
    out["checkpointMidway"] = plan.checkpointMidway;
    out["checkpointAtEnd"] = plan.checkpointAtEnd;
    return out;
}

Json::Value phoneTruthToJson(const ModernPhoneTruth& truth) {
    Json::Value out(Json::objectValue);
    out["kind"] = phoneKindName(truth.kind);
    out["databases"]["contacts2.db"] = databaseTruthToJson(truth.contacts, truth.plan.contacts);
    out["databases"]["mmssms.db"] = databaseTruthToJson(truth.sms, truth.plan.sms);
    return out;
}

void writeJsonFile(const std::string& path, const Json::Value& json) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("testdata: cannot write " + path);
    std::unique_ptr<Json::StreamWriter> writer(builder.newStreamWriter());
    writer->write(json, &out);
    out << '\n';
    out.flush();
    if (!out)
        throw std::runtime_error("testdata: cannot write " + path);
}

} // namespace testdata

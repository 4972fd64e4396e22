#include "scan_output.h"

#include <json/json.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <iterator>
#include <memory>
#include <sstream>
#include <utility>

namespace testdata {

namespace {

// Value of one hex digit, or -1.
int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// One value of a record's "values"; false when it has no form the scan promises.
bool readValue(const Json::Value& json, SqlValue& out) {
    out = SqlValue{};
    switch (json.type()) {
    case Json::nullValue:
        return true;
    case Json::intValue:
        out.type = SqlValue::Type::Integer;
        out.integer = json.asInt64();
        return true;
    case Json::uintValue:
        if (json.asUInt64() > uint64_t(INT64_MAX))
            return false;
        out.type = SqlValue::Type::Integer;
        out.integer = json.asInt64();
        return true;
    case Json::realValue:
        out.type = SqlValue::Type::Real;
        out.real = json.asDouble();
        return true;
    case Json::stringValue:
        out.type = SqlValue::Type::Text;
        out.bytes = json.asString();
        return true;
    case Json::objectValue: {
        if (json.size() != 1 || !json["hex"].isString())
            return false;
        const std::string hex = json["hex"].asString();
        if (hex.size() % 2 != 0)
            return false;
        out.type = SqlValue::Type::Blob;
        for (size_t i = 0; i < hex.size(); i += 2) {
            const int hi = hexDigit(hex[i]), lo = hexDigit(hex[i + 1]);
            if (hi < 0 || lo < 0)
                return false;
            out.bytes += static_cast<char>(hi * 16 + lo);
        }
        return true;
    }
    default:
        return false;
    }
}

// An integer member, or a null one when `nullable`; false when it is neither.
bool readInteger(const Json::Value& object, const char* key, bool nullable,
                 std::optional<int64_t>& out) {
    const Json::Value& v = object[key];
    out.reset();
    if (v.isNull())
        return nullable && object.isMember(key);
    if (v.type() != Json::intValue && v.type() != Json::uintValue)
        return false;
    out = v.asInt64();
    return true;
}

// Reads the optional keys of a record line that say what it was rebuilt
// from; returns the problem, or "" when they are fine or absent.
std::string readMarks(const Json::Value& json, ScannedRecord& record) {
    if (json.isMember("evidence")) {
        const Json::Value& evidence = json["evidence"];
        static const char* const kKinds[] = {"cell", "cell-header-lost", "index", "fts", "remnant"};
        if (!evidence.isString() || std::find(std::begin(kKinds), std::end(kKinds),
                                              evidence.asString()) == std::end(kKinds))
            return "an evidence that is none of cell, cell-header-lost, index, fts, remnant";
        record.evidence = evidence.asString();
    }
    for (const auto& [key, flag] : {std::pair<const char*, bool*>{"dropped", &record.dropped},
                                    std::pair<const char*, bool*>{"damaged", &record.damaged}}) {
        if (!json.isMember(key))
            continue;
        if (!json[key].isBool())
            return std::string(key) + " that is not true or false";
        *flag = json[key].asBool();
    }
    if (json.isMember("known")) {
        const Json::Value& known = json["known"];
        if (!known.isArray())
            return "known that is no list of column names";
        record.known.emplace();
        for (const Json::Value& name : known) {
            if (!name.isString())
                return "known that is no list of column names";
            record.known->push_back(name.asString());
        }
    }
    return "";
}

// Reads one record line into `record`; returns the problem, or "" when it is fine.
std::string readRecord(const Json::Value& json, ScannedRecord& record) {
    if (!json.isObject() || !json["table"].isString() || !json["source"].isString() ||
        !json["values"].isArray())
        return "a record needs table, source and values";
    record.table = json["table"].asString();
    record.source = json["source"].asString();
    if (record.source != "main" && record.source != "wal" && record.source != "journal" &&
        record.source != "freelist")
        return "unknown source " + record.source;
    std::optional<int64_t> page, offset;
    if (!readInteger(json, "rowid", true, record.rowid) ||
        !readInteger(json, "page", false, page) || !readInteger(json, "offset", false, offset) ||
        !readInteger(json, "frame", true, record.frame))
        return "rowid, page, offset or frame missing or not an integer";
    // A free page can come from a WAL frame too; the main file and a journal have none.
    if (record.source == "wal" ? !record.frame : record.frame && record.source != "freelist")
        return "a frame number belongs to records from the WAL alone";
    record.page = *page;
    record.offset = *offset;
    for (const Json::Value& v : json["values"]) {
        SqlValue value;
        if (!readValue(v, value))
            return "a value that is no number, text, null or {\"hex\"}";
        record.values.push_back(std::move(value));
    }
    return readMarks(json, record);
}

} // namespace

ScanOutput parseScanOutput(const std::string& text) {
    ScanOutput out;
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::istringstream lines(text);
    std::string line;
    size_t number = 0;
    while (std::getline(lines, line)) {
        ++number;
        Json::Value json;
        std::string problem;
        if (!reader->parse(line.data(), line.data() + line.size(), &json, &problem)) {
            out.error = "line " + std::to_string(number) + ": " + problem;
            return out;
        }
        if (number == 1) {
            if (!json.isObject() || !json["columns"].isObject() || !json["files"].isArray()) {
                out.error = "line 1: no {\"columns\": ..., \"files\": ...}";
                return out;
            }
            for (const std::string& table : json["columns"].getMemberNames())
                for (const Json::Value& name : json["columns"][table])
                    out.columns[table].push_back(name.asString());
            for (const Json::Value& f : json["files"])
                out.files.push_back(f.asString());
            continue;
        }
        ScannedRecord record;
        record.line = number;
        problem = readRecord(json, record);
        if (problem.empty() && record.known && out.columns.count(record.table)) {
            const std::vector<std::string>& names = out.columns[record.table];
            for (const std::string& name : *record.known)
                if (std::find(names.begin(), names.end(), name) == names.end())
                    problem = "known names " + name + ", no column of " + record.table;
        }
        if (!problem.empty()) {
            out.error = "line " + std::to_string(number) + ": " + problem;
            return out;
        }
        out.records.push_back(std::move(record));
    }
    if (number == 0) {
        out.error = "no output";
        return out;
    }
    out.wellFormed = true;
    return out;
}

ProgramRun runProgram(const std::vector<std::string>& argv) {
    ProgramRun run;
    if (argv.empty())
        return run;
    int fds[2];
    if (pipe(fds) != 0)
        return run;
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return run;
    }
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        const int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0)
            dup2(devNull, STDERR_FILENO);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n > 0)
            run.out.append(buffer, static_cast<size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

} // namespace testdata

#include "sqlite_recovery/schema_reader.h"

#include "sqlite_recovery/table_rows.h"

namespace fennaro::deep {

TableInfo sqliteMasterTable() {
    // Every column TEXT but rootpage.
    TableInfo master;
    master.name = "sqlite_master";
    master.rootPage = 1;
    for (const char* name : {"type", "name", "tbl_name", "rootpage", "sql"})
        master.columns.push_back({name, Affinity::Text, false, false, {}});
    master.columns[3].affinity = Affinity::Integer;
    return master;
}

SchemaInfo readSchema(const PageReader& reader, uint32_t usableSize, uint32_t textEncoding) {
    // sqlite_master(type, name, tbl_name, rootpage, sql), one row per object.
    SchemaInfo schema;
    const TableInfo master = sqliteMasterTable();

    VisitMarks marks;
    std::vector<Value> values;
    forEachTableRow(
        reader, 1, usableSize, marks, 5,
        [&](int64_t rowid, const RecordShape& shape, const uint8_t* body, size_t bodyBytes) {
            decodeRecordBody(shape, body, bodyBytes, &values);
            completeRow(master, rowid, textEncoding, &values);
            const Value& type = values[0];
            const Value& root = values[3];
            if (type.kind != Value::Kind::Text || root.kind != Value::Kind::Integer ||
                root.integer <= 0 || root.integer > 0xFFFFFFFFll)
                return;
            ParsedTable parsed;
            const bool isTable = type.bytes == "table" && values[1].kind == Value::Kind::Text &&
                                 values[4].kind == Value::Kind::Text &&
                                 parseCreateTable(values[4].bytes, &parsed) && !parsed.withoutRowid;
            if (!isTable) {
                schema.otherRoots.push_back(uint32_t(root.integer));
                return;
            }
            TableInfo table;
            table.name = values[1].bytes;
            table.rootPage = uint32_t(root.integer);
            table.columns = std::move(parsed.columns);
            table.aliasColumn = parsed.aliasColumn;
            schema.tables.push_back(std::move(table));
        });
    return schema;
}

} // namespace fennaro::deep

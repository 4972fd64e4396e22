#include "phone/contact_remnants.h"

#include <algorithm>
#include <set>

#include "phone/table_names.h"

namespace fennaro::phone {

using deep::RecoveredRecord;
using deep::Value;

namespace {

// What a word of the contacts' index is: 'n' a number, 'e' an e-mail
// address, 'a' a name, 0 nothing to report.
char wordKind(const std::string& word) {
    if (word.find('@') != std::string::npos)
        return 'e';
    const size_t digits = size_t(
        std::count_if(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; }));
    if (digits >= 3 && digits + 1 >= word.size())
        return 'n';
    const bool letter = std::any_of(word.begin(), word.end(), [](char c) {
        const auto u = uint8_t(c);
        return u >= 0x80 || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
    });
    return letter ? 'a' : 0;
}

} // namespace

bool contactFromIndex(const deep::FtsDocument& document, const deep::LiveTables& live,
                      std::vector<RecoveredRecord>* out) {
    // One data row per name, number or address word of the name and
    // content columns.
    const deep::TableColumns* data = findTable(live.tables(), "data");
    if (!sameName(document.table, "search_index") || !data)
        return false;
    const int contactColumn = findName(data->columns, "raw_contact_id");
    const int valueColumn = findName(data->columns, "data1");
    if (contactColumn < 0 || valueColumn < 0)
        return true;
    std::set<std::string> done;
    for (const char* column : {"name", "content"}) {
        const int c = findName(document.columns, column);
        if (c < 0)
            continue;
        for (auto it = document.words.lower_bound({uint32_t(c), 0});
             it != document.words.end() && it->first.first == uint32_t(c); ++it) {
            if (wordKind(it->second) == 0 || !done.insert(it->second).second)
                continue;
            RecoveredRecord record = document.place;
            record.table = data->table;
            record.values.assign(data->columns.size(), Value::null());
            record.known.assign(data->columns.size(), false);
            record.values[size_t(contactColumn)] = Value::ofInteger(document.docid);
            record.known[size_t(contactColumn)] = true;
            record.values[size_t(valueColumn)] = Value::ofText(it->second);
            record.known[size_t(valueColumn)] = true;
            out->push_back(std::move(record));
        }
    }
    return true;
}

} // namespace fennaro::phone

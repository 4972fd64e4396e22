#include "phone/table_names.h"

#include <cctype>

namespace fennaro::phone {

bool sameName(std::string_view a, std::string_view b) {
    // Letter by letter, ASCII letters folded to upper case.
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

int findName(const std::vector<std::string>& names, std::string_view name) {
    // The first that matches.
    for (size_t i = 0; i < names.size(); ++i) {
        if (sameName(names[i], name))
            return int(i);
    }
    return -1;
}

const deep::TableColumns* findTable(const std::vector<deep::TableColumns>& tables,
                                    std::string_view name) {
    // The first that matches.
    for (const deep::TableColumns& table : tables) {
        if (sameName(table.table, name))
            return &table;
    }
    return nullptr;
}

} // namespace fennaro::phone

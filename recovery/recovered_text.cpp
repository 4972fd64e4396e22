#include "recovered_text.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>
#include <unordered_map>

namespace {

const char kNotAvailable[] = "N/A";

// Length of the strict UTF-8 sequence at s[i], or 0 when it is not one.
size_t utf8SequenceLength(const unsigned char* s, size_t i, size_t n) {
    unsigned char c = s[i];
    if (c < 0x80)
        return 1;
    size_t len;
    uint32_t min;
    uint32_t cp;
    if ((c & 0xE0) == 0xC0) {
        len = 2, min = 0x80, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3, min = 0x800, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4, min = 0x10000, cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + len > n)
        return 0;
    for (size_t k = 1; k < len; ++k) {
        if ((s[i + k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

// Length of value up to its first zero byte when that part is strict UTF-8,
// else npos.
size_t validUtf8Prefix(const std::string& value) {
    const auto* s = reinterpret_cast<const unsigned char*>(value.data());
    size_t n = 0;
    while (n < value.size() && s[n] != 0)
        ++n;
    for (size_t i = 0; i < n;) {
        if (s[i] < 0x80) {
            ++i;
            continue;
        }
        size_t len = utf8SequenceLength(s, i, n);
        if (len == 0)
            return std::string::npos;
        i += len;
    }
    return n;
}

// Appends utf8ToAnsi(value) to out without a string of its own between.
void appendUtf8ToAnsi(std::string& out, const std::string& value) {
    size_t n = validUtf8Prefix(value);
    if (n != std::string::npos)
        out.append(value, 0, n);
}

} // namespace

std::string utf8ToAnsi(const std::string& value) {
    size_t n = validUtf8Prefix(value);
    return n == std::string::npos ? std::string() : value.substr(0, n);
}

namespace fennaro {

void appendTextLine(std::string& out, std::initializer_list<const std::string*> fields) {
    bool first = true;
    for (const std::string* field : fields) {
        if (!first)
            out += '\t';
        first = false;
        if (field)
            appendUtf8ToAnsi(out, *field);
        else
            out += kNotAvailable;
    }
    out += "\r\n";
}

bool isAllDigits(const std::string& value) {
    for (unsigned char c : value) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

std::string buildContactText(const std::vector<CarvedContact>& carved) {
    const size_t n = carved.size();
    // The rows that have a value, grouped by contact and in carving order
    // within a group: a row only ever pairs with rows of its own contact, so
    // walking its group from its own place gives the same lines, in the same
    // order, as comparing every pair. A rid is a few bytes, so its first
    // eight make a sort key; longer rids are told apart by their bytes.
    struct Row {
        uint64_t key;
        uint32_t length;
        uint32_t index;
    };
    std::vector<Row> rows;
    rows.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        if (carved[i].second.empty())
            continue;
        const std::string& rid = carved[i].first;
        uint64_t key = 0;
        for (size_t b = 0; b < 8; ++b)
            key = (key << 8) | (b < rid.size() ? uint8_t(rid[b]) : 0);
        rows.push_back({key, uint32_t(rid.size()), uint32_t(i)});
    }
    auto sameRid = [&](const Row& a, const Row& b) {
        return a.key == b.key && a.length == b.length &&
               (a.length <= 8 || carved[a.index].first == carved[b.index].first);
    };
    std::sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
        if (a.key != b.key)
            return a.key < b.key;
        if (a.length != b.length)
            return a.length < b.length;
        if (a.length > 8) {
            int order = carved[a.index].first.compare(carved[b.index].first);
            if (order != 0)
                return order < 0;
        }
        return a.index < b.index;
    });
    // For each carved row: its place in `rows` and the end of its group.
    std::vector<uint32_t> placeOf(n, 0), groupEnd(rows.size(), 0);
    for (size_t end = rows.size(), p = rows.size(); p-- > 0;) {
        if (p + 1 < rows.size() && !sameRid(rows[p], rows[p + 1]))
            end = p + 1;
        groupEnd[p] = uint32_t(end);
        placeOf[rows[p].index] = uint32_t(p);
    }

    std::string text;
    size_t valueBytes = 0;
    for (const auto& row : carved)
        valueBytes += row.second.size() + 6;
    text.reserve(valueBytes * 2);
    std::vector<bool> used(n, false);
    for (size_t i = 0; i < n; ++i) {
        const std::string& first = carved[i].second;
        if (first.empty())
            continue;
        for (size_t g = placeOf[i]; g < groupEnd[placeOf[i]]; ++g) {
            size_t a = rows[g].index;
            const std::string& second = carved[a].second;
            if (first == second)
                continue;
            // The number goes second whichever of the two was carved first.
            if (isAllDigits(first))
                appendTextLine(text, {&second, &first});
            else
                appendTextLine(text, {&first, &second});
            used[i] = used[a] = true;
        }
    }

    for (size_t j = 0; j < n; ++j) {
        const std::string& value = carved[j].second;
        if (value.empty() || used[j])
            continue;
        if (isAllDigits(value))
            appendTextLine(text, {nullptr, &value});
        else
            appendTextLine(text, {&value, nullptr});
    }
    return text;
}

std::string buildSmsText(const std::vector<CarvedSms>& carved,
                         const std::vector<LiveContactRow>& live) {
    std::string text;
    if (carved.empty())
        return text;
    const size_t none = size_t(-1);

    // The sender of a message is found through the first live row whose data1
    // equals its address without the first "+86", then the first other row
    // of that row's contact. A phone has far fewer distinct addresses than
    // messages or live rows, so both lookups are keyed by what the messages
    // need and filled in one pass over the live rows each.
    std::unordered_map<std::string, size_t> matchByAddress;
    std::vector<size_t*> matchOf(carved.size(), nullptr);
    if (!live.empty()) {
        std::string stripped;
        for (size_t m = 0; m < carved.size(); ++m) {
            stripped = std::get<0>(carved[m]);
            if (size_t prefix = stripped.find("+86"); prefix != std::string::npos)
                stripped.erase(prefix, 3);
            // Nodes keep their place when the table grows, so each message
            // can hold on to its address's slot.
            matchOf[m] = &matchByAddress.try_emplace(stripped, none).first->second;
        }
    }
    std::unordered_map<std::string_view, std::pair<size_t, size_t>> firstTwoByRid;
    for (size_t j = 0; j < live.size(); ++j) {
        auto match = matchByAddress.find(live[j].second);
        if (match != matchByAddress.end() && match->second == none) {
            match->second = j;
            firstTwoByRid.try_emplace(live[j].first, none, none);
        }
    }
    for (size_t k = 0; k < live.size() && !firstTwoByRid.empty(); ++k) {
        auto rid = firstTwoByRid.find(live[k].first);
        if (rid == firstTwoByRid.end())
            continue;
        if (rid->second.first == none)
            rid->second.first = k;
        else if (rid->second.second == none)
            rid->second.second = k;
    }

    // One allocation for the whole text: the values, at most a name of the
    // longest live value, and separators.
    size_t longestName = 3;
    for (const auto& row : live)
        longestName = std::max(longestName, row.second.size());
    size_t textBytes = 0;
    for (const auto& row : carved)
        textBytes += std::get<0>(row).size() + std::get<2>(row).size() + longestName + 10;
    text.reserve(textBytes);

    for (size_t m = 0; m < carved.size(); ++m) {
        const auto& [address, person, body] = carved[m];
        const std::string* name = nullptr;
        if (!live.empty()) {
            size_t j = *matchOf[m];
            if (j != none) {
                auto [first, second] = firstTwoByRid.find(live[j].first)->second;
                size_t k = first != j ? first : second;
                if (k != none)
                    name = &live[k].second;
            }
        }
        appendTextLine(
            text, {name, address.empty() ? nullptr : &address, body.empty() ? nullptr : &body});
    }
    return text;
}

} // namespace fennaro

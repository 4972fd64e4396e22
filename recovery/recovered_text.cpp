#include "recovered_text.h"

#include <cstring>
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

} // namespace

std::string utf8ToAnsi(const std::string& value) {
    size_t n = std::strlen(value.c_str());
    const auto* s = reinterpret_cast<const unsigned char*>(value.data());
    for (size_t i = 0; i < n;) {
        size_t len = utf8SequenceLength(s, i, n);
        if (len == 0)
            return std::string();
        i += len;
    }
    return value.substr(0, n);
}

namespace fennaro {

bool isAllDigits(const std::string& value) {
    for (unsigned char c : value) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

std::string buildContactText(const std::vector<CarvedContact>& carved) {
    const size_t n = carved.size();
    // The rows of each contact that have a value, in carving order; a row
    // only ever pairs with rows of its own contact, so this index gives the
    // same lines, in the same order, as comparing every pair.
    std::unordered_map<std::string, std::vector<size_t>> rowsByRid;
    std::vector<size_t> positionInGroup(n, 0);
    for (size_t i = 0; i < n; ++i) {
        if (carved[i].second.empty())
            continue;
        auto& group = rowsByRid[carved[i].first];
        positionInGroup[i] = group.size();
        group.push_back(i);
    }

    std::string text;
    std::vector<bool> used(n, false);
    for (size_t i = 0; i < n; ++i) {
        const std::string& first = carved[i].second;
        if (first.empty())
            continue;
        const auto& group = rowsByRid.find(carved[i].first)->second;
        for (size_t g = positionInGroup[i]; g < group.size(); ++g) {
            size_t a = group[g];
            const std::string& second = carved[a].second;
            if (first == second)
                continue;
            // The number goes second whichever of the two was carved first.
            if (isAllDigits(first))
                text += utf8ToAnsi(second) + "\t" + utf8ToAnsi(first) + "\r\n";
            else
                text += utf8ToAnsi(first) + "\t" + utf8ToAnsi(second) + "\r\n";
            used[i] = used[a] = true;
        }
    }

    for (size_t j = 0; j < n; ++j) {
        const std::string& value = carved[j].second;
        if (value.empty() || used[j])
            continue;
        if (isAllDigits(value))
            text += std::string(kNotAvailable) + "\t" + utf8ToAnsi(value) + "\r\n";
        else
            text += utf8ToAnsi(value) + "\t" + kNotAvailable + "\r\n";
    }
    return text;
}

std::string buildSmsText(const std::vector<CarvedSms>& carved,
                         const std::vector<LiveContactRow>& live) {
    std::string text;
    if (carved.empty())
        return text;

    // First live row per data1, and the first two rows per rid: the sender is
    // the first other row of the contact whose row matched the address.
    std::unordered_map<std::string, size_t> firstRowByData1;
    std::unordered_map<std::string, std::pair<size_t, size_t>> firstTwoByRid;
    const size_t none = size_t(-1);
    for (size_t j = 0; j < live.size(); ++j) {
        firstRowByData1.emplace(live[j].second, j);
        auto [it, inserted] = firstTwoByRid.emplace(live[j].first, std::make_pair(j, none));
        if (!inserted && it->second.second == none)
            it->second.second = j;
    }

    for (const auto& [address, person, body] : carved) {
        std::string name = kNotAvailable;
        if (!live.empty()) {
            std::string stripped = address;
            size_t prefix = stripped.find("+86");
            if (prefix != std::string::npos)
                stripped.erase(prefix, 3);
            auto match = firstRowByData1.find(stripped);
            if (match != firstRowByData1.end()) {
                size_t j = match->second;
                auto [first, second] = firstTwoByRid.at(live[j].first);
                size_t k = first != j ? first : second;
                if (k != none)
                    name = utf8ToAnsi(live[k].second);
            }
        }
        text += name;
        text += '\t';
        text += address.empty() ? std::string(kNotAvailable) : utf8ToAnsi(address);
        text += '\t';
        text += body.empty() ? std::string(kNotAvailable) : utf8ToAnsi(body);
        text += "\r\n";
    }
    return text;
}

} // namespace fennaro

#include "call_log_display.h"

#include <algorithm>
#include <cstdio>

namespace fennaro::deep {

void finishCallLog(RecordStore& store) {
    std::vector<CallRecord>& calls = store.deep.calls;
    // Stable, so calls of the same date (and undated ones) keep the order
    // they were read in.
    std::stable_sort(calls.begin(), calls.end(), [](const CallRecord& a, const CallRecord& b) {
        if (a.deleted != b.deleted)
            return a.deleted;
        if (a.date.has_value() != b.date.has_value())
            return a.date.has_value();
        return a.date && *a.date > *b.date;
    });
    CategoryState& state = store.callLogCategory;
    state.caption = categoryWord(RecordCategory::CallLog);
    state.count = 0;
    if (calls.empty())
        return;
    state.caption += " (" + std::to_string(calls.size()) + ")";
    state.count = 1;
}

std::string callDurationText(std::optional<int64_t> seconds) {
    if (!seconds)
        return {};
    if (*seconds < 0)
        return std::to_string(*seconds) + " s";
    const int64_t hours = *seconds / 3600, minutes = *seconds / 60 % 60, rest = *seconds % 60;
    char text[48];
    if (hours > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(hours),
                      static_cast<long long>(minutes), static_cast<long long>(rest));
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(minutes),
                      static_cast<long long>(rest));
    return text;
}

std::string callPartyText(const CallRecord& call) {
    if (call.name.empty() && call.number.empty())
        return "Unknown number";
    if (call.name.empty())
        return call.number;
    if (call.number.empty())
        return call.name;
    return call.name + " (" + call.number + ")";
}

} // namespace fennaro::deep

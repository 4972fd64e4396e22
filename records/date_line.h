// The date line of a message: its time as local time "YYYY-MM-DD hh:mm:ss".
#pragma once

#include <cstdint>
#include <ctime>
#include <string_view>

namespace fennaro {

// Formats message dates as local time. Remembers the UTC offset of the last
// day it met, so a run of messages from the same days (a phone stores them as
// they arrive) costs one time-zone lookup per day rather than per message.
class DateLineFormatter {
  public:
    // Returns the date line of a time in milliseconds since 1970 UTC, cut to
    // whole seconds; empty when the time cannot be shown (a year outside
    // 0..9999). The view is valid until the next call.
    std::string_view format(int64_t milliseconds);

  private:
    // Day (UTC, days since 1970) whose offset is remembered.
    int64_t m_day = INT64_MIN;
    // Whether that day has one UTC offset throughout, and the offset.
    bool m_dayHasOneOffset = false;
    long m_offset = 0;
    char m_buffer[20] = {};
};

} // namespace fennaro

#include "date_line.h"

namespace fennaro {

namespace {

constexpr int64_t kSecondsPerDay = 86400;

// Returns a divided by b, rounded towards minus infinity (b > 0).
int64_t floorDiv(int64_t a, int64_t b) {
    return a / b - (a % b < 0 ? 1 : 0);
}

// Writes two digits of value.
char* putTwoDigits(char* out, int64_t value) {
    out[0] = static_cast<char>('0' + value / 10 % 10);
    out[1] = static_cast<char>('0' + value % 10);
    return out + 2;
}

// Formats a civil date and time of day into out (19 characters); false when
// the year has not four digits.
bool putDateTime(char* out, int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute,
                 int64_t second) {
    if (year < 0 || year > 9999)
        return false;
    out = putTwoDigits(out, year / 100);
    out = putTwoDigits(out, year % 100);
    *out++ = '-';
    out = putTwoDigits(out, month);
    *out++ = '-';
    out = putTwoDigits(out, day);
    *out++ = ' ';
    out = putTwoDigits(out, hour);
    *out++ = ':';
    out = putTwoDigits(out, minute);
    *out++ = ':';
    putTwoDigits(out, second);
    return true;
}

// Turns local seconds since 1970 into a civil date and time (proleptic
// Gregorian calendar) and formats it.
bool putLocalSeconds(char* out, int64_t local) {
    const int64_t days = floorDiv(local, kSecondsPerDay);
    const int64_t secondOfDay = local - days * kSecondsPerDay;
    const int64_t z = days + 719468;
    const int64_t era = floorDiv(z, 146097);
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    const int64_t day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    const int64_t month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    return putDateTime(out, year, month, day, secondOfDay / 3600, secondOfDay / 60 % 60,
                       secondOfDay % 60);
}

} // namespace

std::string_view DateLineFormatter::format(int64_t milliseconds) {
    const int64_t seconds = milliseconds / 1000;
    const int64_t day = floorDiv(seconds, kSecondsPerDay);
    if (day != m_day) {
        // A day with one offset at its first and its last second has no
        // clock change inside; its times need no further lookup.
        m_day = day;
        m_dayHasOneOffset = false;
        const std::time_t first = static_cast<std::time_t>(day * kSecondsPerDay);
        const std::time_t last = first + (kSecondsPerDay - 1);
        std::tm atFirst{}, atLast{};
        if (localtime_r(&first, &atFirst) && localtime_r(&last, &atLast) &&
            atFirst.tm_gmtoff == atLast.tm_gmtoff) {
            m_dayHasOneOffset = true;
            m_offset = atFirst.tm_gmtoff;
        }
    }
    bool shown = false;
    if (m_dayHasOneOffset) {
        shown = putLocalSeconds(m_buffer, seconds + m_offset);
    } else {
        const std::time_t time = static_cast<std::time_t>(seconds);
        std::tm local{};
        shown = localtime_r(&time, &local) &&
                putDateTime(m_buffer, 1900LL + local.tm_year, local.tm_mon + 1, local.tm_mday,
                            local.tm_hour, local.tm_min, local.tm_sec);
    }
    return shown ? std::string_view(m_buffer, 19) : std::string_view();
}

} // namespace fennaro

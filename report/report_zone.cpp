// The time zone of a report's dates: this computer's local time, named and
// with its offset, or UTC when asked for, rewritten from the stored times.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "file_ops.h"
#include "report_files.h"

namespace fennaro::report {

namespace {

// Returns a name of a zone file's path: what follows "zoneinfo/", else "".
std::string zoneOfPath(const std::string& path) {
    const size_t at = path.find("zoneinfo/");
    return at == std::string::npos ? std::string() : path.substr(at + 9);
}

// Returns the name of this computer's zone: TZ's, else /etc/timezone's,
// else the zone file /etc/localtime links to; "" when none says.
std::string zoneName() {
    if (const char* tz = std::getenv("TZ")) {
        std::string name = tz;
        if (name.empty())
            return "UTC";
        if (name[0] == ':')
            name.erase(0, 1);
        const std::string inFile = zoneOfPath(name);
        return inFile.empty() ? name : inFile;
    }
    std::string text;
    if (platform::readSmallFile("/etc/timezone", text, 256)) {
        const size_t end = text.find_first_of("\r\n");
        text = text.substr(0, end);
        if (!text.empty())
            return text;
    }
    char target[512] = {};
    const ssize_t length = ::readlink("/etc/localtime", target, sizeof target - 1);
    return length > 0 ? zoneOfPath(std::string(target, static_cast<size_t>(length))) : "";
}

// Returns an offset from UTC as "UTC+01:00".
std::string offsetText(long seconds) {
    const char sign = seconds < 0 ? '-' : '+';
    const long minutes = (seconds < 0 ? -seconds : seconds) / 60;
    char text[24];
    std::snprintf(text, sizeof text, "UTC%c%02ld:%02ld", sign, minutes / 60, minutes % 60);
    return text;
}

// Returns the local time's offset and summer time flag at a moment.
std::tm localAt(std::time_t time) {
    std::tm local{};
    localtime_r(&time, &local);
    return local;
}

// Returns the date line of a time in milliseconds, in UTC; "" when the year
// is outside 0..9999, as the local date lines leave it.
std::string utcDateLine(int64_t milliseconds) {
    const int64_t seconds = milliseconds / 1000 - (milliseconds % 1000 < 0 ? 1 : 0);
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm inUtc{};
    if (!gmtime_r(&time, &inUtc) || inUtc.tm_year < -1900 || inUtc.tm_year > 9999 - 1900)
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", inUtc.tm_year + 1900,
                  inUtc.tm_mon + 1, inUtc.tm_mday, inUtc.tm_hour, inUtc.tm_min, inUtc.tm_sec);
    return text;
}

} // namespace

std::string zoneStatement(bool utc, int64_t atSeconds) {
    if (utc)
        return "Times in UTC.";
    const std::tm now = localAt(static_cast<std::time_t>(atSeconds));
    std::string text = "Times in " + offsetText(now.tm_gmtoff);
    const std::string name = zoneName();
    if (!name.empty())
        text += " (" + name + ")";
    text += ", as this computer keeps them";
    // A zone with summer time writes the dates of the other season in its
    // other offset: January and July of the same year tell both.
    std::tm january = now;
    january.tm_mon = 0;
    january.tm_mday = 1;
    january.tm_isdst = -1;
    std::tm july = january;
    july.tm_mon = 6;
    const std::tm winter = localAt(std::mktime(&january));
    const std::tm summer = localAt(std::mktime(&july));
    if (winter.tm_gmtoff != summer.tm_gmtoff) {
        const std::tm& other = winter.tm_gmtoff == now.tm_gmtoff ? summer : winter;
        text += now.tm_isdst > 0 ? "; dates outside summer time are in "
                                 : "; dates in summer time are in ";
        text += offsetText(other.tm_gmtoff);
    }
    return text + ".";
}

void useUtcDates(ReportData& data) {
    data.madeAt = timeText(data.madeAtSeconds, true);
    for (ConversationEntry& conversation : data.conversations) {
        for (MessageRow& message : conversation.messages) {
            if (message.dateMs)
                message.dateLine = utcDateLine(*message.dateMs);
        }
    }
    for (CallRow& call : data.calls) {
        if (call.dateMs)
            call.dateLine = utcDateLine(*call.dateMs);
    }
}

} // namespace fennaro::report

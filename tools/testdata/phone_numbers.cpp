#include "phone_numbers.h"

#include <algorithm>

namespace testdata {

std::string digitsOf(const std::string& number, bool keepPlus) {
    std::string out;
    for (char c : number) {
        if (c >= '0' && c <= '9')
            out += c;
        else if (c == '+' && keepPlus && out.empty())
            out += c;
    }
    return out;
}

std::string minMatchOf(const std::string& number) {
    std::string d = digitsOf(number, false);
    if (d.size() > 7)
        d = d.substr(d.size() - 7);
    std::reverse(d.begin(), d.end());
    return d;
}

std::string e164Of(const std::string& number) {
    const std::string d = digitsOf(number, true);
    if (d.size() > 1 && d[0] == '+')
        return d.size() >= 9 ? d : std::string();
    if (d.rfind("00", 0) == 0 && d.size() > 10)
        return "+" + d.substr(2);
    if (d.size() == 11 && d[0] == '1') // Chinese mobile number
        return "+86" + d;
    if (d.size() == 10 && d[0] >= '2') // North American number
        return "+1" + d;
    return {};
}

} // namespace testdata

// The engine's result text: carved rows turned into tab-separated lines,
// contact values paired per contact, message senders named from the live
// contact rows. Lines end with "\r\n"; an absent value is "N/A".
#pragma once

#include <initializer_list>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

// Cuts value at its first zero byte and returns it when it is strict UTF-8
// (no overlong forms, no surrogates, nothing above U+10FFFF), else "". There
// is no ANSI code page here: everything downstream reads UTF-8.
std::string utf8ToAnsi(const std::string& value);

namespace fennaro {

using CarvedContact = std::pair<std::string, std::string>;           // rid, data1
using CarvedSms = std::tuple<std::string, std::string, std::string>; // address, person, body
using LiveContactRow = std::pair<std::string, std::string>;          // rid, data1

// Appends one text line: the fields separated by TAB, a null field written
// "N/A", the others as utf8ToAnsi converts them, then CR LF.
void appendTextLine(std::string& out, std::initializer_list<const std::string*> fields);

// True when every byte is an ASCII decimal digit.
bool isAllDigits(const std::string& value);

// Pairs the data1 values of each contact into name/number lines, then writes
// the values that never paired. Every pair (i, a), a >= i, with the same rid
// and different non-empty data1 gives a line, in (i, a) order.
std::string buildContactText(const std::vector<CarvedContact>& carved);

// One line per carved message: sender name (from a live row with the same
// data1 as the address without its first "+86"), address, body.
std::string buildSmsText(const std::vector<CarvedSms>& carved,
                         const std::vector<LiveContactRow>& live);

} // namespace fennaro

#include "phone/message_merge.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <string>
#include <tuple>

#include "phone/phone_match.h"

namespace fennaro {

namespace {

// The store and row a sms_message_uri names, or nothing when it names none.
std::optional<std::pair<deep::MessageStore, int64_t>> uriTarget(std::string_view uri) {
    deep::MessageStore store;
    if (uri.substr(0, 14) == "content://sms/")
        store = deep::MessageStore::Sms;
    else if (uri.substr(0, 14) == "content://mms/")
        store = deep::MessageStore::Mms;
    else
        return std::nullopt;
    // content://sms/inbox/12 names the same row as content://sms/12.
    const std::string_view tail = uri.substr(uri.rfind('/') + 1);
    int64_t id = 0;
    const auto [end, error] = std::from_chars(tail.data(), tail.data() + tail.size(), id);
    if (error != std::errc() || end != tail.data() + tail.size() || tail.empty())
        return std::nullopt;
    return std::pair(store, id);
}

// One telephony message the app's copies may be merged into.
struct Candidate {
    TelephonyCopy copy;
    // The record to name bugle_db in; null for a live SMS.
    deep::DeletedMessage* record = nullptr;
    bool taken = false;
};

// Returns a record's comparable view.
TelephonyCopy copyOf(const deep::DeletedMessage& message) {
    return {message.store, message.id, message.address, message.date, message.body};
}

// Names both files among a telephony record's sources.
void addBugleSource(deep::DeletedMessage& record) {
    if (record.sources.empty())
        record.sources.push_back("mmssms.db");
    if (std::find(record.sources.begin(), record.sources.end(), "bugle_db") == record.sources.end())
        record.sources.push_back("bugle_db");
}

// Returns whether a telephony record is a text only the words index kept:
// no number, no time, its words lower-cased (an MMS text part there has no
// MMS id either).
bool isWordsOnly(const deep::DeletedMessage& record) {
    return record.evidence.rfind("words", 0) == 0 && record.address.empty() && !record.date;
}

// Returns how many words an indexed text has.
size_t wordCount(std::string_view words) {
    return words.empty() ? 0 : size_t(std::count(words.begin(), words.end(), ' ')) + 1;
}

// Names both files among a telephony record's sources and gives it what
// only the app's copy kept.
void fillFrom(deep::DeletedMessage& record, const deep::DeletedMessage& app, bool byWords) {
    addBugleSource(record);
    if (byWords)
        record.evidence += ", matched to bugle_db by its words";
    if (!record.date && app.date) {
        record.date = app.date;
        record.evidence += ", date from bugle_db";
    }
    if (!record.type)
        record.type = app.type;
    if (record.address.empty())
        record.address = app.address;
    const bool fromIndex =
        record.evidence.rfind("words", 0) == 0 || record.evidence.rfind("index", 0) == 0;
    if ((record.body.empty() || fromIndex) && !app.body.empty() && record.body != app.body) {
        record.body = app.body;
        record.evidence += ", text from bugle_db";
    }
}

// Makes a record of a deleted copy the live record of a message another
// store still holds: deleted in one file, its sources the live one alone.
void markDeletedIn(deep::DeletedMessage& record, std::string_view deletedFile,
                   std::string_view liveFile) {
    record.deleted = false;
    record.deletedIn = std::string(deletedFile);
    record.sources = {std::string(liveFile)};
    record.evidence = "deleted in " + record.deletedIn + ": " + record.evidence;
}

} // namespace

std::string indexedWords(std::string_view text) {
    std::string words;
    bool gap = false;
    for (const unsigned char c : text) {
        if (std::isalnum(c) || c >= 0x80) {
            if (gap && !words.empty())
                words += ' ';
            gap = false;
            words += char(std::tolower(c));
        } else {
            gap = true;
        }
    }
    return words;
}

bool linksTo(const deep::DeletedMessage& bugle, const TelephonyCopy& copy) {
    const auto target = uriTarget(bugle.telephonyUri);
    if (!target || !copy.id || target->first != copy.store || target->second != *copy.id)
        return false;
    // Row ids come back after a delete, so a link with another text is another message.
    return bugle.body.empty() || copy.body.empty() || bugle.body == copy.body ||
           indexedWords(bugle.body) == indexedWords(copy.body);
}

bool looksSame(const deep::DeletedMessage& bugle, const TelephonyCopy& copy) {
    if (bugle.body.empty() || bugle.body != copy.body || !bugle.date || !copy.date)
        return false;
    const int64_t apart =
        *bugle.date > *copy.date ? *bugle.date - *copy.date : *copy.date - *bugle.date;
    return apart <= kSameMessageWindowMs && samePhoneNumber(bugle.address, copy.address);
}

std::vector<int64_t> mergeMessageStores(std::vector<deep::DeletedMessage>& smsDeleted,
                                        std::vector<deep::DeletedMessage>& mms,
                                        std::vector<deep::DeletedMessage>& bugle,
                                        const std::vector<LiveSmsRow>& liveSms,
                                        std::vector<int64_t>* deletedInApp) {
    std::vector<Candidate> candidates;
    candidates.reserve(liveSms.size() + smsDeleted.size() + mms.size());
    // Live rows first: a link to a reused id means the live row when both fit.
    for (const LiveSmsRow& row : liveSms)
        candidates.push_back(
            {{deep::MessageStore::Sms, row.id, row.address, row.dateMs, row.body}});
    for (deep::DeletedMessage& message : mms) {
        if (!message.deleted)
            candidates.push_back({copyOf(message), &message});
    }
    for (deep::DeletedMessage& message : smsDeleted)
        candidates.push_back({copyOf(message), &message});
    for (deep::DeletedMessage& message : mms) {
        if (message.deleted)
            candidates.push_back({copyOf(message), &message});
    }
    std::multimap<std::tuple<deep::MessageStore, int64_t>, size_t> byId;
    std::multimap<std::string_view, size_t> byText;
    for (size_t i = 0; i < candidates.size(); ++i) {
        if (candidates[i].copy.id)
            byId.emplace(std::tuple(candidates[i].copy.store, *candidates[i].copy.id), i);
        if (!candidates[i].copy.body.empty())
            byText.emplace(candidates[i].copy.body, i);
    }

    std::vector<int64_t> liveCopies;
    std::vector<bool> merged(bugle.size(), false);
    // App copies the app deleted of a live SMS: kept as that SMS's record.
    std::vector<bool> keptLive(bugle.size(), false);
    // The records are filled from the app's copies once every match is
    // made: the candidates' texts are views into them.
    std::vector<std::pair<deep::DeletedMessage*, size_t>> fills;
    const auto take = [&](size_t message, Candidate& candidate) {
        candidate.taken = true;
        merged[message] = true;
        if (candidate.record) {
            fills.emplace_back(candidate.record, message);
        } else if (bugle[message].deleted) {
            keptLive[message] = true;
            if (deletedInApp)
                deletedInApp->push_back(*candidate.copy.id);
        } else {
            liveCopies.push_back(*candidate.copy.id);
        }
    };
    for (size_t i = 0; i < bugle.size(); ++i) {
        const auto target = uriTarget(bugle[i].telephonyUri);
        if (!target)
            continue;
        const auto [first, last] = byId.equal_range(std::tuple(target->first, target->second));
        for (auto at = first; at != last; ++at) {
            Candidate& candidate = candidates[at->second];
            if (!candidate.taken && linksTo(bugle[i], candidate.copy)) {
                take(i, candidate);
                break;
            }
        }
    }
    for (size_t i = 0; i < bugle.size(); ++i) {
        if (merged[i] || bugle[i].body.empty())
            continue;
        const auto [first, last] = byText.equal_range(bugle[i].body);
        for (auto at = first; at != last; ++at) {
            Candidate& candidate = candidates[at->second];
            if (!candidate.taken && looksSame(bugle[i], candidate.copy)) {
                take(i, candidate);
                break;
            }
        }
    }
    // A telephony message the words index alone kept has neither number nor
    // time to compare, and an MMS text part there not even its MMS's id. It
    // is the app's copy when they have the same words, at least
    // kMinMatchWords of them, no other message of the phone has those
    // words, and the app's copy names no other row that could be checked: a
    // short or repeated text ("ok", "yes") could be any of several messages,
    // and then both stay.
    std::map<std::string, size_t> wordsSeen;
    for (const Candidate& candidate : candidates)
        ++wordsSeen[indexedWords(candidate.copy.body)];
    std::vector<std::string> bugleWords(bugle.size());
    for (size_t i = 0; i < bugle.size(); ++i) {
        bugleWords[i] = indexedWords(bugle[i].body);
        ++wordsSeen[bugleWords[i]];
    }
    std::map<std::string_view, size_t> wordsOnly;
    for (size_t c = 0; c < candidates.size(); ++c) {
        if (!candidates[c].taken && candidates[c].record && isWordsOnly(*candidates[c].record))
            wordsOnly.emplace(candidates[c].copy.body, c);
    }
    std::vector<bool> byWords(bugle.size(), false);
    for (size_t i = 0; i < bugle.size(); ++i) {
        if (merged[i] || wordCount(bugleWords[i]) < kMinMatchWords || wordsSeen[bugleWords[i]] != 2)
            continue;
        const auto found = wordsOnly.find(bugleWords[i]);
        if (found == wordsOnly.end() || candidates[found->second].taken)
            continue;
        const TelephonyCopy& copy = candidates[found->second].copy;
        // A link the app's copy holds must name the kind of row found and
        // one that no record stands for, and then the row must not know its id.
        if (const auto target = uriTarget(bugle[i].telephonyUri)) {
            if (target->first != copy.store || copy.id ||
                byId.count(std::tuple(target->first, target->second)))
                continue;
        } else if (!bugle[i].telephonyUri.empty()) {
            continue;
        }
        take(i, candidates[found->second]);
        byWords[i] = true;
    }
    for (const auto& [record, message] : fills) {
        fillFrom(*record, bugle[message], byWords[message]);
        if (record->deleted && !bugle[message].deleted)
            markDeletedIn(*record, "mmssms.db", "bugle_db");
    }
    for (size_t i = 0; i < bugle.size(); ++i) {
        if (!keptLive[i])
            continue;
        markDeletedIn(bugle[i], "bugle_db", "mmssms.db");
        bugle[i].store = deep::MessageStore::Sms;
    }
    size_t kept = 0;
    for (size_t i = 0; i < bugle.size(); ++i) {
        if (merged[i] && !keptLive[i])
            continue;
        // Moving a record onto itself would empty its texts.
        if (kept != i)
            bugle[kept] = std::move(bugle[i]);
        ++kept;
    }
    bugle.resize(kept);
    return liveCopies;
}

} // namespace fennaro

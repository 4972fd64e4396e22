#include "phone_generator.h"

#include "contacts_db_builder.h"
#include "content_generator.h"
#include "conversation_party.h"
#include "page_inspector.h"
#include "random_source.h"
#include "sms_db_builder.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

namespace testdata {

namespace {

// Where each row of a table sits, to plan deletions that leave every leaf page
// at least half full (so SQLite never rebalances a page and wipes freed cells)
// and never empty a page.
class LeafBudget {
  public:
    // Maps the leaf pages of `table` in the committed file `path`.
    LeafBudget(const std::string& path, const std::string& table) {
        const std::vector<LeafPage> leaves = tableLeafPages(path, table);
        // A lone leaf is the root, which SQLite never rebalances for being empty.
        m_halfPage = filePageSize(path) / (leaves.size() == 1 ? 1 : 2);
        for (const LeafPage& p : leaves) {
            m_pages[p.page] = {p.freeBytes(), static_cast<uint32_t>(p.cells.size())};
            for (const LeafCell& c : p.cells)
                m_rows[c.rowid] = {p.page, c.size + 2}; // the cell and its pointer
        }
    }

    // Books the deletion of all `ids` if every page they touch stays within budget.
    bool take(const std::vector<int64_t>& ids) {
        std::unordered_map<uint32_t, std::pair<uint32_t, uint32_t>> need; // page -> bytes, cells
        for (int64_t id : ids) {
            auto it = m_rows.find(id);
            if (it == m_rows.end())
                return false;
            auto& n = need[it->second.page];
            n.first += it->second.bytes;
            n.second += 1;
        }
        for (const auto& [page, n] : need) {
            const PageState& s = m_pages[page];
            if (s.freeBytes + n.first > m_halfPage || s.cells <= n.second)
                return false;
        }
        for (const auto& [page, n] : need) {
            m_pages[page].freeBytes += n.first;
            m_pages[page].cells -= n.second;
        }
        return true;
    }

  private:
    struct Place {
        uint32_t page = 0, bytes = 0;
    };
    struct PageState {
        uint32_t freeBytes = 0, cells = 0;
    };
    uint32_t m_halfPage = 0;
    std::unordered_map<int64_t, Place> m_rows;
    std::unordered_map<uint32_t, PageState> m_pages;
};

// Hands out ids upwards from `next`, with the occasional gap a phone's history leaves.
int64_t nextId(RandomSource& rng, int64_t& next) {
    const int64_t id = next;
    next += 1 + (rng.chance(0.08) ? rng.between(1, 6) : 0);
    return id;
}

// Builds contacts2.db; returns the people who can appear in messages and fills
// `services` with the saved short codes (code -> raw contact id).
std::vector<Correspondent> buildContacts(const std::string& path, const PhoneSpec& spec,
                                         RandomSource& rng, PhoneTruth& truth,
                                         std::map<std::string, int64_t>& services) {
    ContactsDbBuilder builder(path, spec.contactsOptions);
    std::vector<RawContact> all;
    std::vector<Correspondent> people;
    int64_t rawNext = spec.firstId, dataNext = spec.firstId, contactNext = spec.firstId + 3;
    size_t totalRows = 0;
    for (int i = 0; i < spec.contacts; ++i) {
        GeneratedContact g = makeContact(rng, i);
        RawContact& c = g.contact;
        c.id = nextId(rng, rawNext);
        c.contactId = nextId(rng, contactNext);
        for (DataRow& r : c.rows) {
            r.id = nextId(rng, dataNext);
            r.rawContactId = c.id;
        }
        builder.addRawContact(c);
        totalRows += c.rows.size();
        if (g.service)
            services.emplace(g.networkForm, c.id); // the first one saved is found
        else if (!g.networkForm.empty())
            people.push_back({c.id, g.networkForm, g.typedForm});
        all.push_back(std::move(c));
    }
    builder.commit();

    // Plan: about 60% of the deleted rows go with whole contacts, the rest one by one.
    const auto target = static_cast<size_t>(std::llround(double(totalRows) * spec.deleteFraction));
    LeafBudget budget(path, "data");
    std::vector<size_t> order(all.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    rng.shuffle(order);
    std::set<size_t> wholeContacts;
    std::set<int64_t> singleRows;
    size_t planned = 0;
    for (size_t idx : order) {
        if (planned >= target * 6 / 10)
            break;
        std::vector<int64_t> ids;
        for (const DataRow& r : all[idx].rows)
            ids.push_back(r.id);
        if (budget.take(ids)) {
            wholeContacts.insert(idx);
            planned += ids.size();
        }
    }
    std::vector<std::pair<size_t, size_t>>
        candidates; // (contact, row), never a contact's first row
    for (size_t i = 0; i < all.size(); ++i)
        if (!wholeContacts.count(i))
            for (size_t r = 1; r < all[i].rows.size(); ++r)
                candidates.emplace_back(i, r);
    rng.shuffle(candidates);
    for (const auto& [ci, ri] : candidates) {
        if (planned >= target)
            break;
        const int64_t id = all[ci].rows[ri].id;
        if (budget.take({id})) {
            singleRows.insert(id);
            ++planned;
        }
    }

    // Carry it out, oldest first, as the provider would.
    for (size_t idx : wholeContacts) {
        RawContact gone = all[idx];
        gone.rows = builder.deleteRawContact(gone.id);
        truth.deletedDataRows.insert(truth.deletedDataRows.end(), gone.rows.begin(),
                                     gone.rows.end());
        truth.deletedContacts.push_back(std::move(gone));
    }
    for (int64_t id : singleRows)
        if (auto row = builder.deleteDataRow(id))
            truth.deletedDataRows.push_back(std::move(*row));
    builder.close();

    for (size_t i = 0; i < all.size(); ++i) {
        if (wholeContacts.count(i))
            continue;
        RawContact c = all[i];
        std::erase_if(c.rows, [&](const DataRow& r) { return singleRows.count(r.id) > 0; });
        truth.liveContacts.push_back(std::move(c));
    }
    std::sort(truth.deletedDataRows.begin(), truth.deletedDataRows.end(),
              [](const DataRow& a, const DataRow& b) { return a.id < b.id; });
    return people;
}

// Builds mmssms.db with conversations with `people`, services (their messages name
// the raw contact of a saved code in `services`) and strangers.
void buildMessages(const std::string& path, const PhoneSpec& spec, RandomSource& rng,
                   std::vector<Correspondent> people,
                   const std::map<std::string, int64_t>& services, PhoneTruth& truth) {
    SmsDbBuilder builder(path, spec.smsOptions);
    PartyPicker picker(rng, std::move(people), services);
    std::vector<int64_t> threadIds;
    std::vector<Party> parties;
    int64_t threadNext = spec.firstId;
    for (int t = 0; t < spec.threads; ++t) {
        Party p = picker.next(rng, t);
        Thread th;
        th.id = nextId(rng, threadNext);
        th.address = p.address;
        threadIds.push_back(builder.addThread(th));
        parties.push_back(std::move(p));
    }

    std::vector<Message> all;
    all.reserve(static_cast<size_t>(std::max(spec.messages, 0)));
    int64_t msgNext = spec.firstId;
    int64_t date = 1551398400000; // 2019-03-01 00:00 UTC
    // Spread the messages over about five years, at most six hours apart.
    const int64_t maxGap = std::clamp<int64_t>(
        2 * 5 * 365 * 86400000LL / std::max(spec.messages, 1), 2000, 6 * 3600000LL);
    for (int i = 0; i < spec.messages && !threadIds.empty(); ++i) {
        const size_t t = i < spec.threads
                             ? static_cast<size_t>(i)
                             : static_cast<size_t>(std::pow(rng.unit(), 2.0) * threadIds.size());
        const Party& p = parties[t];
        date += rng.between(1000, maxGap);
        Message m;
        m.id = nextId(rng, msgNext);
        m.threadId = threadIds[t];
        m.dateMs = date;
        addressMessage(p, p.kind == Party::Service || rng.chance(0.55), m);
        m.body = p.kind == Party::Service ? makeServiceBody(rng, p.address)
                                          : makeBody(rng, spec.longBodies);
        builder.addMessage(m);
        all.push_back(std::move(m));
    }
    builder.commit();

    // Plan: some short conversations go whole, the rest are single messages.
    const auto target = static_cast<size_t>(std::llround(double(all.size()) * spec.deleteFraction));
    LeafBudget budget(path, "sms");
    std::unordered_map<int64_t, std::vector<int64_t>> byThread;
    for (const Message& m : all)
        byThread[m.threadId].push_back(m.id);
    std::unordered_set<int64_t> doomed;
    std::vector<int64_t> shuffledThreads = threadIds;
    rng.shuffle(shuffledThreads);
    for (int64_t t : shuffledThreads) {
        const auto& ids = byThread[t];
        if (doomed.size() + ids.size() > target * 3 / 10 || ids.size() > 6 || !rng.chance(0.3))
            continue;
        if (budget.take(ids))
            doomed.insert(ids.begin(), ids.end());
    }
    std::vector<size_t> order(all.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    rng.shuffle(order);
    for (size_t i : order) {
        if (doomed.size() >= target)
            break;
        if (!doomed.count(all[i].id) && budget.take({all[i].id}))
            doomed.insert(all[i].id);
    }

    std::vector<int64_t> doomedIds(doomed.begin(), doomed.end());
    std::sort(doomedIds.begin(), doomedIds.end()); // oldest first
    truth.deletedMessages = builder.deleteMessages(doomedIds);
    truth.threads = builder.threads();
    builder.close();
    for (Message& m : all)
        if (!doomed.count(m.id))
            truth.liveMessages.push_back(std::move(m));
}

} // namespace

PhoneTruth generatePhone(const std::string& dir, const PhoneSpec& spec) {
    if (spec.deleteFraction < 0 || spec.deleteFraction > 0.45)
        throw std::invalid_argument("testdata: deleteFraction must be within 0 ... 0.45");
    if (spec.contacts < 0 || spec.messages < 0 || spec.threads < 0 || spec.firstId < 1)
        throw std::invalid_argument("testdata: negative counts or ids");
    if (spec.messages > 0 && spec.threads == 0)
        throw std::invalid_argument("testdata: messages need at least one thread");
    std::filesystem::create_directories(dir);
    const std::filesystem::path base(dir);
    PhoneTruth truth;
    RandomSource rng(spec.seed);
    std::map<std::string, int64_t> services;
    std::vector<Correspondent> people =
        buildContacts((base / "contacts2.db").string(), spec, rng, truth, services);
    buildMessages((base / "mmssms.db").string(), spec, rng, std::move(people), services, truth);
    return truth;
}

} // namespace testdata

#include "phone/pdu_ids.h"

#include <algorithm>
#include <climits>

namespace fennaro::deep {

namespace {

// Returns whether two pdu rows hold the same values: two images of one row.
bool sameValues(const PduRow& a, const PduRow& b) {
    return a.thread == b.thread && a.date == b.date && a.dateSent == b.dateSent && a.box == b.box &&
           a.read == b.read && a.kind == b.kind;
}

// Returns whether a row's date is the time it was stored: a received or a
// sent MMS. A draft's date moves when it is edited, a message waiting in the
// outbox or failed gets a new one when it is sent, and a row whose box is
// unknown may be either.
bool datedWhenStored(const PduRow& pdu) {
    return pdu.box && (*pdu.box == 1 || *pdu.box == 2);
}

// Returns the dated known pdus as (id, date) in id order, framed by id 0
// (before every date) and, when lastId closes the table, lastId + 1 (after
// every date); empty when their dates do not rise with their ids.
std::vector<std::pair<int64_t, int64_t>>
orderBounds(const std::map<int64_t, std::optional<int64_t>>& known, std::optional<int64_t> lastId) {
    std::vector<std::pair<int64_t, int64_t>> bounds{{0, INT64_MIN}};
    for (const auto& [id, date] : known) {
        if (!date)
            continue;
        if (*date < bounds.back().second)
            return {}; // dates do not follow ids on this phone
        bounds.emplace_back(id, *date);
    }
    if (lastId && *lastId < INT64_MAX && (known.empty() || *lastId >= known.rbegin()->first))
        bounds.emplace_back(*lastId + 1, INT64_MAX);
    return bounds;
}

// How many more free ids than rows an interval may have and still be
// looked at: each one is an MMS that vanished, and with many of them no
// single way of placing the rows is left.
constexpr size_t kMaxVanished = 16;

// Returns the one way of placing rows (in date order) on free ids (in id
// order), keeping both orders, in which every row fits its id, as the index
// of each row's id; empty when there is no such way or more than one. With
// as many rows as ids there is at most one.
std::vector<size_t> onlyPlacing(size_t rows, size_t ids,
                                const std::function<bool(size_t, size_t)>& fitsAt) {
    if (ids < rows)
        return {};
    // ways[i][d]: the ways of placing the first i rows on the first i + d
    // ids, counted up to 2. Row i - 1 can only sit on one of ids i - 1 ...
    // i - 1 + (ids - rows), so that band is all there is to count.
    const size_t band = ids - rows + 1;
    std::vector<std::vector<uint8_t>> ways(rows + 1, std::vector<uint8_t>(band, 0));
    std::fill(ways[0].begin(), ways[0].end(), uint8_t(1));
    for (size_t i = 1; i <= rows; ++i) {
        for (size_t d = 0; d < band; ++d) {
            const bool here = ways[i - 1][d] > 0 && fitsAt(i - 1, i - 1 + d);
            const int skip = d > 0 ? ways[i][d - 1] : 0; // id i - 1 + d left free
            ways[i][d] = uint8_t(std::min(skip + (here ? ways[i - 1][d] : 0), 2));
        }
    }
    if (ways[rows][band - 1] != 1)
        return {};
    std::vector<size_t> placing(rows);
    for (size_t i = rows, d = band - 1; i > 0;) {
        if (d > 0 && ways[i][d - 1] > 0) {
            --d;
        } else {
            --i;
            placing[i] = i + d;
        }
    }
    return placing;
}

// Gives the rows of lost the ids between two neighbouring bounds where the
// rows dated between those bounds' dates can take that interval's free ids
// in one way only (see onlyPlacing); marks them placed.
void placeByOrder(const std::vector<std::pair<int64_t, int64_t>>& bounds,
                  const std::map<int64_t, std::optional<int64_t>>& known, std::vector<PduRow>& lost,
                  std::vector<bool>& placed, std::map<int64_t, PduRow>& deletedPdus,
                  const std::function<bool(int64_t, const PduRow&)>& fits) {
    for (size_t b = 0; b + 1 < bounds.size(); ++b) {
        const auto [lowId, lowDate] = bounds[b];
        const auto [highId, highDate] = bounds[b + 1];
        std::vector<size_t> inside;
        bool onEdge = false, unsure = false;
        for (size_t i = 0; i < lost.size(); ++i) {
            const int64_t date = *lost[i].date;
            onEdge = onEdge || date == lowDate || date == highDate;
            if (date > lowDate && date < highDate) {
                inside.push_back(i);
                unsure = unsure || !datedWhenStored(lost[i]);
            }
        }
        if (onEdge || unsure || inside.empty())
            continue;
        std::vector<int64_t> freeIds;
        for (int64_t id = lowId + 1; id < highId && freeIds.size() <= inside.size() + kMaxVanished;
             ++id) {
            if (!known.count(id))
                freeIds.push_back(id);
        }
        if (freeIds.size() < inside.size() || freeIds.size() > inside.size() + kMaxVanished)
            continue;
        std::sort(inside.begin(), inside.end(),
                  [&](size_t x, size_t y) { return *lost[x].date < *lost[y].date; });
        bool distinct = true;
        for (size_t k = 1; k < inside.size(); ++k)
            distinct = distinct && *lost[inside[k - 1]].date != *lost[inside[k]].date;
        if (!distinct)
            continue;
        const std::vector<size_t> placing =
            onlyPlacing(inside.size(), freeIds.size(), [&](size_t row, size_t id) {
                return fits(freeIds[id], lost[inside[row]]);
            });
        for (size_t k = 0; k < placing.size(); ++k) {
            lost[inside[k]].idFromOrder = true;
            placed[inside[k]] = true;
            deletedPdus.emplace(freeIds[placing[k]], lost[inside[k]]);
        }
    }
}

} // namespace

void restoreLostPduIds(const std::map<int64_t, PduRow>& livePdus,
                       std::map<int64_t, PduRow>& deletedPdus, std::vector<PduRow>& loosePdus,
                       std::optional<int64_t> lastId,
                       const std::function<bool(int64_t, const PduRow&)>& fits) {
    const auto eachKnown = [&](const auto& visit) {
        for (const auto& [id, pdu] : livePdus)
            visit(id, pdu);
        for (const auto& [id, pdu] : deletedPdus)
            visit(id, pdu);
    };
    std::map<int64_t, std::optional<int64_t>> known; // id -> date
    eachKnown([&](int64_t id, const PduRow& pdu) { known.emplace(id, pdu.date); });
    // Older images of a known row, or of another row without an id, are no
    // rows of their own. Rows without a date stay as they came.
    std::vector<PduRow> lost, undated;
    for (PduRow& pdu : loosePdus) {
        if (!pdu.date) {
            undated.push_back(std::move(pdu));
            continue;
        }
        bool copy = false;
        eachKnown([&](int64_t, const PduRow& other) { copy = copy || sameValues(pdu, other); });
        for (const PduRow& other : lost)
            copy = copy || sameValues(pdu, other);
        if (!copy)
            lost.push_back(std::move(pdu));
    }
    std::vector<bool> placed(lost.size(), false);
    if (!lost.empty())
        placeByOrder(orderBounds(known, lastId), known, lost, placed, deletedPdus, fits);
    loosePdus.clear();
    for (size_t i = 0; i < lost.size(); ++i) {
        if (!placed[i])
            loosePdus.push_back(std::move(lost[i]));
    }
    for (PduRow& pdu : undated)
        loosePdus.push_back(std::move(pdu));
}

} // namespace fennaro::deep

// contacts2.db of a modern phone: contacts saved long ago, a recent use with
// one transaction per action, deletions as the contacts provider makes them.
#include "contacts_db_builder.h"
#include "content_generator.h"
#include "modern_phone_parts.h"
#include "sqlite_util.h"

#include <algorithm>
#include <climits>

namespace testdata {

namespace {

// The raw contacts saved on the phone as the generator knows them, to pick
// edits and deletions from.
class SavedContacts {
  public:
    // Remembers a contact just added.
    void add(RawContact contact) { m_contacts.push_back(std::move(contact)); }
    size_t size() const { return m_contacts.size(); }
    size_t rows() const {
        size_t n = 0;
        for (const RawContact& c : m_contacts)
            n += c.rows.size();
        return n;
    }

    // Takes a random contact out of the list and returns its id.
    int64_t takeContact(RandomSource& rng) {
        const size_t at = rng.below(m_contacts.size());
        const int64_t id = m_contacts[at].id;
        m_contacts.erase(m_contacts.begin() + static_cast<std::ptrdiff_t>(at));
        return id;
    }

    // Takes a random data row that is not its contact's first (the name) out of
    // the list and returns its id; 0 when no contact has such a row.
    int64_t takeDataRow(RandomSource& rng) {
        RawContact* c = pick(rng, [](const RawContact& r) { return r.rows.size() > 1; });
        if (!c)
            return 0;
        const size_t at = 1 + rng.below(c->rows.size() - 1);
        const int64_t id = c->rows[at].id;
        c->rows.erase(c->rows.begin() + static_cast<std::ptrdiff_t>(at));
        return id;
    }

    // A random phone row of a random contact; nullptr when there is none.
    DataRow* phoneRow(RandomSource& rng) {
        auto isPhone = [](const DataRow& r) { return r.mimetype == kMimePhone; };
        RawContact* c = pick(rng, [&](const RawContact& r) {
            return std::any_of(r.rows.begin(), r.rows.end(), isPhone);
        });
        return c ? &*std::find_if(c->rows.begin(), c->rows.end(), isPhone) : nullptr;
    }

  private:
    // A random contact for which `fits` holds: a few random tries, then the first one.
    template <typename Fits>
    RawContact* pick(RandomSource& rng, Fits fits) {
        for (int attempt = 0; attempt < 16 && !m_contacts.empty(); ++attempt) {
            RawContact& c = m_contacts[rng.below(m_contacts.size())];
            if (fits(c))
                return &c;
        }
        for (RawContact& c : m_contacts)
            if (fits(c))
                return &c;
        return nullptr;
    }

    std::vector<RawContact> m_contacts;
};

} // namespace

ContactsOutcome buildModernContacts(const std::string& path, const ModernPhoneSpec& spec,
                                    const DatabasePlan& plan, RandomSource& rng) {
    ContactsDbBuilder builder(path, creationOptions(plan));
    RowHistory history(builder.db());
    history.noteSchema();
    ContactsOutcome out;
    SavedContacts saved;
    int64_t rawNext = 1000, dataNext = 1000, contactNext = 1003;

    // Saves generated contact number `index` as the provider would.
    auto save = [&](int index) {
        GeneratedContact g = makeContact(rng, index);
        RawContact& c = g.contact;
        c.id = nextHistoryId(rng, rawNext);
        c.contactId = nextHistoryId(rng, contactNext);
        for (DataRow& r : c.rows) {
            r.id = nextHistoryId(rng, dataNext);
            r.rawContactId = c.id;
        }
        builder.addRawContact(c);
        if (g.service)
            out.services.emplace(g.networkForm, c.id);
        else if (!g.networkForm.empty())
            out.people.push_back({c.id, g.networkForm, g.typedForm});
        saved.add(std::move(c));
    };

    // Deletes about `rows` data rows: 60% with whole raw contacts (the trigger
    // takes their rows), the rest one by one, committing as `perTransaction` says.
    auto deleteRows = [&](size_t rows, int perTransaction) {
        CommitPacer pacer(perTransaction, [&] { builder.commit(); });
        size_t done = 0;
        while (done < rows * 6 / 10 && saved.size() > 1) {
            done += builder.deleteRawContact(saved.takeContact(rng)).size();
            pacer.done();
        }
        while (done < rows) {
            const int64_t id = saved.takeDataRow(rng);
            if (id == 0)
                break;
            builder.deleteDataRow(id);
            ++done;
            pacer.done();
        }
        builder.commit();
    };

    for (int i = 0; i < spec.contacts; ++i)
        save(i);
    builder.commit();
    const double rowsPerContact = double(saved.rows()) / spec.contacts;
    const auto target = static_cast<size_t>(
        (double(saved.rows()) + rowsPerContact * spec.newContacts) * spec.deleteFraction + 0.5);
    const DeletionShares shares = splitDeletions(target, plan);
    if (shares.oldEra > 0)
        deleteRows(shares.oldEra, INT_MAX);
    if (plan.upgraded) {
        builder.upgradeToModern();
        history.noteSchema();
    }

    applyJournaling(builder.db(), plan.journaling);
    for (int i = 0; i < spec.newContacts; ++i) {
        save(spec.contacts + i);
        builder.commit();
    }
    // A few numbers edited (the provider's trigger counts the row's versions up).
    {
        Statement edit(builder.db(), "UPDATE data SET data1 = ?2, data4 = NULL WHERE _id = ?1");
        for (int i = 0; i < std::max(1, spec.contacts / 10); ++i) {
            if (DataRow* row = saved.phoneRow(rng)) {
                row->data1 = makeUnknownNumber(rng, 900000 + i);
                edit.bind(1, row->id).bind(2, *row->data1).run();
            }
        }
    }
    deleteRows(shares.recentUse, spec.deletionsPerTransaction);
    if (plan.checkpointMidway)
        checkpointWal(builder.db());
    deleteRows(shares.lastSession, spec.deletionsPerTransaction);

    sqlite3* db = builder.detach();
    out.truth = finishAsPhone(db, history, path, plan);
    return out;
}

} // namespace testdata

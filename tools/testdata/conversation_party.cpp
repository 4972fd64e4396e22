#include "conversation_party.h"

#include "content_generator.h"

namespace testdata {

PartyPicker::PartyPicker(RandomSource& rng, std::vector<Correspondent> people,
                         const std::map<std::string, int64_t>& services)
    : m_people(std::move(people)), m_services(services) {
    rng.shuffle(m_people);
}

Party PartyPicker::next(RandomSource& rng, int index) {
    Party p;
    const double r = rng.unit();
    if (r < 0.75 && m_nextPerson < m_people.size()) {
        p.kind = Party::Contact;
        p.who = m_people[m_nextPerson++];
        p.address = p.who.networkForm;
    } else if (r < 0.88 && m_nextService < 8) {
        p.kind = Party::Service;
        p.address = makeServiceSender(m_nextService++);
        if (auto saved = m_services.find(p.address); saved != m_services.end())
            p.who.rawId = saved->second;
    } else {
        p.address = makeUnknownNumber(rng, index);
    }
    return p;
}

void addressMessage(const Party& p, bool received, Message& m) {
    m.type = received ? 1 : 2;
    if (p.kind == Party::Contact) {
        m.address = received ? p.who.networkForm : p.who.typedForm;
        if (received)
            m.person = p.who.rawId;
    } else if (p.kind == Party::Service) {
        m.address = p.address;
        if (p.who.rawId != 0)
            m.person = p.who.rawId;
    } else {
        m.address = received ? p.address : p.address.substr(3);
    }
}

} // namespace testdata

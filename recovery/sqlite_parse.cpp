#include "sqlite_parse.h"

SqliteParse::SqliteParse(const std::string& contactsDbPath, const std::string& smsDbPath)
    : m_contactsDbPath(contactsDbPath), m_smsDbPath(smsDbPath) {}

SqliteParse::~SqliteParse() = default;

void SqliteParse::startParse(ePaserType) {}

std::string SqliteParse::get_contacts_mem() const { return m_recoveredText; }

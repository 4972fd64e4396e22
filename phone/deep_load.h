// The deep engine in the record store's loading run: its texts as the
// deleted records, and the live records read from the databases' current
// states (their -wal applied) instead of the main files alone, so a contact
// deleted before the last checkpoint is not shown as live.
#pragma once

#include <string>

#include "phone/phone_databases.h"
#include "record_store.h"

namespace fennaro::deep {

// Puts the deep engine's deleted contacts and messages into the store as
// deletedContactsText and deletedSmsText (the classic engine's place).
void runDeepRecoveryEngine(RecordStore& store, const std::string& contactsDb,
                           const std::string& smsDb);

// The current states of a phone's databases (contacts, messages and the
// messaging app's store), written as plain files
// into a private temporary folder (readable by the user alone) and removed
// with it when the object goes. A missing database's path here is empty.
// One without a -wal or -journal is its own current state, and one whose
// current state cannot be written stands for itself: its path here is its
// own.
class CurrentStateCopies {
  public:
    // bugleDb and callLogDb, when given, get a copy too (both are WAL
    // databases on recent phones).
    CurrentStateCopies(const std::string& contactsDb, const std::string& smsDb,
                       const std::string& bugleDb = {}, const std::string& callLogDb = {});
    ~CurrentStateCopies();
    CurrentStateCopies(const CurrentStateCopies&) = delete;
    CurrentStateCopies& operator=(const CurrentStateCopies&) = delete;

    const std::string& contactsDb() const { return m_contactsDb; }
    const std::string& smsDb() const { return m_smsDb; }
    const std::string& bugleDb() const { return m_bugleDb; }
    const std::string& callLogDb() const { return m_callLogDb; }
    // False when the temporary folder could not be made.
    bool madeFolder() const { return !m_folder.empty(); }

  private:
    std::string m_folder;
    std::string m_contactsDb;
    std::string m_smsDb;
    std::string m_bugleDb;
    std::string m_callLogDb;
};

// What the command line's list --deep, export --deep and report --deep do:
// a whole loading run over the current-state copies, then the deep
// engine's records joined to it (loadDeepRecords). When no private
// folder can be made for the copies, the live records are read from the
// main files as the classic run does, and false is returned so the caller
// can say so.
bool loadDeepAfterAcquisition(RecordStore& store, const std::string& contactsDb,
                              const std::string& smsDb);

// The same for a phone's set of databases: MMS and the messaging app's
// messages (dbs.bugleDb, when given) join the conversations too.
bool loadDeepAfterAcquisition(RecordStore& store, const PhoneDatabases& dbs);

} // namespace fennaro::deep

// The deleted-record recovery engine: carves deleted rows of table "data"
// (contacts2.db) or table "sms" (mmssms.db) out of the free space of the
// table's leaf pages and turns them into one tab-separated text.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "db_file.h"

struct sqlite3;

// What one engine run carves.
enum ePaserType {
    ePaserContacts = 0,
    ePaserSms = 1,
};

class SqliteParse {
  public:
    SqliteParse(const std::string& contactsDbPath, const std::string& smsDbPath);
    ~SqliteParse();
    SqliteParse(const SqliteParse&) = delete;
    SqliteParse& operator=(const SqliteParse&) = delete;

    // Performs one complete run; the outcome is the text get_contacts_mem returns.
    void startParse(ePaserType type);
    // Returns a copy of the result text (either kind of run).
    std::string get_contacts_mem() const;

  private:
    bool InitContacParseFile();
    bool InitSmsParseFile();
    void getDbPageSize(const std::string& path);

    void loopPage(int64_t page);
    void sortLeafPage();
    void loadFreelistCell(std::vector<unsigned int> leafPages);

    void parseContactFreelistCell(const int& rawContactIdColumn, const int& data1Column,
                                  const int& columnCount);
    void parseContactUnassignedArea(const int& rawContactIdColumn, const int& data1Column,
                                    const int& columnCount);
    void parseSmsFresslistCell(const int& addressColumn, const int& personColumn,
                               const int& bodyColumn, const int& columnCount);
    void parseSmsUnassignedArea(const int& addressColumn, const int& personColumn,
                                const int& bodyColumn, const int& columnCount);

    void saveContactRecover2File(const std::string& ignored);
    void saveSmsRecover2File(const std::string& ignored);

    // Calls carve(buffer, length) for every freeblock of m_freeblocks, or for
    // the unallocated gap of every page of m_leafPages, that has bytes to carve.
    template <typename Carve>
    void forEachFreeblock(Carve&& carve);
    template <typename Carve>
    void forEachGap(Carve&& carve);

    // Opens m_dbFile and checks that the run has what carving needs.
    bool openForCarving(const std::string& path);

    sqlite3* m_smsDb = nullptr;
    sqlite3* m_contactsDb = nullptr;
    int32_t m_rootPage = 0;
    int32_t m_pageSize = 0;
    std::string m_contactsDbPath;
    std::string m_smsDbPath;
    std::vector<unsigned int> m_leafPages;
    std::map<unsigned int, std::vector<unsigned int>> m_freeblocks;
    fennaro::DbFile m_dbFile;
    int32_t m_contactColumnCount = 0;
    int32_t m_smsColumnCount = 0;
    int32_t m_rawContactIdColumn = 0;
    int32_t m_data1Column = 0;
    int32_t m_addressColumn = 0;
    int32_t m_personColumn = 0;
    int32_t m_bodyColumn = 0;
    std::string m_recoveredText;
    std::vector<std::pair<std::string, std::string>> m_carvedContacts;
    std::vector<std::pair<std::string, std::string>> m_liveContactData;
    std::vector<std::tuple<std::string, std::string, std::string>> m_carvedSms;
};

// fennaro-recover search [--deep] CONTACTS_DB SMS_DB TEXT: loads the phone
// as list does and prints the records the window's search finds for TEXT:
// the matching contacts, then the matching conversations each followed by
// its matching messages, then (with --deep) the matching calls. Finding
// nothing is no failure: the status is 0 and nothing is printed.
#include <cstdio>
#include <string>

#include "commands.h"
#include "input_checks.h"
#include "phone/deep_load.h"
#include "phone/record_loader.h"
#include "phone/record_search.h"
#include "records/record_store.h"

namespace fennaro::cli {

int runSearchCommand(const Args& words) {
    bool deepRun = false;
    Args args = afterDeepFlag(words, &deepRun);
    OtherStoreFlags stores;
    if (!takeOtherStoreFlags(args, &stores) || args.size() != 3 || (stores.given() && !deepRun))
        return printUsage();
    if (!checkDatabaseCopies(args[0], args[1]) || !checkNamedStores(stores))
        return 1;
    const SearchQuery query = makeSearchQuery(args[2]);
    RecordStore store;
    if (deepRun)
        loadDeep(store, phoneDatabasesOf(args[0], args[1], stores));
    else
        loadAfterAcquisition(store, args[0], args[1]);
    if (store.contactsCategory.count != 0)
        printContactRows(store, &query);
    if (store.messageCategory.count != 0)
        printMessageRows(store, &query);
    std::string line;
    for (const deep::CallRecord& call : store.deep.calls) {
        if (recordMatches(callTexts(call), query))
            printCallRow(line, call);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace fennaro::cli

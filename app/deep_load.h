// The deep scan's side of a loading run, before the loading passes: the deep
// engine's recovered-record texts, and the copies' current state (each
// database with its journal or log applied) written to a private folder, so
// the live records show what the phone shows now and nothing of the pulled
// copies is changed. Qt-free; runs on the loading worker.
#pragma once

#include <string>

#include "acquire/local_copies.h"
#include "records/record_store.h"

namespace fennaro {

// What the loading passes read in a deep scan.
struct DeepLoadFiles {
    // A 0700 folder of its own below the temporary folder; empty when none
    // could be made (the live records then stay empty).
    std::string folder;
    // The current-state databases in it; a path that does not exist when a
    // copy is missing or could not be read.
    std::string contactsDb;
    std::string smsDb;
};

// Runs the deep engine on the copies into the store's engine texts, and
// writes the copies' current state into a fresh private folder.
DeepLoadFiles prepareDeepLoad(RecordStore& store, const LocalDbPaths& copies);

// Removes the private folder and what it holds.
void removeDeepLoadFiles(const DeepLoadFiles& files);

} // namespace fennaro

// The names of the folders and files an export run writes: the time-stamped
// output folder, the category folders and the conversation files.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "record_store.h"

namespace fennaro {

// Returns the output folder of a run started at now in chosenFolder:
// chosenFolder + "/Fennaro" + the local time as "%Y%m%d%H%M%S". A chosen
// folder that already ends with "/" (the root) gets no second separator.
std::string outputFolderName(const std::string& chosenFolder, std::time_t now);

// Creates the output folder of a run started at now and returns its path. A
// run never writes into an earlier run's folder: when the folder of that
// second exists already, the next second's name is taken. When the folder
// cannot be created (no such parent, no permission, no space) the path is
// returned all the same; the files below it then fail to open and their
// records are counted as not written.
std::string createOutputFolder(const std::string& chosenFolder, std::time_t now);

// Returns the folder name of a category: its tree caption when the category is
// checked in the tree; otherwise the caption cut before its first "(",
// followed by "(n)" with the number of its checked records ("Contacts (5)").
std::string categoryFolderName(const CategoryState& category, int32_t checkedRecords);

// Returns the file name of a conversation: its name with every "/" and every
// zero byte replaced by "_", cut at a whole UTF-8 character (a stray byte counts as one) so that
// the name plus ".txt" fits the 255 bytes a file name may have, then ".txt".
// The empty name gives ".txt".
std::string conversationFileName(std::string_view conversationName);

// Creates one folder; returns whether it was created.
bool makeFolder(const std::string& path);

// Makes the folder of a category ("Contacts (N)") below outputFolder and
// returns its path; a folder that cannot be made shows when its files fail.
std::string makeCategoryFolder(const std::string& outputFolder, const CategoryState& category,
                               int32_t checkedRecords);

} // namespace fennaro

// Numbers of the notifications the skinned controls and the workers send to
// the main window. They are kept as the original window-message values so
// logs and tests speak the same language as the rest of the program.
#pragma once

namespace skin {

constexpr int kWmUser = 0x0400;

constexpr int UM_LIST_ITEM_CHECK = kWmUser + 100;   // 1124
constexpr int UM_SHOW_CONTACT = kWmUser + 101;      // 1125
constexpr int UM_SHOW_CONVERSATION = kWmUser + 102; // 1126
constexpr int UM_HEADER_CHECK_ALL = kWmUser + 104;  // 1128
constexpr int UM_TREE_ITEM_CHECK = kWmUser + 105;   // 1129
constexpr int UM_LOAD_DONE = kWmUser + 109;         // 1133
constexpr int UM_EXPORT_DONE = kWmUser + 110;       // 1134
constexpr int UM_ACQUIRE_DONE = kWmUser + 111;      // 1135
constexpr int UM_UPDATE_FOUND = kWmUser + 112;      // 1136

// Check marks are state-image indexes, as in the list and the tree.
constexpr int kStateUnchecked = 1;
constexpr int kStateChecked = 2;

} // namespace skin

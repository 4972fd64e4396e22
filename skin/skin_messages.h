// Check marks as the list and the tree keep them: state-image indexes, so a
// row's state reads the same in both controls and in the window's logic.
// (The controls report changes through Qt signals, not window messages.)
#pragma once

namespace skin {

constexpr int kStateUnchecked = 1;
constexpr int kStateChecked = 2;

} // namespace skin

// Reading and writing check marks. The window changes check marks while the
// export worker reads them (the list and the tree stay usable during a
// Recover), so every access on either side goes through these atomic views.
#pragma once

#include <atomic>

#include "record_nodes.h"
#include "record_store.h"

namespace fennaro {

// Returns whether a contact (live, deleted or companion) is checked.
inline bool isChecked(ContactNode& contact) {
    return std::atomic_ref<int32_t>(contact.checked).load(std::memory_order_relaxed) != 0;
}

// Returns whether a conversation or a deleted message is checked.
inline bool isChecked(ThreadNode& thread) {
    return std::atomic_ref<uint8_t>(thread.checked).load(std::memory_order_relaxed) != 0;
}

// Sets a contact's check mark to state (1 checked, 0 not).
inline void setChecked(ContactNode& contact, int32_t state) {
    std::atomic_ref<int32_t>(contact.checked).store(state, std::memory_order_relaxed);
}

// Sets a conversation's or a deleted message's check mark (one byte).
inline void setChecked(ThreadNode& thread, int32_t state) {
    std::atomic_ref<uint8_t>(thread.checked)
        .store(static_cast<uint8_t>(state != 0 ? 1 : 0), std::memory_order_relaxed);
}

// Returns whether a deep mode conversation row is checked.
inline bool isChecked(deep::DeepConversation& conversation) {
    return std::atomic_ref<uint8_t>(conversation.checked).load(std::memory_order_relaxed) != 0;
}

// Returns whether a deep mode contact row is checked.
inline bool isChecked(deep::DeepContact& contact) {
    return std::atomic_ref<int32_t>(contact.checked).load(std::memory_order_relaxed) != 0;
}

// Sets a deep mode conversation row's check mark.
inline void setChecked(deep::DeepConversation& conversation, int32_t state) {
    std::atomic_ref<uint8_t>(conversation.checked)
        .store(static_cast<uint8_t>(state != 0 ? 1 : 0), std::memory_order_relaxed);
}

// Sets a deep mode contact row's check mark.
inline void setChecked(deep::DeepContact& contact, int32_t state) {
    std::atomic_ref<int32_t>(contact.checked).store(state, std::memory_order_relaxed);
}

// Returns whether a call of the call log is checked.
inline bool isChecked(deep::CallRecord& call) {
    return std::atomic_ref<int32_t>(call.checked).load(std::memory_order_relaxed) != 0;
}

// Sets a call's check mark.
inline void setChecked(deep::CallRecord& call, int32_t state) {
    std::atomic_ref<int32_t>(call.checked).store(state, std::memory_order_relaxed);
}

// Returns whether a category's check box in the tree is checked.
inline bool isChecked(const CategoryState& category) {
    return std::atomic_ref<bool>(const_cast<bool&>(category.checked))
        .load(std::memory_order_relaxed);
}

// Sets a category's check box state as the tree shows it.
inline void setChecked(CategoryState& category, bool checked) {
    std::atomic_ref<bool>(category.checked).store(checked, std::memory_order_relaxed);
}

} // namespace fennaro

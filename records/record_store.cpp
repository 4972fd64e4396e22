#include "record_store.h"

#include <utility>

namespace fennaro {

const char* categoryWord(RecordCategory category) {
    switch (category) {
    case RecordCategory::Contacts:
        return "Contacts";
    case RecordCategory::CallLog:
        return "Call log";
    case RecordCategory::Message:
        break;
    }
    return "Message";
}

CategoryState& categoryState(RecordStore& store, RecordCategory category) {
    return const_cast<CategoryState&>(categoryState(std::as_const(store), category));
}

const CategoryState& categoryState(const RecordStore& store, RecordCategory category) {
    switch (category) {
    case RecordCategory::Contacts:
        return store.contactsCategory;
    case RecordCategory::CallLog:
        return store.callLogCategory;
    case RecordCategory::Message:
        break;
    }
    return store.messageCategory;
}

void clearRecords(RecordStore& store) {
    // Move-assigning fresh lists frees the old nodes and their text blocks.
    store.contactLists = ContactLists{};
    store.smsLists = SmsLists{};
    store.deletedContacts.clear();
    store.deletedSms.clear();
    store.deletedTexts.clear();
    store.deep = deep::DeepRecordSet{};
}

void resetCategories(RecordStore& store) {
    for (RecordCategory category :
         {RecordCategory::Contacts, RecordCategory::Message, RecordCategory::CallLog}) {
        CategoryState& state = categoryState(store, category);
        state.caption = categoryWord(category);
        state.count = 0;
    }
}

} // namespace fennaro

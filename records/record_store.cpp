#include "record_store.h"

namespace fennaro {

const char* categoryWord(RecordCategory category) {
    return category == RecordCategory::Contacts ? "Contacts" : "Message";
}

CategoryState& categoryState(RecordStore& store, RecordCategory category) {
    return category == RecordCategory::Contacts ? store.contactsCategory : store.messageCategory;
}

const CategoryState& categoryState(const RecordStore& store, RecordCategory category) {
    return category == RecordCategory::Contacts ? store.contactsCategory : store.messageCategory;
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
    for (RecordCategory category : {RecordCategory::Contacts, RecordCategory::Message}) {
        CategoryState& state = categoryState(store, category);
        state.caption = categoryWord(category);
        state.count = 0;
    }
}

} // namespace fennaro

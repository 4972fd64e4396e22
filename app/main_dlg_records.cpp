// The data screen's record views: the list of the selected category, the
// boards that show the clicked record, and the check marks kept in step
// between the records, the list rows and the tree.
#include <QStringList>
#include <QTreeWidgetItem>

#include "app/main_dlg.h"
#include "records/check_marks.h"
#include "records/contact_fields.h"
#include "records/conversation_index.h"
#include "skin/header_ctrl_check.h"
#include "skin/list_view_check1.h"
#include "skin/skin_messages.h"
#include "skin/tree_view_ex1.h"
#include "views/contact_info_board.h"
#include "views/find_bar.h"
#include "views/msg_info_board.h"
#include "views/record_rows.h"

namespace fennaro {

namespace {

// The tree's check values for SetCheckState.
constexpr int kTreeUnchecked = 0x1000;
constexpr int kTreeChecked = 0x2000;

} // namespace

void CMainDlg::populateRecordList() {
    QTreeWidgetItem* item = m_tree->currentItem();
    if (item == nullptr || item == m_rootItem)
        return;
    const skin::TreeItemRecord* record = m_tree->GetItemRecord(item);
    if (record == nullptr || record->count == 0 || m_rows == nullptr)
        return;
    m_currentCategory = item;
    m_list->Header()->SetCheckAll(m_tree->GetStateImage(item) == skin::kStateChecked);
    m_list->DeleteAllItems();
    m_list->DeleteAllColumns();
    m_list->SetCellSource(nullptr);
    if (record->category == 3)
        fillTimelineRows();
    else if (record->category == 0)
        fillContactRows();
    else if (record->category == 2)
        fillCallRows();
    else
        fillMessageRows();
}

void CMainDlg::appendRows(const std::vector<RecordRow>& rows, bool (*checked)(void* record)) {
    // The texts were made when the store was loaded; only the check marks,
    // which the user changes, are read now.
    // A search hides the rows it does not find; their records keep their
    // check marks.
    const std::vector<uint32_t>* found = foundRows(rows);
    std::vector<skin::ListRow> listRows;
    listRows.reserve(found ? found->size() : rows.size());
    const auto add = [&](const RecordRow& row) {
        listRows.push_back({row.cells, row.record,
                            checked(row.record) ? skin::kStateChecked : skin::kStateUnchecked});
    };
    if (found)
        for (const uint32_t position : *found)
            add(rows[position]);
    else
        for (const RecordRow& row : rows)
            add(row);
    m_list->AppendRows(std::move(listRows));
}

void CMainDlg::fillContactRows() {
    if (m_messageBoard != nullptr)
        m_messageBoard->hide();
    m_list->hide();
    m_list->setGeometry(225, 32, 507, 576);
    m_list->InsertColumn(0, QStringLiteral("Name"), 150);
    m_list->InsertColumn(1, QStringLiteral("Phone"), 170);
    m_list->InsertColumn(2, QStringLiteral("Company"), 180);
    m_list->InsertColumn(3, QStringLiteral("Email"), 150);
    if (store().deep.loaded)
        appendRows(m_rows->contacts, [](void* record) {
            return isChecked(*static_cast<deep::DeepContact*>(record));
        });
    else
        appendRows(m_rows->contacts,
                   [](void* record) { return isChecked(*static_cast<ContactNode*>(record)); });
    if (m_contactBoard == nullptr) {
        m_contactBoard = new CContactInfoBoard(this);
        m_contactBoard->setIndex(m_contactIndex.get());
    }
    m_list->SetListKind(1);
    m_list->show();
    m_contactBoard->show();
    showContactOnBoard(m_list->GetItemCount() > 0 ? m_list->GetItemData(0) : nullptr);
}

void CMainDlg::fillMessageRows() {
    if (m_contactBoard != nullptr)
        m_contactBoard->hide();
    m_list->hide();
    m_list->setGeometry(225, 32, 497, 576);
    m_list->InsertColumn(0, QStringLiteral("Name"), 220);
    m_list->InsertColumn(1, QStringLiteral("Phone"), 276);
    if (store().deep.loaded)
        appendRows(m_rows->messages, [](void* record) {
            return isChecked(*static_cast<deep::DeepConversation*>(record));
        });
    else
        appendRows(m_rows->messages,
                   [](void* record) { return isChecked(*static_cast<ThreadNode*>(record)); });
    if (m_messageBoard == nullptr) {
        m_messageBoard = new CMsgInfoBoard(this);
        m_messageBoard->setIndex(m_conversationIndex.get());
    }
    m_messageBoard->setHighlight(m_findBar->text().trimmed());
    const bool hasRows = m_list->GetItemCount() > 0;
    if (hasRows) {
        m_list->SelectRow(0);
        m_list->setFocus();
        m_list->EnsureVisible(0);
    }
    showConversationOnBoard(hasRows ? m_list->GetItemData(0) : nullptr);
    m_list->SetListKind(2);
    m_list->show();
    m_messageBoard->show();
}

void CMainDlg::fillCallRows() {
    if (m_messageBoard != nullptr)
        m_messageBoard->hide();
    m_list->hide();
    m_list->setGeometry(225, 32, 507, 576);
    // The columns leave room for the vertical scroll bar, so that Duration
    // shows whole without scrolling sideways.
    m_list->InsertColumn(0, QStringLiteral("Name"), 120);
    m_list->InsertColumn(1, QStringLiteral("Number"), 104);
    m_list->InsertColumn(2, QStringLiteral("Date"), 128);
    m_list->InsertColumn(3, QStringLiteral("Type"), 68);
    m_list->InsertColumn(4, QStringLiteral("Duration"), 70);
    appendRows(m_rows->calls,
               [](void* record) { return isChecked(*static_cast<deep::CallRecord*>(record)); });
    // The calls' details stand on the contact board, in its label/value
    // layout.
    if (m_contactBoard == nullptr) {
        m_contactBoard = new CContactInfoBoard(this);
        m_contactBoard->setIndex(m_contactIndex.get());
    }
    m_list->SetListKind(3);
    m_list->show();
    m_contactBoard->show();
    showCallOnBoard(m_list->GetItemCount() > 0 ? m_list->GetItemData(0) : nullptr);
}

void CMainDlg::showCallLogItem() {
    const bool shown = store().deep.loaded && store().callLogCategory.count != 0;
    m_callLogItem->setHidden(!shown);
    if (!shown) {
        const QString bare = QString::fromUtf8(categoryWord(RecordCategory::CallLog));
        m_tree->SetItemInfo(&bare, m_callLogItem, 0);
    }
}

void CMainDlg::onTreeItemCheck(QTreeWidgetItem* item, int state) {
    if (item == nullptr)
        return;
    if (item == m_timelineItem) {
        // A view of other categories' records has no mark of its own.
        m_tree->SetCheckState(item, kTreeChecked);
        recomputeRootCheck();
        return;
    }
    if (item == m_currentCategory) {
        m_list->Header()->SetCheckAll(state == 1);
        for (int row = 0, rows = m_list->GetItemCount(); row < rows; ++row)
            m_list->SetStateImage(row, state == 1 ? skin::kStateChecked : skin::kStateUnchecked);
        m_list->viewport()->update();
    }
    const int32_t mark = state == 1 ? 1 : 0;
    if (item == m_contactsItem) {
        setChecked(store().contactsCategory, state == 1);
        for (ContactNode& companion : store().contactLists.companionContacts)
            setChecked(companion, mark);
        for (ContactNode& contact : store().contactLists.contacts)
            setChecked(contact, mark);
        for (ContactNode& contact : store().deletedContacts)
            setChecked(contact, mark);
        for (deep::DeepContact& contact : store().deep.contactRows)
            setChecked(contact, mark);
    } else if (item == m_messageItem) {
        setChecked(store().messageCategory, state == 1);
        for (ThreadNode& thread : store().smsLists.threads)
            setChecked(thread, mark);
        for (ThreadNode& sms : store().deletedSms)
            setChecked(sms, mark);
        for (deep::DeepConversation& conversation : store().deep.conversations)
            setChecked(conversation, mark);
    } else if (item == m_callLogItem) {
        setChecked(store().callLogCategory, state == 1);
        for (deep::CallRecord& call : store().deep.calls)
            setChecked(call, mark);
    }
    mirrorTimelineChecks();
}

void CMainDlg::onListItemCheck(int row, int state) {
    void* data = m_list->GetItemData(row);
    if (data == nullptr || m_currentCategory == nullptr)
        return;
    // A row's data is its record: setting the mark through it is what
    // looking the record up among the live and deleted ones would find.
    if (m_currentCategory == m_timelineItem) {
        onTimelineCheck(data, state);
        return;
    }
    const int32_t mark = state == 1 ? 1 : 0;
    if (store().deep.loaded && m_currentCategory == m_contactsItem)
        setChecked(*static_cast<deep::DeepContact*>(data), mark);
    else if (store().deep.loaded && m_currentCategory == m_messageItem)
        setChecked(*static_cast<deep::DeepConversation*>(data), mark);
    else if (store().deep.loaded && m_currentCategory == m_callLogItem)
        setChecked(*static_cast<deep::CallRecord*>(data), mark);
    else if (m_currentCategory == m_contactsItem)
        setChecked(*static_cast<ContactNode*>(data), mark);
    else if (m_currentCategory == m_messageItem)
        setChecked(*static_cast<ThreadNode*>(data), mark);
    else
        return;
    setCategoryChecked(m_currentCategory, m_list->Header()->IsCheckAll());
    recomputeRootCheck();
}

void CMainDlg::onListClick(int) {
    const int row = m_list->GetSelectedRow();
    if (row < 0)
        return;
    void* data = m_list->GetItemData(row);
    if (m_currentCategory == m_contactsItem && m_contactBoard != nullptr)
        showContactOnBoard(data);
    else if (m_currentCategory == m_messageItem && m_messageBoard != nullptr)
        showConversationOnBoard(data);
    else if (m_currentCategory == m_callLogItem && m_contactBoard != nullptr)
        showCallOnBoard(data);
    else if (m_currentCategory == m_timelineItem && m_messageBoard != nullptr)
        showTimelineEvent(data);
}

void CMainDlg::showContactOnBoard(const void* record) {
    if (store().deep.loaded)
        m_contactBoard->showDeepContact(static_cast<const deep::DeepContact*>(record));
    else
        m_contactBoard->showContact(static_cast<const ContactNode*>(record));
}

void CMainDlg::showConversationOnBoard(const void* record) {
    if (store().deep.loaded)
        m_messageBoard->showDeepConversation(static_cast<const deep::DeepConversation*>(record));
    else
        m_messageBoard->showConversation(static_cast<const ThreadNode*>(record));
}

void CMainDlg::showCallOnBoard(const void* record) {
    m_contactBoard->showCall(static_cast<const deep::CallRecord*>(record));
}

void CMainDlg::setCategoryChecked(QTreeWidgetItem* item, bool checked) {
    m_tree->SetCheckState(item, checked ? kTreeChecked : kTreeUnchecked);
    if (item == m_contactsItem)
        setChecked(store().contactsCategory, checked);
    else if (item == m_messageItem)
        setChecked(store().messageCategory, checked);
    else if (item == m_callLogItem)
        setChecked(store().callLogCategory, checked);
}

void CMainDlg::recomputeRootCheck() {
    // Contacts, Message and, in deep mode, the call log when it is shown.
    for (QTreeWidgetItem* category : {m_contactsItem, m_messageItem, m_callLogItem}) {
        if (category != nullptr && !category->isHidden() &&
            m_tree->GetStateImage(category) == skin::kStateUnchecked) {
            m_tree->SetCheckState(m_rootItem, kTreeUnchecked);
            return;
        }
    }
    m_tree->SetCheckState(m_rootItem, kTreeChecked);
}

void CMainDlg::takeLoadedViews() {
    // An indexing run of earlier rows ends before those rows go.
    resetFind(false);
    LoadedViews views = m_flow->takeLoadedViews();
    m_contactIndex = std::move(views.contactIndex);
    m_conversationIndex = std::move(views.conversationIndex);
    m_rows = std::make_unique<RecordRows>(std::move(views.rows));
    resetFind(true);
    if (m_contactBoard != nullptr)
        m_contactBoard->setIndex(m_contactIndex.get());
    if (m_messageBoard != nullptr)
        m_messageBoard->setIndex(m_conversationIndex.get());
}

} // namespace fennaro

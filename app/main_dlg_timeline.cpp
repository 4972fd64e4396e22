// The timeline category of the data screen: every dated message and call of
// deep mode, newest first. Its rows hold no texts (a phone may have half a
// million messages): the list asks for a row's texts when it paints it. A
// click opens the event where it belongs: a message in its conversation,
// scrolled to it, a call on the call board.
#include <QTimer>
#include <QTreeWidgetItem>

#include "app/main_dlg.h"
#include "records/check_marks.h"
#include "records/timeline.h"
#include "skin/header_ctrl_check.h"
#include "skin/list_view_check1.h"
#include "skin/skin_messages.h"
#include "skin/tree_view_ex1.h"
#include "views/contact_info_board.h"
#include "views/msg_info_board.h"
#include "views/record_rows.h"

namespace fennaro {

namespace {

// The tree's check values for SetCheckState.
constexpr int kTreeChecked = 0x2000;
constexpr int kTreeUnchecked = 0x1000;

// Returns a UTF-8 text as a cell's.
QString cellText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Returns one cell of an event's row: Date, Event, Number, Name, Text.
QString timelineCell(const void* record, int column) {
    if (record == nullptr)
        return {};
    const TimelineEvent& event = *static_cast<const TimelineEvent*>(record);
    switch (column) {
    case 0:
        return cellText(timelineDateLine(event));
    case 1:
        return cellText(timelineEventWord(event));
    case 2:
        return cellText(timelineNumber(event));
    case 3:
        return cellText(timelineName(event));
    case 4:
        return cellText(timelineDetail(event));
    default:
        return {};
    }
}

// Returns whether the record an event shows is checked.
bool eventChecked(const TimelineEvent& event) {
    if (event.conversation != nullptr)
        return isChecked(*event.conversation);
    return event.call != nullptr && isChecked(*event.call);
}

} // namespace

void CMainDlg::showTimelineItem() {
    const size_t count = m_rows != nullptr ? m_rows->timeline.size() : 0;
    m_timelineItem->setHidden(count == 0);
    const QString caption =
        count == 0 ? QStringLiteral("Timeline") : QStringLiteral("Timeline (%1)").arg(count);
    m_tree->SetItemInfo(&caption, m_timelineItem, static_cast<int>(count));
    m_tree->SetCheckState(m_timelineItem, count == 0 ? kTreeUnchecked : kTreeChecked);
}

void CMainDlg::fillTimelineRows() {
    if (m_contactBoard != nullptr)
        m_contactBoard->hide();
    m_list->hide();
    m_list->setGeometry(225, 32, 497, 576);
    // The columns leave room for the vertical scroll bar; the board beside
    // the list shows a message's whole text.
    m_list->InsertColumn(0, QStringLiteral("Date"), 166);
    m_list->InsertColumn(1, QStringLiteral("Event"), 88);
    m_list->InsertColumn(2, QStringLiteral("Number"), 100);
    m_list->InsertColumn(3, QStringLiteral("Name"), 66);
    m_list->InsertColumn(4, QStringLiteral("Text"), 60);
    // The kind first: the deleted marks of the new rows are read by it.
    m_list->SetListKind(4);
    m_list->SetCellSource(timelineCell);
    std::vector<skin::ListRow> rows;
    rows.reserve(m_rows->timeline.size());
    for (TimelineEvent& event : m_rows->timeline)
        rows.push_back(
            {{}, &event, eventChecked(event) ? skin::kStateChecked : skin::kStateUnchecked});
    bool all = true;
    for (const skin::ListRow& row : rows)
        all = all && row.stateImage == skin::kStateChecked;
    m_list->AppendRows(std::move(rows));
    m_list->Header()->SetCheckAll(all);
    if (m_messageBoard == nullptr) {
        m_messageBoard = new CMsgInfoBoard(this);
        m_messageBoard->setIndex(m_conversationIndex.get());
    }
    const bool hasRows = m_list->GetItemCount() > 0;
    if (hasRows) {
        m_list->SelectRow(0);
        m_list->EnsureVisible(0);
    }
    m_list->show();
    showTimelineEvent(hasRows ? m_list->GetItemData(0) : nullptr);
}

void CMainDlg::showTimelineEvent(void* record) {
    const auto* event = static_cast<const TimelineEvent*>(record);
    if (event != nullptr && event->call != nullptr) {
        if (m_contactBoard == nullptr) {
            m_contactBoard = new CContactInfoBoard(this);
            m_contactBoard->setIndex(m_contactIndex.get());
        }
        m_messageBoard->hide();
        m_contactBoard->show();
        showCallOnBoard(event->call);
        return;
    }
    if (m_contactBoard != nullptr)
        m_contactBoard->hide();
    m_messageBoard->show();
    if (event == nullptr)
        m_messageBoard->showDeepConversation(nullptr);
    else
        m_messageBoard->showDeepMessage(event->conversation, event->entry);
}

void CMainDlg::onTimelineCheck(void* record, int state) {
    auto* event = static_cast<TimelineEvent*>(record);
    const int32_t mark = state == 1 ? 1 : 0;
    if (event->conversation != nullptr)
        setChecked(*event->conversation, mark);
    else if (event->call != nullptr)
        setChecked(*event->call, mark);
    // A message's mark is its conversation's: its other events follow.
    if (!m_timelineSyncPending) {
        m_timelineSyncPending = true;
        QTimer::singleShot(0, this, [this] {
            m_timelineSyncPending = false;
            if (m_rows == nullptr)
                return;
            mirrorTimelineChecks();
            syncCategoriesFromTimeline();
        });
    }
}

void CMainDlg::mirrorTimelineChecks() {
    if (m_currentCategory != m_timelineItem)
        return;
    bool all = true;
    for (int row = 0, rows = m_list->GetItemCount(); row < rows; ++row) {
        const auto* event = static_cast<const TimelineEvent*>(m_list->GetItemData(row));
        const bool checked = event != nullptr && eventChecked(*event);
        m_list->SetStateImage(row, checked ? skin::kStateChecked : skin::kStateUnchecked);
        all = all && checked;
    }
    m_list->Header()->SetCheckAll(all);
    m_list->viewport()->update();
}

void CMainDlg::syncCategoriesFromTimeline() {
    bool allConversations = true;
    for (deep::DeepConversation& conversation : store().deep.conversations)
        allConversations = allConversations && isChecked(conversation);
    bool allCalls = true;
    for (deep::CallRecord& call : store().deep.calls)
        allCalls = allCalls && isChecked(call);
    setCategoryChecked(m_messageItem, allConversations);
    if (!m_callLogItem->isHidden())
        setCategoryChecked(m_callLogItem, allCalls);
    recomputeRootCheck();
    m_tree->viewport()->update();
}

} // namespace fennaro

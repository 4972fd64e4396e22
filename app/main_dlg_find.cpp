// The data screen's search: the field in the title bar filters the rows of
// the category shown as the user types, the boards mark the typed text, and
// F3 steps through the matches. Filtering only hides rows: check marks stay
// on the records, so Recover writes what is checked, shown or not.
#include <QLineEdit>
#include <QShortcut>

#include "app/main_dlg.h"
#include "app/row_search.h"
#include "skin/list_view_check1.h"
#include "skin/tree_view_ex1.h"
#include "views/contact_info_board.h"
#include "views/find_bar.h"
#include "views/msg_info_board.h"
#include "views/record_rows.h"

namespace fennaro {

void CMainDlg::setUpFind() {
    m_search = std::make_unique<RowSearch>();
    m_findBar = new FindBar(this);
    connect(m_findBar, &FindBar::textEdited, this, &CMainDlg::onFindEdited);
    connect(m_findBar, &FindBar::stepRequested, this, &CMainDlg::onFindStep);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, m_findBar, &FindBar::clear);
}

void CMainDlg::resetFind(bool shown) {
    if (m_findBar == nullptr)
        return;
    m_search->reset();
    if (shown && m_rows != nullptr)
        m_search->prepare(*m_rows, {&store(), m_contactIndex.get(), m_conversationIndex.get()});
    m_findBar->field()->clear();
    m_findBar->setCount(0, 0);
    m_findBar->setVisible(shown);
    if (m_messageBoard != nullptr)
        m_messageBoard->setHighlight({});
    if (m_contactBoard != nullptr)
        m_contactBoard->setHighlight({});
}

const std::vector<uint32_t>* CMainDlg::foundRows(const std::vector<RecordRow>& rows) {
    if (!m_search->active() || m_rows == nullptr) {
        m_findBar->setCount(0, 0);
        return nullptr;
    }
    const RecordCategory category = &rows == &m_rows->contacts   ? RecordCategory::Contacts
                                    : &rows == &m_rows->messages ? RecordCategory::Message
                                                                 : RecordCategory::CallLog;
    const std::vector<uint32_t>& found = m_search->matches(
        category, rows, {&store(), m_contactIndex.get(), m_conversationIndex.get()});
    m_findBar->setCount(static_cast<qsizetype>(found.size()), static_cast<qsizetype>(rows.size()));
    return &found;
}

void CMainDlg::onFindEdited(const QString& text) {
    const bool typing = m_findBar->field()->hasFocus();
    m_search->setText(text.toStdString());
    // The boards are made when their category is first shown; a board made
    // later takes the text from here too.
    populateRecordList();
    if (m_contactBoard != nullptr)
        m_contactBoard->setHighlight(text.trimmed());
    if (m_messageBoard != nullptr) {
        m_messageBoard->setHighlight(text.trimmed());
        if (m_currentCategory == m_messageItem)
            m_messageBoard->stepMatch(true);
    }
    // Filling the list gives it the focus; the user goes on typing.
    if (typing)
        m_findBar->field()->setFocus();
}

void CMainDlg::onFindStep(bool forward) {
    if (m_currentCategory == nullptr || !m_list->isVisible())
        return;
    const bool messages = m_currentCategory == m_messageItem && m_messageBoard != nullptr;
    if (messages && m_messageBoard->stepMatch(forward))
        return;
    // Past the last match of this record: the next row the list shows.
    const int row = m_list->GetSelectedRow() + (forward ? 1 : -1);
    if (row < 0 || row >= m_list->GetItemCount())
        return;
    m_list->SelectRow(row);
    m_list->EnsureVisible(row);
    onListClick(row);
    if (messages)
        m_messageBoard->stepMatch(forward);
}

} // namespace fennaro

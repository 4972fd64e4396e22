#include "views/msg_info_board.h"

#include "views/board_colors.h"
#include "views/board_find.h"
#include "views/board_scrolling.h"
#include "views/bubble_pictures.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

namespace fennaro {

namespace {

// Returns the body of a deleted SMS: the text after its second TAB; empty
// without one.
std::string_view deletedSmsBody(std::string_view text) {
    const std::size_t first = text.find('\t');
    const std::size_t from = first == std::string_view::npos ? 0 : first + 1;
    const std::size_t second = text.find('\t', from);
    if (second == std::string_view::npos)
        return {};
    return text.substr(second + 1);
}

} // namespace

CMsgInfoBoard::CMsgInfoBoard(QWidget* mainDlg)
    : QWidget(mainDlg), m_fonts(std::make_unique<MsgItemFonts>()),
      m_pictures(std::make_unique<BubblePictures>()) {
    setGeometry(723, 34, 251, 575);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_bar = makeBoardScrollBar(this);
    m_bar->setPageStep(clientRect().height() / kScrollUnit);
    connect(m_bar, &QScrollBar::valueChanged, this, &CMsgInfoBoard::scrolledTo);
    show();
}

CMsgInfoBoard::~CMsgInfoBoard() = default;

void CMsgInfoBoard::setIndex(const ConversationIndex* index) {
    m_index = index;
}

void CMsgInfoBoard::showConversation(const ThreadNode* record) {
    m_items.clear();
    if (record) {
        if (record->deleted != 0) {
            addMessageItem(this, {}, deletedSmsBody(record->text), kMsgKindSent);
        } else if (m_index) {
            const auto messages = m_index->messagesOf(record->conversationId);
            m_items.reserve(messages.size());
            for (const MessageNode* message : messages)
                addMessageItem(this, message->dateLine, message->body,
                               message->type == 1 ? kMsgKindReceived : kMsgKindSent);
        }
    }
    // A new conversation always starts at its top.
    m_currentMatch = -1;
    updateScrollRange();
    m_bar->setValue(0);
    m_offset = 0;
    update();
}

void CMsgInfoBoard::showDeepConversation(const deep::DeepConversation* conversation) {
    m_items.clear();
    if (conversation) {
        m_items.reserve(conversation->messages.size());
        for (const deep::ConversationEntry& message : conversation->messages) {
            std::string header(message.dateLine.empty() && message.deleted
                                   ? std::string_view("(no date)")
                                   : std::string_view(message.dateLine));
            // A message of the phone's other stores says which beside its date.
            const std::string mark = message.deleted
                                         ? deep::storeMark(*message.deleted)
                                         : std::string(message.liveAlsoInApp ? "+app" : "");
            if (!mark.empty())
                header += "  [" + mark + "]";
            const size_t before = m_items.size();
            addMessageItem(this, header, message.body,
                           message.received ? kMsgKindReceived : kMsgKindSent);
            if (deep::isDeletedEntry(message) && m_items.size() > before)
                m_items.back().deleted = true;
        }
    }
    m_currentMatch = -1;
    updateScrollRange();
    m_bar->setValue(0);
    m_offset = 0;
    update();
}

void CMsgInfoBoard::clearContent() {
    m_items.clear();
    m_items.shrink_to_fit();
    m_index = nullptr;
    updateScrollRange();
    update();
}

int CMsgInfoBoard::nextItemY() const {
    if (m_items.empty())
        return kFirstMsgItemY;
    return m_items.back().y + m_items.back().height;
}

void CMsgInfoBoard::appendItem(CMsgInfoItem item) {
    item.y = nextItemY();
    m_items.push_back(std::move(item));
}

int CMsgInfoBoard::contentHeight() const {
    return nextItemY();
}

void CMsgInfoBoard::updateScrollRange() {
    // The last unit may be partly filled: round up, so the bottom of the
    // last bubble can always be brought into view.
    const int client = clientRect().height();
    const int beyond = std::max(0, contentHeight() - client);
    const int maximum = (beyond + kScrollUnit - 1) / kScrollUnit;
    m_bar->setRange(0, maximum);
    m_bar->setPageStep(std::max(1, client / kScrollUnit));
    m_bar->setEnabled(maximum > 0);
}

int CMsgInfoBoard::scrollPosition() const {
    return m_bar->value();
}

int CMsgInfoBoard::scrollMaximum() const {
    return m_bar->maximum();
}

void CMsgInfoBoard::setScrollPosition(int units) {
    m_bar->setValue(units);
}

QRect CMsgInfoBoard::clientRect() const {
    return QRect(0, 0, width() - (m_bar ? m_bar->width() : 0), height());
}

void CMsgInfoBoard::scrolledTo(int units) {
    const int offset = units * kScrollUnit;
    if (offset == m_offset)
        return;
    m_offset = offset;
    update(clientRect());
}

std::size_t CMsgInfoBoard::firstItemBelow(long long contentY) const {
    const auto it =
        std::partition_point(m_items.begin(), m_items.end(), [&](const CMsgInfoItem& i) {
            return static_cast<long long>(i.y) + i.height <= contentY;
        });
    return static_cast<std::size_t>(it - m_items.begin());
}

void CMsgInfoBoard::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRect client = clientRect();
    const QRect visible = event->rect() & client;
    p.fillRect(visible, kMsgBoardBackground);
    // Items are found by content height and placed relative to the board's
    // top, so positions stay small however far the board is scrolled.
    const long long contentTop = static_cast<long long>(m_offset) + visible.top();
    const long long contentBottom = static_cast<long long>(m_offset) + visible.bottom();
    for (std::size_t i = firstItemBelow(contentTop); i < m_items.size(); ++i) {
        const CMsgInfoItem& item = m_items[i];
        if (item.y > contentBottom)
            break;
        const ItemHighlight highlight{m_highlight, static_cast<int>(i) == m_currentMatch};
        paintMsgInfoItem(p, item, item.x, item.y - m_offset, *m_fonts, *m_pictures, visible,
                         m_highlight.isEmpty() ? nullptr : &highlight);
    }
    p.setPen(kBoardEdgeLine);
    p.drawLine(0, visible.top(), 0, visible.bottom());
}

void CMsgInfoBoard::setHighlight(const QString& term) {
    m_highlight = term;
    m_currentMatch = -1;
    update();
}

bool CMsgInfoBoard::stepMatch(bool forward) {
    const int found = nextMatchingItem(m_items, m_highlight, m_currentMatch, forward);
    if (found < 0)
        return false;
    m_currentMatch = found;
    // The match stands a little below the board's top, with what led to it
    // above.
    const CMsgInfoItem& item = m_items[static_cast<std::size_t>(found)];
    const int top = std::max(0, item.y - kMsgHeaderHeight);
    const bool inView =
        item.y >= m_offset && item.y + item.height <= m_offset + clientRect().height();
    if (!inView)
        m_bar->setValue(top / kScrollUnit);
    update();
    return true;
}

void CMsgInfoBoard::wheelEvent(QWheelEvent* event) {
    const int notches = wheelNotchesDown(*event, m_wheelRest);
    if (notches != 0)
        m_bar->setValue(m_bar->value() + notches * kWheelUnits);
    event->accept();
}

void CMsgInfoBoard::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        setFocus(Qt::MouseFocusReason);
    event->accept();
}

void CMsgInfoBoard::keyPressEvent(QKeyEvent* event) {
    if (!scrollByKey(*m_bar, *event))
        QWidget::keyPressEvent(event);
}

} // namespace fennaro

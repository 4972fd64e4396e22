#include "views/contact_info_board.h"

#include "skin/font_pool.h"
#include "skin/skin_image.h"
#include "skin/text_draw.h"
#include "views/board_colors.h"
#include "views/board_find.h"
#include "views/board_scrolling.h"
#include "views/char_wrap.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

namespace fennaro {

namespace {

// The label of the one item a deleted contact shows.
const char* const kDeletedContactLabel = "Mobile:";
// The contact's picture: its place and size on the board.
const QRect kPictureRect(20, 20, 62, 62);
// The name line's top and bottom.
constexpr int kNameTop = 20;
constexpr int kNameBottom = 38;
// Organization lines: the gap above each and its height.
constexpr int kOrganizationGap = 3;
constexpr int kOrganizationHeight = 12;
// The content never grows past this height, so no position overflows.
constexpr long long kMaxContentHeight = 1LL << 30;

// Converts a UTF-8 text of the records; stray bytes show as U+FFFD.
QString fromRecord(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// Converts a left/top/right/bottom rectangle into a QRect, shifted up by dy.
QRect toRect(const skin::SkinRect& r, int dy) {
    return QRect(r.left, r.top - dy, r.right - r.left, r.bottom - r.top);
}

} // namespace

CContactInfoBoard::CContactInfoBoard(QWidget* mainDlg) : QWidget(mainDlg) {
    setGeometry(733, 34, 241, 575);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_picture = skin::LoadSkinImage(QStringLiteral("contactperson.png"));
    m_deletedMark = skin::LoadSkinImage(QStringLiteral("deleted.png"));
    m_bar = makeBoardScrollBar(this);
    connect(m_bar, &QScrollBar::valueChanged, this, &CContactInfoBoard::scrolledTo);
    finishLayout();
    show();
}

void CContactInfoBoard::setIndex(const ContactDataIndex* index) {
    m_index = index;
}

void CContactInfoBoard::showContact(const ContactNode* record) {
    if (!record)
        return;
    dropTexts();
    if (record->deleted != 0) {
        // A deleted contact is its carved line: the name, a TAB, the number.
        const std::size_t tab = record->text.find('\t');
        if (tab != std::string_view::npos) {
            m_name = fromRecord(record->text.substr(0, tab));
            addItem(QString::fromLatin1(kDeletedContactLabel),
                    fromRecord(record->text.substr(tab + 1)));
        }
    } else if (m_index) {
        const ContactBoardFields fields = contactBoardFields(*record, *m_index);
        m_name = fromRecord(fields.name);
        m_company = fromRecord(fields.company);
        m_secondLine = fromRecord(fields.secondLine);
        m_thirdLine = fromRecord(fields.thirdLine);
        for (const ContactBoardItem& item : fields.items)
            addItem(fromRecord(item.label), fromRecord(item.value));
    } else {
        m_name = fromRecord(boardDisplayName(*record));
    }
    finishLayout();
}

void CContactInfoBoard::showDeepContact(const deep::DeepContact* contact) {
    if (!contact)
        return;
    if (contact->live) {
        showContact(contact->live);
    } else {
        dropTexts();
        m_name = fromRecord(deep::deletedContactName(*contact->deleted, nullptr));
        m_deletedContact = true;
        if (const deep::ContactField* company =
                deep::firstField(*contact->deleted, deep::FieldKind::Organization)) {
            m_company = fromRecord(company->value);
            m_secondLine = fromRecord(company->secondLine);
            m_thirdLine = fromRecord(company->thirdLine);
        }
    }
    if (contact->deleted) {
        for (const deep::ContactField& field : contact->deleted->fields) {
            // The name stands in the header, the first company under it.
            if (field.kind == deep::FieldKind::Name && fromRecord(field.value) == m_name)
                continue;
            addItem(fromRecord(field.label), fromRecord(field.value));
            m_items.back().deleted = true;
        }
    }
    finishLayout();
}

void CContactInfoBoard::clearContent() {
    dropTexts();
    m_index = nullptr;
    finishLayout();
}

void CContactInfoBoard::dropTexts() {
    m_deletedContact = false;
    m_name.clear();
    m_company.clear();
    m_secondLine.clear();
    m_thirdLine.clear();
    m_items.clear();
    m_nextY = kFirstItemY;
}

void CContactInfoBoard::addItem(QString label, QString value) {
    // The value wraps in the column between L + 100 and R - 5; the label
    // takes the height of its value's first line.
    const QRect client = clientRect();
    const int left = client.left();
    const int right = client.left() + client.width();
    const QFontMetrics fm(skin::PoolFontOr(256));
    BoardItem item;
    const CharWrap wrap = wrapCharacters(fm, value, (right - 5) - (left + 100), true);
    item.lineHeight = value.isEmpty() ? 0 : fm.height();
    const long long bottom = m_nextY + static_cast<long long>(wrap.lineCount) * item.lineHeight;
    if (bottom + kSpacerHeight > kMaxContentHeight)
        return;
    item.label = std::move(label);
    item.value = std::move(value);
    item.valueLines = wrap.shownLines;
    item.labelRect = {left + 5, m_nextY, left + 95, m_nextY + item.lineHeight};
    item.valueRect = {left + 100, m_nextY, right - 5, static_cast<int>(bottom)};
    m_nextY = item.valueRect.bottom;
    m_items.push_back(std::move(item));
}

void CContactInfoBoard::finishLayout() {
    const QRect client = clientRect();
    const int left = client.left();
    const int right = client.left() + client.width();
    const int y = m_nextY;
    m_extent = y;
    if (y > client.height()) {
        BoardItem spacer;
        spacer.labelRect = {left + 10, y, left + 80, y + kSpacerHeight};
        spacer.valueRect = {left + 85, y, right - 5, y + kSpacerHeight};
        m_items.push_back(std::move(spacer));
        m_extent = y + kSpacerHeight;
    }
    const int maximum = std::max(0, m_extent - client.height());
    m_bar->setRange(0, maximum);
    m_bar->setPageStep(client.height());
    m_bar->setEnabled(maximum > 0);
    m_bar->setValue(0);
    m_offset = 0;
    update();
}

QRect CContactInfoBoard::nameRect() const {
    const int right = clientRect().left() + clientRect().width();
    const int left = 35 + m_picture.width();
    return QRect(left, kNameTop, right - 5 - left, kNameBottom - kNameTop);
}

int CContactInfoBoard::scrollPosition() const {
    return m_bar->value();
}

int CContactInfoBoard::scrollMaximum() const {
    return m_bar->maximum();
}

void CContactInfoBoard::setScrollPosition(int pixels) {
    m_bar->setValue(pixels);
}

QRect CContactInfoBoard::clientRect() const {
    return QRect(0, 0, width() - (m_bar ? m_bar->width() : 0), height());
}

void CContactInfoBoard::scrolledTo(int pixels) {
    if (pixels == m_offset)
        return;
    m_offset = pixels;
    update(clientRect());
}

void CContactInfoBoard::paintHeader(QPainter& p, const QRect& visible) {
    if (!m_picture.isNull() && kPictureRect.translated(0, -m_offset).intersects(visible))
        p.drawImage(kPictureRect.translated(0, -m_offset), m_picture);
    // A deleted contact carries the list's trash mark on its picture.
    if (m_deletedContact && !m_deletedMark.isNull())
        p.drawImage(kPictureRect.bottomRight() -
                        QPoint(m_deletedMark.width(), m_deletedMark.height()) +
                        QPoint(1, 1 - m_offset),
                    m_deletedMark);
    QRect line = nameRect().translated(0, -m_offset);
    if (!m_name.isEmpty() && line.intersects(visible)) {
        p.setFont(skin::PoolFontOr(1280));
        p.setPen(m_deletedContact ? kDeletedEdgeColor : kContactNameColor);
        if (!m_highlight.isEmpty())
            paintLineHighlights(p, line, m_name, QFontMetricsF(p.font()), {m_highlight, false});
        skin::DrawElidedLine(p, line, m_name, Qt::AlignLeft | Qt::AlignVCenter);
    }
    p.setFont(skin::PoolFontOr(65280));
    p.setPen(kOrganizationColor);
    for (const QString* text : {&m_company, &m_secondLine, &m_thirdLine}) {
        if (text->isEmpty())
            continue;
        line = QRect(line.left(), line.bottom() + 1 + kOrganizationGap, line.width(),
                     kOrganizationHeight);
        if (line.intersects(visible))
            skin::DrawElidedLine(p, line, *text, Qt::AlignLeft | Qt::AlignVCenter);
    }
}

void CContactInfoBoard::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRect visible = event->rect() & clientRect();
    p.fillRect(visible, kContactBoardBackground);
    paintHeader(p, visible);
    p.setFont(skin::PoolFontOr(256));
    for (const BoardItem& item : m_items) {
        if (item.valueRect.bottom - m_offset <= visible.top())
            continue;
        if (item.labelRect.top - m_offset > visible.bottom())
            break;
        const QRect label = toRect(item.labelRect, m_offset);
        if (!item.label.isEmpty() && label.intersects(visible)) {
            p.setPen(item.deleted ? kDeletedEdgeColor : kItemLabelColor);
            skin::DrawElidedLine(p, label, item.label, Qt::AlignRight | Qt::AlignVCenter);
        }
        // Fields stand too close for a mark each: a red bar at the left edge
        // runs along the deleted ones.
        if (item.deleted) {
            const QRect value = toRect(item.valueRect, m_offset);
            p.fillRect(QRect(3, label.top(), 3,
                             std::max(label.bottom(), value.bottom()) - label.top() + 1) &
                           visible,
                       kDeletedEdgeColor);
        }
        p.setPen(item.deleted ? kDeletedEdgeColor : kItemValueColor);
        const QRect value = toRect(item.valueRect, m_offset);
        if (!m_highlight.isEmpty()) {
            for (size_t i = 0; i < item.valueLines.size(); ++i) {
                const QRect line(value.left(), value.top() + int(i) * item.lineHeight,
                                 value.width(), item.lineHeight);
                if (line.intersects(visible))
                    paintLineHighlights(p, line, item.valueLines[i], QFontMetricsF(p.font()),
                                        {m_highlight, false});
            }
        }
        drawTextLines(p, item.valueLines, value, item.lineHeight);
    }
    p.setPen(kBoardEdgeLine);
    p.drawLine(0, visible.top(), 0, visible.bottom());
}

void CContactInfoBoard::setHighlight(const QString& term) {
    m_highlight = term;
    update();
}

void CContactInfoBoard::wheelEvent(QWheelEvent* event) {
    const int notches = wheelNotchesDown(*event, m_wheelRest);
    if (notches != 0)
        m_bar->setValue(m_bar->value() + notches * kWheelPixels);
    event->accept();
}

void CContactInfoBoard::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        setFocus(Qt::MouseFocusReason);
    event->accept();
}

void CContactInfoBoard::keyPressEvent(QKeyEvent* event) {
    if (!scrollByKey(*m_bar, *event))
        QWidget::keyPressEvent(event);
}

} // namespace fennaro

#include "views/find_bar.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QShortcut>

#include "skin/ui_helpers.h"

namespace fennaro {

namespace {

// The bar's place: in the title bar's empty stretch between the subtitle
// and the Home button, so no control of the data screen moves.
constexpr QRect kBarRect{420, 5, 420, 22};
constexpr int kCountWidth = 170;

// The field fits the title bar: a white rounded box with a thin light edge.
constexpr const char* kFieldStyle =
    "QLineEdit { background: #ffffff; border: 1px solid #9fb6cc; border-radius: 3px;"
    " padding: 0 6px; color: #1b2a38; selection-background-color: #3d7ab8; }"
    "QLineEdit:focus { border: 1px solid #cfe3f5; }";

} // namespace

FindBar::FindBar(QWidget* mainDlg) : QWidget(mainDlg) {
    setGeometry(kBarRect);
    m_count = new QLabel(this);
    m_count->setGeometry(0, 0, kCountWidth - 8, kBarRect.height());
    m_count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_count->setFont(skin::get_font(QStringLiteral("Arial"), 12, 400));
    m_count->setStyleSheet(QStringLiteral("color: #dbe8f4; background: transparent;"));
    m_field = new QLineEdit(this);
    m_field->setGeometry(kCountWidth, 0, kBarRect.width() - kCountWidth, kBarRect.height());
    m_field->setFont(skin::get_font(QStringLiteral("Arial"), 12, 400));
    m_field->setPlaceholderText(QStringLiteral("Search names, numbers, texts"));
    m_field->setToolTip(
        QStringLiteral("Ctrl+F: search; Enter or F3: next match; Shift+F3: previous; Esc: clear"));
    m_field->setStyleSheet(QString::fromUtf8(kFieldStyle));
    m_field->installEventFilter(this);
    connect(m_field, &QLineEdit::textEdited, this, &FindBar::textEdited);

    // The keys work wherever the focus is in the window.
    auto* find = new QShortcut(QKeySequence::Find, mainDlg);
    connect(find, &QShortcut::activated, this, [this] {
        if (isVisible())
            focusField();
    });
    auto* next = new QShortcut(QKeySequence(Qt::Key_F3), mainDlg);
    connect(next, &QShortcut::activated, this, [this] {
        if (isVisible())
            emit stepRequested(true);
    });
    auto* previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), mainDlg);
    connect(previous, &QShortcut::activated, this, [this] {
        if (isVisible())
            emit stepRequested(false);
    });
    hide();
}

QString FindBar::text() const {
    return m_field->text();
}

QString FindBar::countText() const {
    return m_count->text();
}

void FindBar::setCount(qsizetype shown, qsizetype total) {
    if (m_field->text().trimmed().isEmpty()) {
        m_count->clear();
        return;
    }
    const QLocale grouping(QLocale::English);
    m_count->setText(
        QStringLiteral("%1 of %2").arg(grouping.toString(shown), grouping.toString(total)));
}

void FindBar::focusField() {
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

void FindBar::clear() {
    if (m_field->text().isEmpty())
        return;
    m_field->clear();
    emit textEdited(QString());
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            emit stepRequested(!(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            clear();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace fennaro

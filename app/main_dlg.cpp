// The main window's part in the flow: it hands the user's actions to the
// recovery flow, shows what the flow announces, asks what the flow asks, and
// runs the close sequence.
#include "app/main_dlg.h"

#include "app/case_details.h"

#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QProgressBar>
#include <QTreeWidgetItem>
#include <QUrl>
#include <QWindow>
#include <algorithm>

#include "app/row_search.h"
#include "skin/animate_img.h"
#include "skin/img_button.h"
#include "skin/list_view_check1.h"
#include "skin/msg_box.h"
#include "skin/my_hyper_link.h"
#include "skin/tree_view_ex1.h"
#include "update/main_menu.h"
#include "update/update_check.h"
#include "update/update_prompt.h"
#include "views/contact_info_board.h"
#include "views/msg_info_board.h"

namespace fennaro {

namespace {

// The message box picture for what a flow's message is about.
int boxKind(Notice kind) {
    switch (kind) {
    case Notice::Warn:
        return skin::CMsgBox::kWarn;
    case Notice::Error:
        return skin::CMsgBox::kError;
    case Notice::Info:
        return skin::CMsgBox::kInfo;
    case Notice::Done:
        return skin::CMsgBox::kRight;
    }
    return skin::CMsgBox::kWarn;
}

} // namespace

CMainDlg::CMainDlg(MainDlgOptions options, DialogHooks hooks, QWidget* parent)
    : QDialog(parent), m_options(std::move(options)), m_hooks(withDefaultHooks(std::move(hooks))) {
    // The flow first: painting and the list's deleted marks read its state.
    m_flow = std::make_unique<RecoveryFlow>(m_options, prompts());
    setUpWindow();
    setUpControls();
    connectFlow();

    m_updateTimer.setSingleShot(true);
    connect(&m_updateTimer, &QTimer::timeout, this, &CMainDlg::onUpdateTimer);
    if (m_options.armUpdateTimer)
        m_updateTimer.start(1000);

    m_flow->start();
}

CMainDlg::~CMainDlg() {
    m_flow->stopWorkers();
    // The views refer to records by address: drop them before the store goes.
    clearViews();
}

FlowPrompts CMainDlg::prompts() {
    FlowPrompts prompts;
    prompts.tell = [this](Notice kind, const QString& text) {
        m_hooks.messageBox(boxKind(kind), skin::CMsgBox::kOk, text, this);
    };
    prompts.ask = [this](Notice kind, const QString& text) {
        return m_hooks.messageBox(boxKind(kind), skin::CMsgBox::kYes | skin::CMsgBox::kNo, text,
                                  this) == skin::CMsgBox::IDC_YES;
    };
    prompts.pickFolder = [this] { return m_hooks.pickFolder(this, QDir::currentPath()); };
    prompts.pickPhoneFiles = [this] { return m_hooks.pickPhoneFiles(this, QDir::homePath()); };
    prompts.askCaseDetails = [this] { return askCaseDetails(m_hooks, this); };
    return prompts;
}

void CMainDlg::connectFlow() {
    RecoveryFlow* flow = m_flow.get();
    connect(flow, &RecoveryFlow::acquisitionEnded, this, &CMainDlg::stopGifTimer);
    connect(flow, &RecoveryFlow::acquisitionFailed, this, &CMainDlg::showFailureScreen);
    connect(flow, &RecoveryFlow::connectScreenReset, this, &CMainDlg::resetToConnectScreen);
    connect(flow, &RecoveryFlow::loadingStarted, this, &CMainDlg::showLoadingScreen);
    connect(flow, &RecoveryFlow::progressChanged, this, &CMainDlg::setProgress);
    connect(flow, &RecoveryFlow::categoryCaptionChanged, this, &CMainDlg::setCategoryCaption);
    connect(flow, &RecoveryFlow::pauseAndStopOffered, this, &CMainDlg::showPauseAndStop);
    connect(flow, &RecoveryFlow::stopOffered, this, [this] { m_stop->show(); });
    connect(flow, &RecoveryFlow::loadingEnded, this, &CMainDlg::hideLoadingControls);
    connect(flow, &RecoveryFlow::loadFinished, this, &CMainDlg::onLoadFinished);
    connect(flow, &RecoveryFlow::exportStarted, this, &CMainDlg::showExportRunning);
    connect(flow, &RecoveryFlow::exportNotStarted, this, [this] {
        hideLoadingControls();
        m_recover->show();
    });
    connect(flow, &RecoveryFlow::exportEnded, this, [this] {
        m_progress->setValue(100);
        hideLoadingControls();
        m_recover->show();
    });
    connect(flow, &RecoveryFlow::acquireFinished, this, &CMainDlg::acquireFinished);
    connect(flow, &RecoveryFlow::exportFinished, this, &CMainDlg::exportFinished);
}

int CMainDlg::loadState() const {
    switch (m_flow->stage()) {
    case RecoveryFlow::Stage::Connecting:
        return -1;
    case RecoveryFlow::Stage::Failed:
        return 0;
    default:
        return 1;
    }
}

skin::CImgButton* CMainDlg::button(int id) const {
    for (skin::CImgButton* b : {m_minimize, m_close, m_menu, m_home, m_help, m_back, m_pause,
                                m_continue, m_stop, m_recover, m_refresh})
        if (b != nullptr && b->Id() == id)
            return b;
    return nullptr;
}

void CMainDlg::onCommand(int id) {
    if (m_closing)
        return;
    switch (id) {
    case IDC_CLOSE:
        closeWith(kClosedByButton);
        break;
    case IDC_MINIMIZE:
        showMinimized();
        break;
    case IDC_PAUSE:
        onPause();
        break;
    case IDC_STOP:
        m_flow->stop();
        break;
    case IDC_CONTINUE:
        onContinue();
        break;
    case IDC_RECOVER:
        m_flow->recover();
        break;
    case IDC_MENU:
        showMainMenu();
        break;
    case IDC_HOME:
        m_hooks.openUrl(QUrl(QString::fromUtf8(kHomePageUrl)));
        break;
    case IDC_HELP:
        m_hooks.openUrl(QUrl(QString::fromUtf8(kSupportPageUrl)));
        break;
    case IDC_BACK:
        m_flow->back();
        break;
    case IDC_REFRESH:
        onRefresh();
        break;
    default:
        break;
    }
}

void CMainDlg::showFailureScreen() {
    m_refresh->show();
    m_problemsLink->show();
    placeFilesLink();
    update();
}

void CMainDlg::stopGifTimer() {
    if (m_gifTimerRunning) {
        m_gifTimer.stop();
        m_gifTimerRunning = false;
    }
}

void CMainDlg::showLoadingScreen() {
    m_filesLink->hide();
    m_tree->show();
    update();
    m_progress->setValue(0);
    m_progress->show();
    m_back->hide();
    m_animate->MoveTo(20, 641, skin::CAnimateStaticBase::kMoveShow);
    m_animate->Start();
}

void CMainDlg::setProgress(int32_t percent) {
    m_progress->setValue(std::clamp(percent, 0, 100));
}

void CMainDlg::setCategoryCaption(RecordCategory category, const std::string& caption,
                                  int32_t count) {
    QTreeWidgetItem* item = category == RecordCategory::Contacts  ? m_contactsItem
                            : category == RecordCategory::CallLog ? m_callLogItem
                                                                  : m_messageItem;
    const QString text = QString::fromUtf8(caption);
    m_tree->SetItemInfo(&text, item, count);
}

void CMainDlg::showPauseAndStop() {
    m_pause->show();
    m_stop->show();
}

void CMainDlg::hideLoadingControls() {
    m_animate->Stop();
    m_animate->hide();
    m_pause->hide();
    m_continue->hide();
    m_stop->hide();
    m_progress->hide();
}

void CMainDlg::onLoadFinished() {
    // A refused loading has gone back to the failure screen already.
    if (m_flow->stage() == RecoveryFlow::Stage::Data)
        showLoadedData();
    emit loadFinished();
}

void CMainDlg::showLoadedData() {
    m_back->show();
    m_recover->show();
    takeLoadedViews();
    showCallLogItem();
    showTimelineItem();
    for (QTreeWidgetItem* item : {m_rootItem, m_contactsItem, m_messageItem, m_callLogItem})
        m_tree->SetCheckState(item, 0x2000);
    m_tree->setCurrentItem(m_contactsItem);
    populateRecordList();
}

void CMainDlg::resetToConnectScreen() {
    clearViews();
    const QString contacts = QStringLiteral("Contacts");
    const QString message = QStringLiteral("Message");
    const QString callLog = QStringLiteral("Call log");
    m_tree->SetItemInfo(&contacts, m_contactsItem, 0);
    m_tree->SetItemInfo(&message, m_messageItem, 0);
    m_tree->SetItemInfo(&callLog, m_callLogItem, 0);
    m_callLogItem->setHidden(true);
    m_timelineItem->setHidden(true);
    for (QTreeWidgetItem* item : {m_contactsItem, m_messageItem, m_callLogItem})
        m_tree->SetCheckState(item, 0x1000);
    m_rootItem->setText(0, m_flow->rootCaption());
    // The tree is narrow; the whole caption shows when the pointer rests on it.
    m_rootItem->setToolTip(0, m_flow->rootCaption());
    m_tree->setCurrentItem(m_rootItem);
    m_list->hide();
    m_tree->hide();
    m_recover->hide();
    m_back->hide();
    // A deep scan started from the failure screen leaves it.
    m_refresh->hide();
    m_problemsLink->hide();
    placeFilesLink();
    m_progress->setValue(0);
    m_gifTimerRunning = false;
    m_gifTimer.stop();
    repaint();
}

void CMainDlg::showExportRunning() {
    m_progress->setValue(0);
    m_progress->show();
    m_recover->hide();
    m_back->hide();
    m_pause->show();
    m_stop->show();
    m_animate->MoveTo(20, 641, skin::CAnimateStaticBase::kMoveShow);
    m_animate->Start();
}

void CMainDlg::onRefresh() {
    m_refresh->hide();
    m_problemsLink->hide();
    m_gifTimerRunning = false;
    m_gifTimer.stop();
    m_flow->refresh();
    placeFilesLink();
    update();
}

void CMainDlg::onPause() {
    if (!m_flow->pause())
        return;
    m_animate->Stop();
    m_pause->hide();
    m_continue->show();
}

void CMainDlg::onContinue() {
    if (!m_flow->resume())
        return;
    m_animate->Start();
    m_continue->hide();
    m_pause->show();
}

UpdateActions CMainDlg::updateActions() {
    UpdateActions actions;
    actions.askUser = m_hooks.messageBox;
    actions.openUrl = [this](const QUrl& url) {
        m_hooks.openUrl(url);
        return true;
    };
    return actions;
}

void CMainDlg::onUpdateTimer() {
    // The check belongs to the window: closing the window abandons a
    // request still under way without it touching anything.
    auto* check = new UpdateCheck(programUpdateCheckOptions(), this);
    connect(check, &UpdateCheck::updateFound, this, [this] {
        if (!m_closing)
            onUpdateFound(this, updateActions());
    });
    check->updateThreadProc();
}

void CMainDlg::showMainMenu() {
    MainMenuActions actions;
    actions.update = updateActions();
    actions.closeWindow = [this](int code) {
        closeWith(code);
        return code;
    };
    actions.deepScan = [this] { m_flow->deepScanCommand(); };
    actions.openPhoneFiles = [this] { m_flow->openPhoneFilesCommand(); };
    actions.report = [this] { m_flow->report(); };
    runMainMenuCommand(this, m_hooks.trackMenu(this), actions);
}

void CMainDlg::clearViews() {
    resetFind(false);
    if (m_list != nullptr) {
        m_list->DeleteAllItems();
        m_list->DeleteAllColumns();
    }
    if (m_contactBoard != nullptr)
        m_contactBoard->clearContent();
    if (m_messageBoard != nullptr)
        m_messageBoard->clearContent();
    delete m_contactBoard;
    m_contactBoard = nullptr;
    delete m_messageBoard;
    m_messageBoard = nullptr;
    m_currentCategory = nullptr;
    m_rows.reset();
    m_contactIndex.reset();
    m_conversationIndex.reset();
}

void CMainDlg::closeWith(int result) {
    if (m_closing)
        return;
    m_closing = true;
    // Nothing shows a closed window again; hide it first so the close is
    // seen at once even while a worker finishes its current step.
    hide();
    m_flow->stopWorkers();
    clearViews();
    m_flow->shutDown();
    stopGifTimer();
    m_updateTimer.stop();
    done(result);
}

void CMainDlg::closeEvent(QCloseEvent* e) {
    if (!m_closing)
        closeWith(kClosedBySystem);
    e->accept();
}

void CMainDlg::keyPressEvent(QKeyEvent* e) {
    // Enter and Escape leave the window open.
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        e->accept();
        return;
    default:
        QDialog::keyPressEvent(e);
    }
}

void CMainDlg::mousePressEvent(QMouseEvent* e) {
    // A press anywhere on the background drags the frameless window.
    if (e->button() != Qt::LeftButton)
        return;
    QWindow* handle = windowHandle();
    if (handle != nullptr && handle->startSystemMove())
        return;
    m_dragger.Press(this, e->globalPosition().toPoint());
}

void CMainDlg::mouseMoveEvent(QMouseEvent* e) {
    m_dragger.Move(this, e->globalPosition().toPoint(), e->buttons() & Qt::LeftButton);
}

} // namespace fennaro

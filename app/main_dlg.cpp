// The main window's flow: the acquisition, the loading run, Back, Refresh,
// Pause, Continue, Stop and the close sequence.
#include "app/main_dlg.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QProgressBar>
#include <QTreeWidgetItem>
#include <QUrl>
#include <QWindow>
#include <future>
#include <system_error>

#include "acquire/helper_commands.h"
#include "app/window_bridge.h"
#include "app/worker_runs.h"
#include "phone/deep_load.h"
#include "phone/deep_records.h"
#include "phone/phone_databases.h"
#include "phone/record_loader.h"
#include "platform/file_ops.h"
#include "platform/stop_signal.h"
#include "records/call_log_display.h"
#include "records/check_marks.h"
#include "records/contact_fields.h"
#include "records/conversation_index.h"
#include "skin/animate_img.h"
#include "skin/img_button.h"
#include "skin/list_view_check1.h"
#include "skin/msg_box.h"
#include "skin/my_hyper_link.h"
#include "skin/tree_view_ex1.h"
#include "update/main_menu.h"
#include "update/product_info.h"
#include "update/update_check.h"
#include "update/update_prompt.h"
#include "views/contact_info_board.h"
#include "views/msg_info_board.h"

namespace fennaro {

void prepareViews(RecordStore& store, LoadRun& run) {
    const auto contactSide = [&] {
        run.contactIndex = std::make_unique<ContactDataIndex>(store.contactLists);
        run.rows.contacts = makeContactRows(store, *run.contactIndex);
    };
    std::future<void> contacts;
    try {
        contacts = std::async(std::launch::async, contactSide);
    } catch (const std::system_error&) {
        contactSide(); // no thread to spare: one side after the other
    }
    run.conversationIndex = std::make_unique<ConversationIndex>(store.contactLists, store.smsLists);
    run.rows.messages = makeMessageRows(store, *run.conversationIndex);
    run.rows.calls = makeCallRows(store);
    if (contacts.valid())
        contacts.get();
}

std::future<CopyCheck> startCopyCheck(const LocalDbPaths& paths) {
    try {
        return std::async(std::launch::async, [paths] { return checkCopies(paths); });
    } catch (const std::system_error&) {
        std::promise<CopyCheck> done; // no thread to spare: check now
        done.set_value(checkCopies(paths));
        return done.get_future();
    }
}

namespace {

// Starts a thread running work; false (and no thread) when the system
// refuses one.
bool startThread(std::thread& thread, std::function<void()> work) {
    try {
        thread = std::thread(std::move(work));
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

// Waits for a thread that has been told to end.
void join(std::thread& thread) {
    if (thread.joinable())
        thread.join();
}

} // namespace

CMainDlg::CMainDlg(MainDlgOptions options, DialogHooks hooks, QWidget* parent)
    : QDialog(parent), m_options(std::move(options)), m_hooks(withDefaultHooks(std::move(hooks))) {
    m_bridge = WindowBridge::create(this);
    setUpWindow();
    setUpControls();

    // The copies: their folders, and no copy left from an earlier run.
    m_paths = localDbPaths(m_options.homeFolder);
    prepareCopyFolders(m_paths);
    deleteStaleCopies(m_paths);

    m_updateTimer.setSingleShot(true);
    connect(&m_updateTimer, &QTimer::timeout, this, &CMainDlg::onUpdateTimer);
    if (m_options.armUpdateTimer)
        m_updateTimer.start(1000);

    m_controls.runEvent.reset();
    startAcquisition();
}

CMainDlg::~CMainDlg() {
    stopWorkers();
    joinWorkers();
    // The views refer to records by address: drop them before the store goes.
    clearRecords();
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
        onStop();
        break;
    case IDC_CONTINUE:
        onContinue();
        break;
    case IDC_RECOVER:
        onRecover();
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
        onBack();
        break;
    case IDC_REFRESH:
        onRefresh();
        break;
    default:
        break;
    }
}

void CMainDlg::startAcquisition() {
    if (m_acquireThread.joinable())
        m_acquireThread.join();
    ++m_acquisitionGeneration;
    m_acquireStop = std::make_shared<platform::StopSignal>();
    if (m_deepMode)
        startDeepAcquisition();
    else
        startClassicAcquisition();
}

void CMainDlg::startClassicAcquisition() {
    m_acquireRun = std::make_unique<AcquireRun>();
    AcquireRun& run = *m_acquireRun;
    const int generation = m_acquisitionGeneration;
    run.bridge = m_bridge;
    run.done = [this, generation] {
        if (generation == m_acquisitionGeneration)
            onAcquireDone();
    };
    run.job.programFolder = m_options.programFolder;
    run.job.paths = m_paths;
    run.job.startDelay = m_options.acquireDelay;
    run.job.limits = m_options.helperLimits;
    run.job.listener = &run;
    run.job.stop = m_acquireStop;
    m_workerRunning = true;
    if (!startThread(m_acquireThread, [&run] { acquireThreadProc(run.job); })) {
        m_workerRunning = false;
        // Without a worker the phone is never read: say so and leave the
        // user on the failure screen, where Refresh tries again.
        showFailed();
        failedToStartWorker();
    }
}

void CMainDlg::showFailed() {
    m_loadState = 0;
    m_refresh->show();
    m_problemsLink->show();
    update();
}

void CMainDlg::stopGifTimer() {
    if (m_gifTimerRunning) {
        m_gifTimer.stop();
        m_gifTimerRunning = false;
    }
}

void CMainDlg::onAcquireDone() {
    join(m_acquireThread);
    m_workerRunning = false;
    stopGifTimer();
    if (!checkArrivedCopies(m_paths).any()) {
        showFailed();
        killHelperProcesses();
        emit acquireFinished();
        return;
    }
    emit acquireFinished();
    enterLoading();
}

void CMainDlg::enterLoading() {
    m_loadState = 1;
    m_screen = 2;
    m_tree->show();
    update();
    m_progress->setValue(0);
    m_progress->show();
    m_back->hide();
    m_animate->MoveTo(20, 641, skin::CAnimateStaticBase::kMoveShow);
    m_animate->Start();
    startLoading();
}

void CMainDlg::startLoading() {
    m_controls.stopRequested = false;
    m_controls.runEvent.set();
    m_loadRun = std::make_unique<LoadRun>(m_store, m_controls, m_paths);
    LoadRun& run = *m_loadRun;
    run.bridge = m_bridge;
    run.progress = [this](int32_t percent) { setProgress(percent); };
    run.caption = [this](RecordCategory category, const std::string& text, int32_t count) {
        setCategoryCaption(category, text, count);
    };
    run.buttons = [this] { showPauseAndStop(); };
    run.done = [this] { onLoadDone(); };
    m_workerRunning = true;
    // The engine carves on the worker too, so the window never freezes
    // while a large phone's databases are read.
    const bool deepScan = m_deepMode;
    const std::function<void(RecordStore&)> afterDeepLoad = m_options.afterDeepLoad;
    bool started = startThread(m_loadThread, [&run, deepScan, afterDeepLoad, paths = m_paths,
                                              stamps = m_copyStamps] {
        const std::string contactsDb = run.context.localContactsDb;
        const std::string smsDb = run.context.localSmsDb;
        if (!deepScan) {
            runRecoveryEngine(run.context.store, contactsDb, smsDb);
            loadThreadProc(run.context);
            return;
        }
        // The copies are checked against their manifests once the loading
        // has read them, and what was loaded is shown only when they turn
        // out unchanged (onLoadDone). Copies that stand as their manifests
        // were written need no second hashing; without their stamps, the
        // hashing runs beside the loading rather than before it, which
        // would keep the user waiting for as long again.
        std::future<CopyCheck> check;
        if (stamps.empty())
            check = startCopyCheck(paths);
        // The live records come from the copies' current state, written to
        // a private folder and gone once they are loaded.
        const PhoneDatabases dbs = phoneDatabasesBeside(contactsDb, smsDb);
        const deep::CurrentStateCopies states(contactsDb, smsDb, dbs.bugleDb);
        // The deep records join the live ones once those are loaded; a
        // stopped run shows what it loaded and nothing more.
        run.beforeDone = [&run, &check, &dbs, &states, &paths, &stamps, afterDeepLoad] {
            RecordStore& store = run.context.store;
            if (!run.context.controls.stopRequested) {
                // The other stores' live messages come from the same
                // current states as the live records.
                PhoneDatabases live = dbs;
                live.smsDb = states.smsDb();
                live.bugleDb = states.bugleDb();
                deep::loadDeepRecords(store, dbs, &live);
                if (afterDeepLoad)
                    afterDeepLoad(store);
                deep::finishCallLog(store);
                for (RecordCategory category :
                     {RecordCategory::Contacts, RecordCategory::Message, RecordCategory::CallLog}) {
                    const CategoryState& state = categoryState(store, category);
                    run.categoryChanged(category, state.caption, state.count);
                }
            }
            run.copyCheck = check.valid() ? check.get() : checkCopiesSince(paths, stamps);
        };
        run.context.localContactsDb = states.contactsDb();
        run.context.localSmsDb = states.smsDb();
        loadThreadProc(run.context);
    });
    if (!started) {
        m_workerRunning = false;
        failedToStartWorker();
        // Nothing was loaded; the user can go back and try again.
        onLoadDone();
    }
}

void CMainDlg::onLoadDone() {
    join(m_loadThread);
    m_workerRunning = false;
    hideLoadingControls();
    if (refuseChangedCopies())
        return;
    m_back->show();
    m_recover->show();
    takeLoadedViews();
    showCallLogItem();
    for (QTreeWidgetItem* item : {m_rootItem, m_contactsItem, m_messageItem, m_callLogItem})
        m_tree->SetCheckState(item, 0x2000);
    setChecked(m_store.contactsCategory, true);
    setChecked(m_store.messageCategory, true);
    setChecked(m_store.callLogCategory, true);
    m_tree->setCurrentItem(m_contactsItem);
    populateRecordList();
    emit loadFinished();
    offerDeepScanOnce();
}

void CMainDlg::hideLoadingControls() {
    m_animate->Stop();
    m_animate->hide();
    m_pause->hide();
    m_continue->hide();
    m_stop->hide();
    m_progress->hide();
}

void CMainDlg::takeLoadedViews() {
    LoadRun& run = *m_loadRun;
    // Without a worker nothing was prepared: make it here.
    if (run.contactIndex == nullptr || run.conversationIndex == nullptr)
        prepareViews(m_store, run);
    m_contactIndex = std::move(run.contactIndex);
    m_conversationIndex = std::move(run.conversationIndex);
    m_rows = std::make_unique<RecordRows>(std::move(run.rows));
    if (m_contactBoard != nullptr)
        m_contactBoard->setIndex(m_contactIndex.get());
    if (m_messageBoard != nullptr)
        m_messageBoard->setIndex(m_conversationIndex.get());
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

void CMainDlg::setProgress(int32_t percent) {
    m_progress->setValue(std::clamp(percent, 0, 100));
}

void CMainDlg::onBack() {
    if (m_hooks.messageBox(skin::CMsgBox::kWarn, skin::CMsgBox::kYes | skin::CMsgBox::kNo,
                           "Are you sure to go back to reload the data from Android phone?",
                           this) != skin::CMsgBox::IDC_YES)
        return;
    resetToConnectScreen();
    deleteStaleCopies(m_paths);
    startAcquisition();
}

void CMainDlg::resetToConnectScreen() {
    clearRecords();
    resetForReload(m_store);
    const QString contacts = QStringLiteral("Contacts");
    const QString message = QStringLiteral("Message");
    const QString callLog = QStringLiteral("Call log");
    m_tree->SetItemInfo(&contacts, m_contactsItem, 0);
    m_tree->SetItemInfo(&message, m_messageItem, 0);
    m_tree->SetItemInfo(&callLog, m_callLogItem, 0);
    m_callLogItem->setHidden(true);
    for (QTreeWidgetItem* item : {m_contactsItem, m_messageItem, m_callLogItem})
        m_tree->SetCheckState(item, 0x1000);
    m_rootItem->setText(0, rootCaption());
    // The tree is narrow; the whole caption shows when the pointer rests on it.
    m_rootItem->setToolTip(0, rootCaption());
    m_tree->setCurrentItem(m_rootItem);
    m_list->hide();
    m_tree->hide();
    m_recover->hide();
    m_back->hide();
    m_exportTotal = 0;
    m_progress->setValue(0);
    m_screen = 1;
    m_loadState = -1;
    m_gifTimerRunning = false;
    m_gifTimer.stop();
    repaint();
}

void CMainDlg::onRefresh() {
    m_refresh->hide();
    m_problemsLink->hide();
    m_gifTimerRunning = false;
    m_gifTimer.stop();
    m_loadState = -1;
    update();
    startAcquisition();
}

void CMainDlg::onPause() {
    // Only loading and export pause; the acquisition runs on the connect screen.
    if (!m_workerRunning || m_screen != 2)
        return;
    m_controls.runEvent.reset();
    m_animate->Stop();
    m_pause->hide();
    m_continue->show();
}

void CMainDlg::onContinue() {
    if (!m_workerRunning || m_screen != 2)
        return;
    m_controls.runEvent.set();
    m_animate->Start();
    m_continue->hide();
    m_pause->show();
}

void CMainDlg::onStop() {
    // The flag first: a paused worker woken before it would handle one more
    // record.
    m_controls.stopRequested = true;
    m_controls.runEvent.set();
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
    actions.deepScan = [this] { onDeepScanCommand(); };
    actions.report = [this] { onReportCommand(); };
    runMainMenuCommand(this, m_hooks.trackMenu(this), actions);
}

void CMainDlg::failedToStartWorker() {
    m_hooks.messageBox(skin::CMsgBox::kError, skin::CMsgBox::kOk,
                       "The program could not start a worker thread. Close other programs "
                       "and try again.",
                       this);
}

void CMainDlg::stopWorkers() {
    // Later calls from the workers are dropped, and a worker waiting for the
    // window is released.
    m_bridge->close();
    if (m_acquireStop)
        m_acquireStop->request();
    m_controls.stopRequested = true;
    m_controls.runEvent.set();
}

void CMainDlg::joinWorkers() {
    join(m_acquireThread);
    join(m_loadThread);
    join(m_exportThread);
    m_workerRunning = false;
}

void CMainDlg::clearRecords() {
    // The rows and the boards point into the store: empty them first.
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
    fennaro::clearRecords(m_store);
}

void CMainDlg::closeWith(int result) {
    if (m_closing)
        return;
    m_closing = true;
    // Nothing shows a closed window again; hide it first so the close is
    // seen at once even while a worker finishes its current step.
    hide();
    stopWorkers();
    joinWorkers();
    clearRecords();
    // The copies, their side files and manifests: private data, none left.
    deleteStaleCopies(m_paths);
    stopGifTimer();
    m_updateTimer.stop();
    killHelperProcesses();
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

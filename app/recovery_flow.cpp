// The recovery flow's core: the classic acquisition, the loading run, Back,
// Refresh, Pause, Continue, Stop and the close sequence.
#include "app/recovery_flow.h"

#include <system_error>

#include "acquire/helper_commands.h"
#include "app/window_bridge.h"
#include "app/worker_runs.h"
#include "platform/file_ops.h"
#include "platform/stop_signal.h"
#include "records/check_marks.h"

namespace fennaro {

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

RecoveryFlow::RecoveryFlow(FlowOptions options, FlowPrompts prompts)
    : m_options(std::move(options)), m_prompts(std::move(prompts)) {
    m_bridge = WindowBridge::create(this);
    // The copies: their folders, and no copy left from an earlier run.
    m_paths = localDbPaths(m_options.homeFolder);
    prepareCopyFolders(m_paths);
    deleteStaleCopies(m_paths);
    m_controls.runEvent.reset();
}

RecoveryFlow::~RecoveryFlow() {
    stopWorkers();
}

void RecoveryFlow::start() {
    startAcquisition();
}

void RecoveryFlow::startAcquisition() {
    join(m_acquireThread);
    ++m_acquisitionGeneration;
    m_acquireStop = std::make_shared<platform::StopSignal>();
    m_failureText.clear();
    if (m_phoneFiles)
        startExtraction();
    else if (m_deepMode)
        startDeepAcquisition();
    else
        startClassicAcquisition();
}

void RecoveryFlow::startClassicAcquisition() {
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

void RecoveryFlow::endAcquisition() {
    if (m_acquireStop)
        m_acquireStop->request();
    if (m_extractionRun)
        m_extractionRun->stop = true;
    join(m_acquireThread);
    m_workerRunning = false;
    m_readingFiles = false;
}

void RecoveryFlow::showFailed() {
    m_stage = Stage::Failed;
    emit acquisitionFailed();
}

void RecoveryFlow::failedToStartWorker() {
    m_prompts.tell(Notice::Error, QStringLiteral("The program could not start a worker thread. "
                                                 "Close other programs and try again."));
}

void RecoveryFlow::onAcquireDone() {
    join(m_acquireThread);
    m_workerRunning = false;
    emit acquisitionEnded();
    if (!checkArrivedCopies(m_paths).any()) {
        showFailed();
        killHelperProcesses();
        emit acquireFinished();
        return;
    }
    emit acquireFinished();
    enterLoading();
}

void RecoveryFlow::enterLoading() {
    m_stage = Stage::Loading;
    emit loadingStarted();
    m_controls.stopRequested = false;
    m_controls.runEvent.set();
    m_loadRun = std::make_unique<LoadRun>(m_store, m_controls, m_paths);
    LoadRun& run = *m_loadRun;
    run.bridge = m_bridge;
    run.progress = [this](int32_t percent) { emit progressChanged(percent); };
    run.caption = [this](RecordCategory category, const std::string& text, int32_t count) {
        emit categoryCaptionChanged(category, text, count);
    };
    run.buttons = [this] { emit pauseAndStopOffered(); };
    run.done = [this] { onLoadDone(); };
    m_workerRunning = true;
    // The engine carves on the worker too, so the window never freezes
    // while a large phone's databases are read.
    const bool started = m_deepMode
                             ? startThread(m_loadThread,
                                           [&run, paths = m_paths, stamps = m_copyStamps,
                                            afterDeepLoad = m_options.afterDeepLoad] {
                                               runDeepLoading(run, paths, stamps, afterDeepLoad);
                                           })
                             : startThread(m_loadThread, [&run] { runClassicLoading(run); });
    if (!started) {
        m_workerRunning = false;
        failedToStartWorker();
        // Nothing was loaded; the user can go back and try again.
        onLoadDone();
    }
}

void RecoveryFlow::onLoadDone() {
    join(m_loadThread);
    m_workerRunning = false;
    emit loadingEnded();
    if (refuseChangedCopies())
        return;
    m_stage = Stage::Data;
    setChecked(m_store.contactsCategory, true);
    setChecked(m_store.messageCategory, true);
    setChecked(m_store.callLogCategory, true);
    emit loadFinished();
    offerDeepScanOnce();
}

LoadedViews RecoveryFlow::takeLoadedViews() {
    LoadedViews views;
    if (m_loadRun == nullptr)
        return views;
    LoadRun& run = *m_loadRun;
    // Without a worker nothing was prepared: make it here.
    if (run.contactIndex == nullptr || run.conversationIndex == nullptr)
        prepareViews(m_store, run);
    views.contactIndex = std::move(run.contactIndex);
    views.conversationIndex = std::move(run.conversationIndex);
    views.rows = std::move(run.rows);
    return views;
}

void RecoveryFlow::back() {
    if (!m_prompts.ask(Notice::Warn,
                       QStringLiteral("Are you sure to go back to reload the data from Android "
                                      "phone?")))
        return;
    resetToConnectScreen();
    deleteStaleCopies(m_paths);
    startAcquisition();
}

void RecoveryFlow::resetToConnectScreen() {
    m_stage = Stage::Connecting;
    m_exportTotal = 0;
    // The window's rows and boards point into the store: they go first.
    emit connectScreenReset();
    clearRecords(m_store);
    resetForReload(m_store);
}

void RecoveryFlow::refresh() {
    m_stage = Stage::Connecting;
    startAcquisition();
}

bool RecoveryFlow::pause() {
    // Only loading and export pause; the acquisition runs on the connect
    // screen, and the reading of phone files cannot wait.
    if (!m_workerRunning || !onDataScreen() || m_readingFiles)
        return false;
    m_controls.runEvent.reset();
    return true;
}

bool RecoveryFlow::resume() {
    if (!m_workerRunning || !onDataScreen() || m_readingFiles)
        return false;
    m_controls.runEvent.set();
    return true;
}

void RecoveryFlow::stop() {
    // The flag first: a paused worker woken before it would handle one more
    // record.
    m_controls.stopRequested = true;
    m_controls.runEvent.set();
    // Phone files being read are given up, and what was copied taken back.
    if (m_readingFiles && m_extractionRun)
        m_extractionRun->stop = true;
}

void RecoveryFlow::stopWorkers() {
    // Later calls from the workers are dropped, and a worker waiting for the
    // window is released.
    m_bridge->close();
    if (m_acquireStop)
        m_acquireStop->request();
    if (m_extractionRun)
        m_extractionRun->stop = true;
    m_controls.stopRequested = true;
    m_controls.runEvent.set();
    joinWorkers();
}

void RecoveryFlow::joinWorkers() {
    join(m_acquireThread);
    join(m_loadThread);
    join(m_exportThread);
    m_workerRunning = false;
}

void RecoveryFlow::shutDown() {
    stopWorkers();
    clearRecords(m_store);
    // The copies, their side files and manifests: private data, none left.
    deleteStaleCopies(m_paths);
    killHelperProcesses();
}

} // namespace fennaro

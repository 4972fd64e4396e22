// The deep scan: a second way to read the phone, chosen by the user. It reads
// both databases with their journals and logs without changing the phone,
// checks the copies against their hash manifests before loading and after a
// Recover, and loads what the deep engine recovers together with the live
// records of the databases' current state. The screens, progress, Pause and
// Stop are the classic ones.
#include "acquire/copy_manifest.h"
#include "acquire/helper_commands.h"
#include "app/recovery_flow.h"
#include "app/window_bridge.h"
#include "app/worker_runs.h"
#include "platform/file_ops.h"
#include "platform/stop_signal.h"

namespace fennaro {

namespace {

constexpr const char* kDeepScanQuestion =
    "Deep Scan reads the phone's databases again with their journals, without changing the "
    "phone. Start the Deep Scan?";
constexpr const char* kDeepScanOffer =
    "Newer phones need a Deep Scan to find their deleted records. It reads the databases "
    "without changing the phone. Start the Deep Scan?";
constexpr const char* kDeepScanBusy =
    "The Deep Scan can start when the loading or the recovering has ended.";

// Returns whether an engine text holds a field with a value: a line that is
// not only "N/A" and tabs.
bool holdsAValue(std::string_view text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\t\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view field = text.substr(start, end - start);
        if (!field.empty() && field != "N/A")
            return true;
        start = end + 1;
    }
    return false;
}

// Lists the files of paths by name, one to a line below a headline: the
// copies' folders are the program's own, their names say which copy it is.
QString listing(const char* headline, const std::vector<std::string>& paths) {
    QString text = QString::fromUtf8(headline);
    for (const std::string& path : paths)
        text += QStringLiteral("\n") + QString::fromStdString(platform::baseName(path));
    return text;
}

// Returns every path the manifest check found wrong.
std::vector<std::string> troubledCopies(const CopyCheck& check) {
    std::vector<std::string> paths;
    for (const auto* list : {&check.changed, &check.missing, &check.unlisted, &check.badManifests})
        paths.insert(paths.end(), list->begin(), list->end());
    return paths;
}

} // namespace

QString leftOutFiles(const DeepAcquireResult& result) {
    QString failures;
    for (const PulledFile& file : result.files)
        if (file.outcome == CopyOutcome::Failed)
            failures +=
                QStringLiteral("\n") +
                QString::fromStdString(file.phonePath.empty() ? file.localPath : file.phonePath) +
                QStringLiteral(": ") + QString::fromStdString(file.detail);
    if (failures.isEmpty())
        return {};
    return QStringLiteral("These files could not be read whole and were left out:") + failures;
}

void RecoveryFlow::deepScanCommand() {
    if (m_workerRunning && onDataScreen()) {
        m_prompts.tell(Notice::Warn, QString::fromUtf8(kDeepScanBusy));
        return;
    }
    if (!m_prompts.ask(Notice::Info, QString::fromUtf8(kDeepScanQuestion)))
        return;
    beginDeepScan();
}

void RecoveryFlow::offerDeepScanOnce() {
    if (m_deepMode || m_deepOffered)
        return;
    const bool smsMissing = !checkArrivedCopies(m_paths).sms;
    const bool nothingCarved =
        !holdsAValue(m_store.deletedContactsText) && !holdsAValue(m_store.deletedSmsText);
    if (!smsMissing && !nothingCarved)
        return;
    m_deepOffered = true;
    if (m_prompts.ask(Notice::Info, QString::fromUtf8(kDeepScanOffer)))
        beginDeepScan();
}

void RecoveryFlow::beginDeepScan() {
    // A classic acquisition under way gives way; its result is not wanted.
    endAcquisition();
    // The phone again, not the phone files opened last.
    m_phoneFiles.reset();
    m_deepMode = true;
    m_deepOffered = true;
    resetToConnectScreen();
    startAcquisition();
}

void RecoveryFlow::startDeepAcquisition() {
    m_deepAcquireRun = std::make_unique<DeepAcquireRun>();
    DeepAcquireRun& run = *m_deepAcquireRun;
    const int generation = m_acquisitionGeneration;
    run.bridge = m_bridge;
    run.done = [this, generation](const DeepAcquireResult& result) {
        if (generation == m_acquisitionGeneration)
            onDeepAcquireDone(result);
    };
    run.job.programFolder = m_options.programFolder;
    run.job.paths = m_paths;
    run.job.startDelay = m_options.acquireDelay;
    run.job.listener = &run;
    run.job.stop = m_acquireStop;
    if (m_options.deepLimits)
        run.job.limits = *m_options.deepLimits;
    m_workerRunning = true;
    try {
        m_acquireThread = std::thread([&run] { deepAcquireThreadProc(run.job); });
    } catch (const std::system_error&) {
        m_workerRunning = false;
        showFailed();
        failedToStartWorker();
    }
}

void RecoveryFlow::onDeepAcquireDone(const DeepAcquireResult& result) {
    if (m_acquireThread.joinable())
        m_acquireThread.join();
    m_workerRunning = false;
    emit acquisitionEnded();
    if (!result.anyArrived() || (result.contactsDb().outcome != CopyOutcome::Arrived &&
                                 result.smsDb().outcome != CopyOutcome::Arrived)) {
        showFailed();
        killHelperProcesses();
        emit acquireFinished();
        return;
    }
    // Say which files did not arrive whole: what is loaded must not look
    // complete when it is not.
    const QString failures = leftOutFiles(result);
    if (!failures.isEmpty())
        m_prompts.tell(Notice::Warn, failures);
    m_copyStamps = result.stamps;
    emit acquireFinished();
    enterLoading();
}

bool RecoveryFlow::refuseChangedCopies() {
    if (!m_deepMode || m_loadRun == nullptr || !m_loadRun->copyCheck ||
        m_loadRun->copyCheck->intact())
        return false;
    const CopyCheck check = *m_loadRun->copyCheck;
    // Nothing read from a changed copy may stand as what the phone held.
    resetToConnectScreen();
    m_prompts.tell(Notice::Error, listing("These copies changed on this computer after they "
                                          "were pulled, so they are not used:",
                                          troubledCopies(check)));
    showFailed();
    emit loadFinished();
    return true;
}

QString RecoveryFlow::copyCheckReport() const {
    if (!m_deepMode)
        return {};
    const CopyCheck check = checkCopies(m_paths);
    if (check.intact())
        return {};
    return QStringLiteral("\n") +
           listing("These copies changed on this computer after they were pulled:",
                   troubledCopies(check));
}

} // namespace fennaro

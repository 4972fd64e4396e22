// Phone files instead of the phone: a folder or an archive of a file-system
// extraction, picked by the user, stands in for the phone in deep mode. It is
// read on a worker while the loading screen shows how much of it was read
// (Stop gives it up and takes back what was copied); its copies then load as
// a deep scan's, and Back and Refresh read the same files again. A source
// that gives nothing shows the failure screen with what is wrong with it.
#include <system_error>

#include "app/recovery_flow.h"
#include "app/window_bridge.h"
#include "app/worker_runs.h"
#include "platform/file_ops.h"

namespace fennaro {

namespace {

constexpr const char* kFilesBusy =
    "Phone files can be opened when the loading or the recovering has ended.";

// The name the user knows the phone files by: the folder's or the archive's
// own name, a folder picked with a slash at its end included.
QString sourceName(const std::string& source) {
    std::string path = source;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return QString::fromStdString(platform::baseName(path));
}

// What the failure screen says is wrong with phone files that gave nothing.
QString failureOf(const ExtractionResult& result) {
    if (!result.problem.empty())
        return QString::fromStdString(result.problem);
    // Both databases were there but neither could be copied whole.
    QString failures = leftOutFiles(result.copies);
    return failures.isEmpty() ? QStringLiteral("neither contacts2.db nor mmssms.db could be copied")
                              : failures;
}

} // namespace

QString RecoveryFlow::rootCaption() const {
    if (m_phoneFiles)
        return QStringLiteral("phone files: ") + sourceName(*m_phoneFiles) +
               QStringLiteral(" (deep scan)");
    return m_deepMode ? QStringLiteral("android phone (deep scan)")
                      : QStringLiteral("android phone");
}

void RecoveryFlow::openPhoneFilesCommand() {
    if (m_workerRunning && onDataScreen()) {
        m_prompts.tell(Notice::Warn, QString::fromUtf8(kFilesBusy));
        return;
    }
    const std::optional<QString> source = m_prompts.pickPhoneFiles();
    if (!source || source->isEmpty())
        return;
    if (!m_prompts.ask(Notice::Info, QStringLiteral("Open the phone's files in ") +
                                         sourceName(source->toStdString()) +
                                         QStringLiteral("? They are only read: nothing in "
                                                        "them is changed.")))
        return;
    beginPhoneFiles(*source);
}

void RecoveryFlow::beginPhoneFiles(const QString& source) {
    // Whatever is pulled or read now gives way; its result is not wanted.
    endAcquisition();
    m_phoneFiles = source.toStdString();
    m_deepMode = true;
    m_deepOffered = true;
    resetToConnectScreen();
    startAcquisition();
}

void RecoveryFlow::startExtraction() {
    m_extractionRun = std::make_unique<ExtractionRun>();
    ExtractionRun& run = *m_extractionRun;
    const int generation = m_acquisitionGeneration;
    run.bridge = m_bridge;
    run.progress = [this, generation](int32_t percent) {
        if (generation == m_acquisitionGeneration && m_readingFiles)
            emit progressChanged(percent);
    };
    run.done = [this, generation](const ExtractionResult& result) {
        if (generation == m_acquisitionGeneration)
            onExtractionDone(result);
    };
    run.job.source = *m_phoneFiles;
    run.job.paths = m_paths;
    // The files are read on the loading screen: its progress bar shows how
    // much, and Stop gives the reading up.
    m_stage = Stage::Loading;
    emit loadingStarted();
    m_workerRunning = true;
    m_readingFiles = true;
    try {
        m_acquireThread = std::thread([&run] { run.run(); });
    } catch (const std::system_error&) {
        m_workerRunning = false;
        m_readingFiles = false;
        emit loadingEnded();
        resetToConnectScreen();
        showFailed();
        failedToStartWorker();
        return;
    }
    emit stopOffered();
}

void RecoveryFlow::onExtractionDone(const ExtractionResult& result) {
    if (m_acquireThread.joinable())
        m_acquireThread.join();
    m_workerRunning = false;
    m_readingFiles = false;
    emit loadingEnded();
    if (result.stopped) {
        // The copies were taken back; the phone is looked for again.
        returnToThePhone();
        emit acquireFinished();
        return;
    }
    if (!result.problem.empty() || !result.databaseArrived()) {
        resetToConnectScreen();
        emit acquisitionEnded();
        m_failureText = QStringLiteral("Cannot open the phone's files in ") +
                        sourceName(*m_phoneFiles) + QStringLiteral(":\n") + failureOf(result);
        showFailed();
        emit acquireFinished();
        return;
    }
    // What was seen and left out, and what could not be copied whole: what
    // is loaded must not look complete when it is not.
    QString notes;
    for (const std::string& note : result.notes)
        notes += QStringLiteral("\n") + QString::fromStdString(note);
    if (!notes.isEmpty())
        notes = QStringLiteral("Seen in the phone's files and left out:") + notes;
    const QString failures = leftOutFiles(result.copies);
    if (!failures.isEmpty())
        notes += (notes.isEmpty() ? QString() : QStringLiteral("\n\n")) + failures;
    if (!notes.isEmpty())
        m_prompts.tell(Notice::Warn, notes);
    m_copyStamps = result.copies.stamps;
    emit acquisitionEnded();
    emit acquireFinished();
    enterLoading();
}

void RecoveryFlow::returnToThePhone() {
    m_phoneFiles.reset();
    m_deepMode = false;
    resetToConnectScreen();
    startAcquisition();
}

} // namespace fennaro

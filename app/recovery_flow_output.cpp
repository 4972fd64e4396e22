// What the flow writes: Recover, every checked record into a new time-stamped
// folder below a folder the user picks, on the export worker with progress,
// Pause and Stop; and Report, the loaded records, live and deleted, with the
// deleted ones' evidence and place and the copies' hashes, as report.html and
// records.csv.
#include <algorithm>
#include <ctime>
#include <system_error>

#include "app/recovery_flow.h"
#include "app/window_bridge.h"
#include "app/worker_runs.h"
#include "report/report_files.h"

namespace fennaro {

namespace {

constexpr const char* kReportBusy = "The report can be written when the loading or the "
                                    "recovering has ended.";
constexpr const char* kReportNothing = "There is nothing to report yet: the phone's data has "
                                       "not been loaded.";

} // namespace

void RecoveryFlow::recover() {
    if (m_workerRunning)
        return;
    const int32_t checked = countCheckedRecords(m_store);
    if (checked == 0) {
        m_prompts.tell(Notice::Warn,
                       QStringLiteral("Please select the file(s) you want to recover."));
        return;
    }
    const std::optional<QString> folder = m_prompts.pickFolder();
    if (!folder)
        return;
    m_controls.stopRequested = false;
    if (folder->isEmpty()) {
        m_prompts.tell(Notice::Warn,
                       QStringLiteral("Please select the directory to save the files recovered."));
        return;
    }

    m_exportRun = std::make_unique<ExportRun>(m_store, m_controls);
    ExportRun& run = *m_exportRun;
    run.bridge = m_bridge;
    run.progress = [this](int32_t percent) { emit progressChanged(percent); };
    run.done = [this](int32_t unwritten) { onExportDone(unwritten); };
    prepareExport(run.context, folder->toStdString(), checked, std::time(nullptr));
    m_outputFolder = run.context.outputFolder;
    m_exportTotal = checked;

    emit exportStarted();
    m_controls.runEvent.set();
    m_workerRunning = true;
    try {
        m_exportThread = std::thread([&run] { exportThreadProc(run.context); });
    } catch (const std::system_error&) {
        m_workerRunning = false;
        failedToStartWorker();
        // Back on the data screen with Recover offered again.
        emit exportNotStarted();
    }
}

void RecoveryFlow::onExportDone(int32_t unwrittenRecords) {
    if (m_exportThread.joinable())
        m_exportThread.join();
    emit exportEnded();
    m_workerRunning = false;
    // The folder is named too, so the user knows where to look; records
    // that could not be written are never passed over in silence.
    const std::string finish = finishText(m_store.loadedCount, unwrittenRecords);
    const size_t firstLineEnd = std::min(finish.find('\n'), finish.size());
    const std::string text = finish.substr(0, firstLineEnd) + "\nSaveFile:" + m_outputFolder +
                             finish.substr(firstLineEnd);
    // After a deep scan the copies are checked against their manifests once
    // more: what was recovered must be what was pulled.
    m_prompts.tell(Notice::Done, QString::fromStdString(text) + copyCheckReport());
    emit exportFinished();
}

void RecoveryFlow::report() {
    if (m_workerRunning) {
        m_prompts.tell(Notice::Warn, QString::fromUtf8(kReportBusy));
        return;
    }
    if (!onDataScreen()) {
        m_prompts.tell(Notice::Warn, QString::fromUtf8(kReportNothing));
        return;
    }
    // The case details come first: they are about the case, the folder
    // only about where the pages go.
    const std::optional<CaseDetails> details =
        m_prompts.askCaseDetails ? m_prompts.askCaseDetails() : CaseDetails{};
    if (!details)
        return;
    const std::optional<QString> folder = m_prompts.pickFolder();
    if (!folder || folder->isEmpty())
        return;
    report::ReportOptions options;
    options.caseText = details->caseText.toStdString();
    options.examiner = details->examiner.toStdString();
    options.notes = details->notes.toStdString();
    report::ReportData data = m_store.deep.loaded ? report::buildDeepReport(m_store)
                                                  : report::buildClassicReport(m_store);
    // A deep scan pulled the call log and the messaging app's store too:
    // each is named, with its hash or as not on the phone.
    data.copies = m_store.deep.loaded
                      ? report::summarizePhoneCopies(
                            PhoneDatabases{m_paths.localContactsDb, m_paths.localSmsDb,
                                           callLogCopyPath(m_paths), bugleCopyPath(m_paths)})
                      : report::summarizeCopies({m_paths.localContactsDb, m_paths.localSmsDb});
    const std::string where = folder->toStdString();
    const std::string problem = report::writeReportFiles(where, data, options);
    if (!problem.empty()) {
        m_prompts.tell(Notice::Error,
                       QString::fromStdString("The report could not be written:\n" + problem));
        return;
    }
    m_prompts.tell(Notice::Done, QString::fromStdString("The report was written:\n" + where +
                                                        "/report.html\n" + where + "/records.csv"));
}

} // namespace fennaro

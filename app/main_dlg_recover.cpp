// Recover: writing every checked record into a new time-stamped folder below
// a folder the user picks, on the export worker, with progress, Pause and
// Stop.
#include <QDir>
#include <QProgressBar>
#include <ctime>

#include "app/main_dlg.h"
#include "app/window_bridge.h"
#include "app/worker_runs.h"
#include "skin/animate_img.h"
#include "skin/img_button.h"
#include "skin/msg_box.h"

namespace fennaro {

void CMainDlg::onRecover() {
    if (m_workerRunning)
        return;
    const int32_t checked = countCheckedRecords(m_store);
    if (checked == 0) {
        m_hooks.messageBox(skin::CMsgBox::kWarn, skin::CMsgBox::kOk,
                           "Please select the file(s) you want to recover.", this);
        return;
    }
    const std::optional<QString> folder = m_hooks.pickFolder(this, QDir::currentPath());
    if (!folder)
        return;
    m_controls.stopRequested = false;
    if (folder->isEmpty()) {
        m_hooks.messageBox(skin::CMsgBox::kWarn, skin::CMsgBox::kOk,
                           "Please select the directory to save the files recovered.", this);
        return;
    }

    m_exportRun = std::make_unique<ExportRun>(m_store, m_controls);
    ExportRun& run = *m_exportRun;
    run.bridge = m_bridge;
    run.progress = [this](int32_t percent) { setProgress(percent); };
    run.done = [this](int32_t unwritten) { onExportDone(unwritten); };
    prepareExport(run.context, folder->toStdString(), checked, std::time(nullptr));
    m_outputFolder = run.context.outputFolder;
    m_exportTotal = checked;

    m_progress->setValue(0);
    m_progress->show();
    m_recover->hide();
    m_back->hide();
    m_pause->show();
    m_stop->show();
    m_animate->MoveTo(20, 641, skin::CAnimateStaticBase::kMoveShow);
    m_animate->Start();
    m_controls.runEvent.set();
    m_workerRunning = true;
    try {
        m_exportThread = std::thread([&run] { exportThreadProc(run.context); });
    } catch (const std::system_error&) {
        m_workerRunning = false;
        failedToStartWorker();
        // Back on the data screen with Recover offered again.
        m_progress->hide();
        m_pause->hide();
        m_stop->hide();
        m_animate->Stop();
        m_animate->hide();
        m_recover->show();
    }
}

void CMainDlg::onExportDone(int32_t unwrittenRecords) {
    if (m_exportThread.joinable())
        m_exportThread.join();
    m_progress->setValue(100);
    m_progress->hide();
    m_pause->hide();
    m_continue->hide();
    m_stop->hide();
    m_animate->Stop();
    m_animate->hide();
    m_recover->show();
    m_workerRunning = false;
    // The folder is named too, so the user knows where to look; records
    // that could not be written are never passed over in silence.
    const std::string finish = finishText(m_store.loadedCount, unwrittenRecords);
    const size_t firstLineEnd = std::min(finish.find('\n'), finish.size());
    const std::string text = finish.substr(0, firstLineEnd) + "\nSaveFile:" + m_outputFolder +
                             finish.substr(firstLineEnd);
    // After a deep scan the copies are checked against their manifests once
    // more: what was recovered must be what was pulled.
    m_hooks.messageBox(skin::CMsgBox::kRight, skin::CMsgBox::kOk,
                       QString::fromStdString(text) + copyCheckReport(), this);
    emit exportFinished();
}

} // namespace fennaro

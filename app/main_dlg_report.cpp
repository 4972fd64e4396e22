// Report: the loaded records, live and deleted, with the deleted ones'
// evidence and place and the copies' hashes, written as report.html and
// records.csv into a folder the user picks.
#include <QDir>

#include "app/main_dlg.h"
#include "report/report_files.h"
#include "skin/msg_box.h"

namespace fennaro {

namespace {

constexpr const char* kReportBusy = "The report can be written when the loading or the "
                                    "recovering has ended.";
constexpr const char* kReportNothing = "There is nothing to report yet: the phone's data has "
                                       "not been loaded.";

} // namespace

void CMainDlg::onReportCommand() {
    if (m_workerRunning) {
        m_hooks.messageBox(skin::CMsgBox::kWarn, skin::CMsgBox::kOk, kReportBusy, this);
        return;
    }
    if (m_screen != 2) {
        m_hooks.messageBox(skin::CMsgBox::kWarn, skin::CMsgBox::kOk, kReportNothing, this);
        return;
    }
    const std::optional<QString> folder = m_hooks.pickFolder(this, QDir::currentPath());
    if (!folder || folder->isEmpty())
        return;
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
    const std::string problem = report::writeReportFiles(where, data);
    if (!problem.empty()) {
        m_hooks.messageBox(skin::CMsgBox::kError, skin::CMsgBox::kOk,
                           QString::fromStdString("The report could not be written:\n" + problem),
                           this);
        return;
    }
    m_hooks.messageBox(skin::CMsgBox::kRight, skin::CMsgBox::kOk,
                       QString::fromStdString("The report was written:\n" + where +
                                              "/report.html\n" + where + "/records.csv"),
                       this);
}

} // namespace fennaro

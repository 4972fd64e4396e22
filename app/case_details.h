// The case details the window's Report asks for before it picks the folder:
// they stand at the top of the report's entry page. The examiner is kept in
// the program's settings file ([report] examiner=...), the only value the
// program writes there, so the next report offers it again.
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace fennaro {

struct DialogHooks;

struct CaseDetails {
    QString caseText;
    QString examiner;
    // May span lines.
    QString notes;
};

// The examiner of the last report made with the window; empty at first.
QString lastExaminer();

// Keeps the examiner for the next report.
void rememberExaminer(const QString& examiner);

// Asks for the case details through the hooks, offering the last examiner,
// and keeps the examiner given. Nothing when the user cancelled.
std::optional<CaseDetails> askCaseDetails(const DialogHooks& hooks, QWidget* owner);

// The program's own dialog: Case, Examiner, Notes, OK and Cancel; it opens
// with the details given. Nothing when cancelled (case_details_dialog.cpp).
std::optional<CaseDetails> runCaseDetailsDialog(QWidget* owner, const CaseDetails& start);

} // namespace fennaro

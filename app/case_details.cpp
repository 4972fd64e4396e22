// Where the last examiner is kept, and the asking around the dialog.
#include "app/case_details.h"

#include <QSettings>

#include "app/dialog_hooks.h"

namespace fennaro {

namespace {

// The key of the examiner in the program's settings file.
const QString kExaminerKey = QStringLiteral("report/examiner");

// The program's settings file (see update/update_settings.h).
QSettings programSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillmet"),
                     QStringLiteral("Fennaro"));
}

} // namespace

QString lastExaminer() {
    return programSettings().value(kExaminerKey).toString();
}

void rememberExaminer(const QString& examiner) {
    QSettings settings = programSettings();
    settings.setValue(kExaminerKey, examiner);
    settings.sync();
}

std::optional<CaseDetails> askCaseDetails(const DialogHooks& hooks, QWidget* owner) {
    CaseDetails start;
    start.examiner = lastExaminer();
    std::optional<CaseDetails> details = hooks.askCaseDetails(owner, start);
    if (details)
        rememberExaminer(details->examiner.trimmed());
    return details;
}

} // namespace fennaro

// The small dialog of the case details.
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "app/case_details.h"

namespace fennaro {

std::optional<CaseDetails> runCaseDetailsDialog(QWidget* owner, const CaseDetails& start) {
    QDialog dialog(owner);
    dialog.setWindowTitle(QStringLiteral("Report: case details"));
    auto* form = new QFormLayout(&dialog);
    auto* caseEdit = new QLineEdit(start.caseText, &dialog);
    auto* examinerEdit = new QLineEdit(start.examiner, &dialog);
    auto* notesEdit = new QPlainTextEdit(start.notes, &dialog);
    notesEdit->setTabChangesFocus(true);
    form->addRow(QStringLiteral("Case:"), caseEdit);
    form->addRow(QStringLiteral("Examiner:"), examinerEdit);
    form->addRow(QStringLiteral("Notes:"), notesEdit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    dialog.resize(420, 280);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return CaseDetails{caseEdit->text().trimmed(), examinerEdit->text().trimmed(),
                       notesEdit->toPlainText()};
}

} // namespace fennaro

#include "window_rig.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include "skin/msg_box.h"

namespace apptest {

WindowRig::WindowRig(const testdata::PhoneSpec& spec, bool withHelper) {
    if (!withHelper)
        return;
    // The demo helper serves whatever lies in demo-phone/ beside it.
    const QString helper = m_program.filePath("quillmet-fennaro-adb-help.exe");
    QFile::copy(QStringLiteral(FENNARO_DEMO_HELPER), helper);
    QFile::setPermissions(helper, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_truth = testdata::generatePhone(m_program.filePath("demo-phone").toStdString(), spec);
}

testdata::PhoneSpec WindowRig::smallPhone() {
    testdata::PhoneSpec spec;
    spec.contacts = 30;
    spec.messages = 120;
    spec.threads = 12;
    spec.deleteFraction = 0.25;
    spec.seed = 7;
    return spec;
}

fennaro::CMainDlg& WindowRig::open(std::chrono::milliseconds acquireDelay,
                                   const QString& programFolderOverride) {
    fennaro::MainDlgOptions options;
    options.programFolder =
        programFolderOverride.isEmpty() ? programFolder() : programFolderOverride.toStdString();
    options.homeFolder = homeFolder();
    options.acquireDelay = acquireDelay;
    options.armUpdateTimer = false;
    options.afterDeepLoad = afterDeepLoad;
    fennaro::DialogHooks hooks;
    hooks.messageBox = [this](int kind, int flags, const QString& text, QWidget*) {
        asked.append({kind, flags, text});
        return answers.isEmpty() ? skin::CMsgBox::IDC_YES : answers.takeFirst();
    };
    hooks.pickFolder = [this](QWidget*, const QString&) { return pickedFolder; };
    hooks.pickPhoneFiles = [this](QWidget*, const QString&) { return pickedPhoneFiles; };
    hooks.openUrl = [this](const QUrl& url) { openedUrls.append(url.toString()); };
    hooks.trackMenu = [this](QWidget*) {
        return menuChoices.isEmpty() ? 0 : menuChoices.takeFirst();
    };
    hooks.askCaseDetails = [this](QWidget*, const fennaro::CaseDetails& start) {
        caseDetailsOffered.append(start);
        return caseDetails;
    };
    m_window = std::make_unique<fennaro::CMainDlg>(options, hooks);
    m_window->show();
    return *m_window;
}

fennaro::CMainDlg& WindowRig::openLoaded() {
    fennaro::CMainDlg& w = open();
    waitUntil([&] { return w.screen() == 2 && !w.workerRunning(); });
    return w;
}

QMap<QString, QByteArray> filesBelow(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    const QDir base(folder);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        files.insert(base.relativeFilePath(path), file.readAll());
    }
    return files;
}

} // namespace apptest

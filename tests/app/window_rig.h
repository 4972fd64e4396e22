// A main window on a phone of the test's own: a program folder with the demo
// helper and a generated phone beside it, a home folder for the copies, no
// pause before the acquisition, and hooks that answer message boxes and the
// folder picker in the user's place and write down what was asked.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/main_dlg.h"
#include "tools/testdata/phone_generator.h"

namespace apptest {

// One message box the window showed.
struct AskedBox {
    int kind = 0;
    int flags = 0;
    QString text;
};

class WindowRig {
  public:
    // Prepares the folders and, unless withHelper is false, the demo helper
    // serving a phone generated from spec.
    explicit WindowRig(const testdata::PhoneSpec& spec = smallPhone(), bool withHelper = true);

    // A phone of a few dozen records of every kind.
    static testdata::PhoneSpec smallPhone();

    // Opens the window; the acquisition starts at once. The helper lies in
    // programFolder, or in the rig's own program folder when it is empty.
    fennaro::CMainDlg& open(std::chrono::milliseconds acquireDelay = std::chrono::milliseconds(0),
                            const QString& programFolder = {});
    // Opens the window and waits until the data screen is loaded.
    fennaro::CMainDlg& openLoaded();
    // The window (after open).
    fennaro::CMainDlg& window() { return *m_window; }
    // Destroys the window (its destructor stops and joins the workers).
    void destroyWindow() { m_window.reset(); }

    // Answers for the next message boxes, in order (Yes when none is left).
    QList<int> answers;
    // The folder the picker returns next; nothing means "cancelled".
    std::optional<QString> pickedFolder;
    // The phone files (a folder or an archive) the picker returns next;
    // nothing means "cancelled".
    std::optional<QString> pickedPhoneFiles;
    // The case details the Report dialog answers next; nothing means
    // "cancelled".
    std::optional<fennaro::CaseDetails> caseDetails = fennaro::CaseDetails{};
    // What the Report dialog was opened with, each time.
    QList<fennaro::CaseDetails> caseDetailsOffered;
    // Every message box shown, in order.
    QList<AskedBox> asked;
    // Every web page opened.
    QStringList openedUrls;
    // The main menu's next choices, in order (none chosen when empty).
    QList<int> menuChoices;
    // Handed to the window: adds records to a deep scan's store (set before
    // open).
    std::function<void(fennaro::RecordStore&)> afterDeepLoad;

    // Paths.
    std::string programFolder() const { return m_program.path().toStdString(); }
    std::string homeFolder() const { return m_home.path().toStdString(); }
    QString outputRoot() const { return m_output.path(); }
    const testdata::PhoneTruth& truth() const { return m_truth; }

  private:
    QTemporaryDir m_program;
    QTemporaryDir m_home;
    QTemporaryDir m_output;
    testdata::PhoneTruth m_truth;
    std::unique_ptr<fennaro::CMainDlg> m_window;
};

// Processes events until pred holds or timeoutMs passed; returns pred().
template <typename Pred>
bool waitUntil(Pred pred, int timeoutMs = 20000) {
    QElapsedTimer clock;
    clock.start();
    while (!pred() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return pred();
}

// Returns every file below folder as relative path -> bytes.
QMap<QString, QByteArray> filesBelow(const QString& folder);

} // namespace apptest

// The recovery's flows without the window: pulling the databases from the
// phone (classic or deep), loading them, going back and refreshing, Pause,
// Continue and Stop, Recover and Report. It owns the record store, the copies
// and every worker; workers reach it only through queued calls. It shows
// nothing itself: it asks the user through the prompts it is given and
// announces by signal what the window must show, each signal handled at once
// (direct connections), before the flow goes on.
//
// The deep loading step is reached from an acquisition's end only through
// enterLoading() with the copies and their stamps, so another source of copies
// (phone files picked from a folder or an archive) can run the same loading.
#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "acquire/acquire_worker.h"
#include "acquire/copy_manifest.h"
#include "acquire/deep_acquire.h"
#include "acquire/extraction_source.h"
#include "app/case_details.h"
#include "records/contact_fields.h"
#include "records/conversation_index.h"
#include "records/record_store.h"
#include "views/record_rows.h"

namespace fennaro {

class WindowBridge;
struct AcquireRun;
struct DeepAcquireRun;
struct ExtractionRun;
struct LoadRun;
struct ExportRun;
namespace platform {
class StopSignal;
}

// Where the flow finds the helper and puts the copies, and how long the
// acquisition waits; tests and the tour shorten the wait.
struct FlowOptions {
    // The helper program lies here (the program's own folder).
    std::string programFolder;
    // The copies go below this folder (the user's home).
    std::string homeFolder;
    // The pause before the first helper command, which gives the connect
    // screen its moment.
    std::chrono::milliseconds acquireDelay{5000};
    HelperLimits helperLimits;
    // The deep acquisition's limits; none: its own defaults.
    std::optional<DeepLimits> deepLimits;
    // Runs on the loading worker once a deep scan's records are in the store,
    // before the list rows are made; the tour and the tests add records of
    // their own here (the call log of a phone made without one). May be empty.
    std::function<void(RecordStore&)> afterDeepLoad;
};

// What a message to the user is about; the window picks the box's picture.
enum class Notice { Warn, Error, Info, Done };

// How the flow reaches the user. Every member must be set.
struct FlowPrompts {
    // Tells the user something and waits until it was read.
    std::function<void(Notice kind, const QString& text)> tell;
    // Asks a yes-or-no question; true for yes.
    std::function<bool(Notice kind, const QString& text)> ask;
    // Asks for an existing folder; nothing when the user cancelled.
    std::function<std::optional<QString>()> pickFolder;
    // Asks for a phone's files: an archive of them or a folder holding them;
    // nothing when the user cancelled.
    std::function<std::optional<QString>()> pickPhoneFiles;
    // Asks for the report's case details; nothing when the user cancelled.
    // Not set: the report has none.
    std::function<std::optional<CaseDetails>()> askCaseDetails;
};

// What the record views need of a loaded store, made on the loading worker.
struct LoadedViews {
    std::unique_ptr<ContactDataIndex> contactIndex;
    std::unique_ptr<ConversationIndex> conversationIndex;
    RecordRows rows;
};

// Names the files of a deep acquisition that did not arrive whole, one to a
// line below a headline; empty when every file arrived or was not there.
QString leftOutFiles(const DeepAcquireResult& result);

class RecoveryFlow : public QObject {
    Q_OBJECT
  public:
    // Where the flow stands: pulling the copies (the connect screen), failed
    // to, loading them, or showing the loaded records.
    enum class Stage { Connecting, Failed, Loading, Data };

    // Prepares the copies' folders and deletes copies left from an earlier
    // run; nothing starts before start().
    RecoveryFlow(FlowOptions options, FlowPrompts prompts);
    // Stops and joins every worker that still runs.
    ~RecoveryFlow() override;

    // Starts the first acquisition.
    void start();

    // The user's actions.
    // Asks, then drops the records and pulls the copies again.
    void back();
    // Pulls the copies again after a failure.
    void refresh();
    // Holds or releases the loading or export worker; false when none runs
    // on the data screen.
    bool pause();
    bool resume();
    // Ends the loading or export early; what was done stays.
    void stop();
    // Writes the checked records into a new folder below one the user picks.
    void recover();
    // Writes report.html and records.csv into a folder the user picks.
    void report();
    // The menu's Deep Scan: asks, then pulls and loads the copies deeply.
    void deepScanCommand();
    // The menu's and the connect screen's Open phone files: asks for a folder
    // or an archive of the phone's files, asks to go on, then reads them on a
    // worker (on the loading screen, with progress and Stop) and loads the
    // copies as a deep scan's.
    void openPhoneFilesCommand();

    // Closing: stopWorkers() ends and joins every worker (the window then
    // drops its views of the store); shutDown() empties the store, deletes
    // the copies and ends the helper processes.
    void stopWorkers();
    void shutDown();

    // Hands the views made for the records loaded last to the window.
    LoadedViews takeLoadedViews();

    // State.
    Stage stage() const { return m_stage; }
    // Whether the connect screen or the data screen shows.
    bool onDataScreen() const { return m_stage == Stage::Loading || m_stage == Stage::Data; }
    bool workerRunning() const { return m_workerRunning; }
    bool deepMode() const { return m_deepMode; }
    // Whether the copies come from phone files rather than the phone.
    bool openingPhoneFiles() const { return m_phoneFiles.has_value(); }
    // What the tree's root reads: the phone, or the phone files' name.
    QString rootCaption() const;
    // Why the phone files could not be opened, for the failure screen: a
    // headline, then on the next line what is wrong. Empty when the failure
    // is the phone's (the screen then gives its advice).
    const QString& failureText() const { return m_failureText; }
    RecordStore& store() { return m_store; }
    const RecordStore& store() const { return m_store; }
    const LocalDbPaths& localCopies() const { return m_paths; }
    const std::string& outputFolder() const { return m_outputFolder; }
    int32_t exportTotal() const { return m_exportTotal; }

  signals:
    // The acquisition's worker ended (the connecting animation stops).
    void acquisitionEnded();
    // The copies could not be pulled: the failure screen.
    void acquisitionFailed();
    // The records and their views go and the connect screen shows again;
    // emitted before the store is emptied, so the window drops what points
    // into it.
    void connectScreenReset();
    // The data screen with the loading's progress.
    void loadingStarted();
    void progressChanged(int32_t percent);
    void categoryCaptionChanged(RecordCategory category, const std::string& caption, int32_t count);
    void pauseAndStopOffered();
    // Phone files are read: Stop alone is offered (the reading cannot pause).
    void stopOffered();
    // The loading worker ended (its progress and buttons go).
    void loadingEnded();
    // The export runs, could not start, or ended.
    void exportStarted();
    void exportNotStarted();
    void exportEnded();
    // A worker has ended and its end was shown; after loadFinished the stage
    // says whether records are shown (Data) or were refused (Failed).
    void acquireFinished();
    void loadFinished();
    void exportFinished();

  private:
    // The acquisition (recovery_flow.cpp).
    void startAcquisition();
    void startClassicAcquisition();
    void onAcquireDone();
    void showFailed();
    void failedToStartWorker();
    void resetToConnectScreen();
    void joinWorkers();
    // The loading, from the copies in m_paths; deep mode checks them against
    // m_copyStamps.
    void enterLoading();
    void onLoadDone();

    // The deep scan (recovery_flow_deep.cpp).
    void offerDeepScanOnce();
    void beginDeepScan();
    void startDeepAcquisition();
    void onDeepAcquireDone(const DeepAcquireResult& result);
    // After a deep loading run: when the copies changed since they were
    // pulled, says so, drops what was loaded and shows the failure screen.
    // Returns whether it did.
    bool refuseChangedCopies();
    QString copyCheckReport() const;
    // Ends the acquisition or the reading of phone files under way, if any,
    // and waits for its worker; its result is not wanted.
    void endAcquisition();

    // Phone files (recovery_flow_files.cpp).
    void beginPhoneFiles(const QString& source);
    void startExtraction();
    void onExtractionDone(const ExtractionResult& result);
    // After a stop: the phone is looked for again, as when the window opened.
    void returnToThePhone();

    // Recover (recovery_flow_output.cpp).
    void onExportDone(int32_t unwrittenRecords);

    FlowOptions m_options;
    FlowPrompts m_prompts;

    Stage m_stage = Stage::Connecting;
    bool m_workerRunning = false;
    bool m_deepMode = false;
    // The deep scan is offered once, after a classic pass found nothing.
    bool m_deepOffered = false;
    // Counts acquisitions, so the result of one given up is ignored.
    int m_acquisitionGeneration = 0;
    // The copies' stamps once the last deep acquisition wrote their
    // manifests: what the loading's check compares.
    CopyStamps m_copyStamps;
    // The folder or archive of phone files that stands in for the phone, as
    // long as Back and Refresh are to read it again.
    std::optional<std::string> m_phoneFiles;
    // Phone files are being read (the loading screen shows, without Pause).
    bool m_readingFiles = false;
    QString m_failureText;
    LocalDbPaths m_paths;

    RecordStore m_store;
    WorkerControls m_controls;
    std::shared_ptr<WindowBridge> m_bridge;
    std::shared_ptr<platform::StopSignal> m_acquireStop;
    std::thread m_acquireThread;
    std::thread m_loadThread;
    std::thread m_exportThread;
    std::unique_ptr<LoadRun> m_loadRun;
    std::unique_ptr<ExportRun> m_exportRun;
    std::unique_ptr<AcquireRun> m_acquireRun;
    std::unique_ptr<DeepAcquireRun> m_deepAcquireRun;
    std::unique_ptr<ExtractionRun> m_extractionRun;

    std::string m_outputFolder;
    int32_t m_exportTotal = 0;
};

} // namespace fennaro

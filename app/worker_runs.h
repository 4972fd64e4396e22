// What each worker of the main window works on, and the listener through
// which it reaches the window: every call goes through the window bridge, so
// a worker never touches the window itself.
#pragma once

#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>

#include "acquire/acquire_worker.h"
#include "acquire/copy_manifest.h"
#include "acquire/deep_acquire.h"
#include "app/window_bridge.h"
#include "export/record_export.h"
#include "phone/record_loader.h"
#include "records/contact_fields.h"
#include "records/conversation_index.h"
#include "views/record_rows.h"

namespace fennaro {

// One acquisition: the job and the listener that reports its end.
struct AcquireRun : AcquireListener {
    std::shared_ptr<WindowBridge> bridge;
    std::function<void()> done;
    AcquireJob job;

    // Queues "acquisition done" to the window.
    void acquireDone() override { bridge->post(done); }
};

// One deep acquisition: the job and the listener that hands its result over.
struct DeepAcquireRun : DeepAcquireListener {
    std::shared_ptr<WindowBridge> bridge;
    std::function<void(DeepAcquireResult)> done;
    DeepAcquireJob job;

    // Queues the result to the window.
    void deepAcquireDone(const DeepAcquireResult& result) override {
        bridge->post([this, result] { done(result); });
    }
};

struct LoadRun;

// Makes the views' indexes and rows of a loaded store into run: the contact
// side on a thread of its own while the calling thread makes the message side.
void prepareViews(RecordStore& store, LoadRun& run);

// Starts checking the copies against their manifests on a thread of its
// own (on the calling thread when none can be started); the future's
// destructor waits for the check.
std::future<CopyCheck> startCopyCheck(const LocalDbPaths& paths);

// One loading run: what the worker works on and how it tells the window.
struct LoadRun : LoadListener {
    std::shared_ptr<WindowBridge> bridge;
    std::function<void(int32_t)> progress;
    std::function<void(RecordCategory, std::string, int32_t)> caption;
    std::function<void()> buttons;
    std::function<void()> done;
    // Runs on the worker once the loading passes ended, before the views are
    // prepared (deep mode reads the deep engine's records here).
    std::function<void()> beforeDone;
    LoadContext context;
    // What the views need of the loaded store, made on the worker once the
    // store is complete, so the window does not stall making it.
    std::unique_ptr<ContactDataIndex> contactIndex;
    std::unique_ptr<ConversationIndex> conversationIndex;
    RecordRows rows;
    // Deep mode: what checking the copies against their manifests found,
    // set on the worker before "load done" is queued.
    std::optional<CopyCheck> copyCheck;

    LoadRun(RecordStore& store, WorkerControls& controls, const LocalDbPaths& paths)
        : context{store, controls, *this, paths.localContactsDb, paths.localSmsDb} {}

    // Moves the progress bar; the worker waits until the window did.
    void progressChanged(int32_t percent) override {
        bridge->send([this, percent] { progress(percent); });
    }
    // Shows a category's new caption; the worker waits until the window did.
    void categoryChanged(RecordCategory category, std::string text, int32_t count) override {
        bridge->send(
            [this, category, text = std::move(text), count] { caption(category, text, count); });
    }
    // Shows Pause and Stop; the worker waits until the window did.
    void showPauseAndStop() override { bridge->send(buttons); }
    // Prepares the views' indexes and rows, then queues "load done" to the
    // window. A closing window wants neither.
    void loadDone() override {
        if (bridge->isClosed())
            return;
        if (beforeDone)
            beforeDone();
        prepareViews(context.store, *this);
        bridge->post(done);
    }
};

// One export run.
struct ExportRun : ExportListener {
    std::shared_ptr<WindowBridge> bridge;
    std::function<void(int32_t)> progress;
    std::function<void(int32_t)> done;
    ExportContext context;

    ExportRun(RecordStore& store, WorkerControls& controls)
        : context{store, controls, *this, {}, 0, 0} {}

    // Moves the progress bar; the worker waits until the window did.
    void progressChanged(int32_t percent) override {
        bridge->send([this, percent] { progress(percent); });
    }
    // Queues "export done" with the number of records that could not be
    // written, read here on the worker's thread, which wrote it.
    void exportDone() override {
        const int32_t unwritten = context.unwrittenRecords;
        bridge->post([this, unwritten] { done(unwritten); });
    }
};

} // namespace fennaro

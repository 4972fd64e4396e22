// What each worker of the recovery flow works on, and the listener through
// which it reaches the flow: every call goes through the bridge to the flow's
// (the window's) thread, so a worker never touches the flow or the window
// itself.
#pragma once

#include <algorithm>
#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>

#include "acquire/acquire_worker.h"
#include "acquire/copy_manifest.h"
#include "acquire/deep_acquire.h"
#include "acquire/extraction_source.h"
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

// One reading of phone files (a folder or an archive): the job, its stop
// flag, and how its progress and result reach the flow.
struct ExtractionRun {
    std::shared_ptr<WindowBridge> bridge;
    std::function<void(int32_t)> progress;
    std::function<void(ExtractionResult)> done;
    ExtractionJob job;
    std::atomic<bool> stop{false};
    // The percent last queued, so the window is told only of a change (the
    // reader reports every chunk). Touched on the worker only.
    int32_t lastPercent = -1;

    // Reads the extraction on the calling thread (the worker), queueing the
    // percent read whenever it grows, then the result.
    void run() {
        job.stop = &stop;
        job.progress = [this](uint64_t read, uint64_t total) {
            if (total == 0)
                return;
            const auto percent = int32_t(std::min<uint64_t>(read, total) * 100 / total);
            if (percent == lastPercent)
                return;
            lastPercent = percent;
            bridge->post([tell = progress, percent] { tell(percent); });
        };
        ExtractionResult result = acquireFromExtraction(job);
        // The calls carry copies of the callbacks: a call still queued when
        // the flow has made a new run must not reach into this one.
        bridge->post([finish = done, result = std::move(result)] { finish(result); });
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

// The loading worker's work on the copies run names: the recovery engine's
// carving, then the live records.
void runClassicLoading(LoadRun& run);

// The deep loading worker's work: the live records from the copies' current
// state, then what the deep engine recovers (and afterDeepLoad's records,
// when set). Sets run.copyCheck from the copies checked against stamps, or
// hashed anew when there are none. Any copies in the phone's layout will do:
// those pulled by the deep acquisition or phone files picked by the user.
void runDeepLoading(LoadRun& run, const LocalDbPaths& paths, const CopyStamps& stamps,
                    const std::function<void(RecordStore&)>& afterDeepLoad);

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

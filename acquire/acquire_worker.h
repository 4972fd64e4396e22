// The acquisition worker: one run of the four helper commands, then one
// completion call. The window runs it on a thread of its own.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "helper_commands.h"
#include "local_copies.h"
#include "stop_signal.h"

namespace fennaro {

// Told when an acquisition has ended. The window implements it by posting
// itself UM_ACQUIRE_DONE; it is called on the worker's thread.
struct AcquireListener {
    virtual ~AcquireListener() = default;
    virtual void acquireDone() = 0;
};

struct AcquireJob {
    std::string programFolder; // where the helper lies
    LocalDbPaths paths;
    // The pause before the first command, which gives the connect screen
    // its moment; 5000 ms for the window, 0 for scripts and tests.
    std::chrono::milliseconds startDelay{5000};
    HelperLimits limits;
    AcquireListener* listener = nullptr; // may be null
    // Lets the window end the acquisition when it closes; may be null. A
    // stop ends the start delay at once, kills the command under way
    // (removing its partial copy) and starts no other.
    std::shared_ptr<platform::StopSignal> stop;
};

// Waits job.startDelay, makes sure both copy folders exist, runs the four
// commands in order (a failed one does not stop the others), then calls
// job.listener->acquireDone(). After a stop it returns as soon as the
// command under way has been killed, and the listener is not called: once
// job.stop->request() has returned, acquireDone is neither running nor
// called any more. Returns 1.
int acquireThreadProc(const AcquireJob& job);

} // namespace fennaro

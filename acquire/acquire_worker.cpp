#include "acquire_worker.h"

#include <thread>

namespace fennaro {

int acquireThreadProc(const AcquireJob& job) {
    const platform::StopSignal* stop = job.stop.get();
    if (job.startDelay.count() > 0) {
        if (!stop)
            std::this_thread::sleep_for(job.startDelay);
        else if (stop->waitFor(job.startDelay))
            return 1;
    }
    // The copy command does not make folders itself; one that cannot be made
    // only means that its copy will not arrive.
    prepareCopyFolders(job.paths);
    for (const HelperCommand& command : helperCommands(job.programFolder, job.paths, job.limits)) {
        if (stop && stop->requested())
            return 1;
        runHelperCommand(command, stop);
    }
    if (!job.listener)
        return 1;
    if (stop)
        stop->runUnlessRequested([&] { job.listener->acquireDone(); });
    else
        job.listener->acquireDone();
    return 1;
}

} // namespace fennaro

#include "acquire_worker.h"

namespace fennaro {

int acquireThreadProc(const AcquireJob& job) {
    const platform::StopSignal* stop = job.stop.get();
    if (!platform::waitOutDelay(stop, job.startDelay))
        return 1;
    // The copy command does not make folders itself; one that cannot be made
    // only means that its copy will not arrive.
    prepareCopyFolders(job.paths);
    for (const HelperCommand& command : helperCommands(job.programFolder, job.paths, job.limits)) {
        if (stop && stop->requested())
            return 1;
        runHelperCommand(command, stop);
    }
    if (job.listener)
        platform::reportUnlessStopped(stop, [&] { job.listener->acquireDone(); });
    return 1;
}

} // namespace fennaro

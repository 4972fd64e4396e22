#include "acquire_worker.h"

#include <thread>

namespace fennaro {

int acquireThreadProc(const AcquireJob& job) {
    if (job.startDelay.count() > 0)
        std::this_thread::sleep_for(job.startDelay);
    // The copy command does not make folders itself; one that cannot be made
    // only means that its copy will not arrive.
    prepareCopyFolders(job.paths);
    for (const HelperCommand& command : helperCommands(job.programFolder, job.paths, job.limits))
        runHelperCommand(command);
    if (job.listener)
        job.listener->acquireDone();
    return 1;
}

} // namespace fennaro

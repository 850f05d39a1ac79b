#include "update/UpdateWorker.h"

#include "update/UpdateHost.h"
#include "update/UpdateJob.h"

namespace zorflash {

UpdateResult UpdateThreadProc(CUpdateHost* host)
{
    CUpdateJob job(*host);
    const UpdateResult result = job.Run();
    // Posted before the job is gone; the host joins this thread when it sees it.
    host->PostUpdateFinished(result);
    return result;
}

std::thread StartUpdateWorker(CUpdateHost* host)
{
    return std::thread([host] { UpdateThreadProc(host); });
}

}  // namespace zorflash

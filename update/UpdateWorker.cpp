#include "update/UpdateWorker.h"

#include "update/UpdateHost.h"
#include "update/UpdateJob.h"

unsigned UpdateThreadProc(CUpdateHost* host)
{
    {
        CUpdateJob job;
        host->StatusSetText(std::string());
        job.m_pView = host;
        job.Run();
        // Posted before the job is gone; the host joins this thread when it sees it.
        host->PostUpdateFinished();
    }
    return 0;
}

std::thread StartUpdateWorker(CUpdateHost* host)
{
    return std::thread(UpdateThreadProc, host);
}

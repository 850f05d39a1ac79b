#include "sim/UpdateLedger.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

namespace zorflash {

int CUpdateLedger::Begin()
{
    std::lock_guard lock(m_mutex);
    return ++m_begun;
}

CUniqueFd CUpdateLedger::CreateImage(int number, std::string& path, std::string& error)
{
    path.clear();
    error.clear();
    if (!m_imageDir)
        return CUniqueFd();
    std::lock_guard lock(m_mutex);
    // Taken names are skipped, whatever they are; any other failure would repeat for
    // every number, and a directory full of a million images is as far as it goes.
    for (int tries = 0; tries < 1000000; ++tries) {
        char name[32];
        std::snprintf(name, sizeof name, "/update-%04d.img", number + m_imagesSkipped);
        path = *m_imageDir + name;
        CUniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (fd.Valid())
            return fd;
        if (errno != EEXIST) {
            error = std::strerror(errno);
            return CUniqueFd();
        }
        ++m_imagesSkipped;
    }
    error = "no free image number";
    return CUniqueFd();
}

void CUpdateLedger::Finish(const std::string& summary, bool failed)
{
    std::lock_guard lock(m_mutex);
    std::fputs((summary + "\n").c_str(), stdout);
    std::fflush(stdout);
    m_anyFailed = m_anyFailed || failed;
    m_summaries.push_back(summary);
    ++m_finished;
}

void CUpdateLedger::Print(const std::string& line)
{
    std::lock_guard lock(m_mutex);
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

void CUpdateLedger::ReportError(const std::string& line)
{
    std::lock_guard lock(m_mutex);
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
    m_anyFailed = true;
}

void CUpdateLedger::PrintError(const std::string& line)
{
    std::lock_guard lock(m_mutex);
    std::fputs(("zorflash-sim: " + line + "\n").c_str(), stderr);
    std::fflush(stderr);
}

bool CUpdateLedger::AnyFailed() const
{
    std::lock_guard lock(m_mutex);
    return m_anyFailed;
}

std::vector<std::string> CUpdateLedger::Summaries() const
{
    std::lock_guard lock(m_mutex);
    return m_summaries;
}

bool CUpdateLedger::Exhausted() const
{
    std::lock_guard lock(m_mutex);
    return m_ended || (m_maxUpdates > 0 && m_finished >= m_maxUpdates);
}

void CUpdateLedger::EndRun()
{
    std::lock_guard lock(m_mutex);
    m_ended = true;
}

}  // namespace zorflash

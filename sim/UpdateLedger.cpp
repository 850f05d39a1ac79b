#include "sim/UpdateLedger.h"

#include <cstdio>

namespace zorflash {

int CUpdateLedger::Begin()
{
    std::lock_guard lock(m_mutex);
    return ++m_begun;
}

std::string CUpdateLedger::ImagePath(int number) const
{
    if (!m_imageDir)
        return {};
    char name[32];
    std::snprintf(name, sizeof name, "/update-%04d.img", number);
    return *m_imageDir + name;
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

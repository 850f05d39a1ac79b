#include "platform/AbortSignal.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace zorflash {

// A manual-reset event: once set it stays set, so every later wait of the run ends too.
// Not inheritable, so a child process never holds it.
CAbortSignal::CAbortSignal()
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event)
        m_handle = reinterpret_cast<NativeWaitHandle>(event);
}

CAbortSignal::~CAbortSignal()
{
    if (m_handle != kNoWaitHandle)
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

void CAbortSignal::Trigger()
{
    m_triggered.store(true);
    if (m_handle != kNoWaitHandle)
        SetEvent(reinterpret_cast<HANDLE>(m_handle));
}

bool CAbortSignal::IsTriggered() const
{
    return m_triggered.load();
}

}  // namespace zorflash

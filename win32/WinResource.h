#pragma once

#include <windows.h>

#include <utility>

namespace zorflash {

// Owns one handle of the system's (a font, an icon, an accelerator table, a menu not
// given to a window, an image list, a kernel object) and frees it with Free exactly once.
template <typename Handle, auto Free>
class CWinResource {
public:
    CWinResource() = default;
    explicit CWinResource(Handle handle)
        : m_handle(handle)
    {
    }
    CWinResource(const CWinResource&) = delete;
    CWinResource& operator=(const CWinResource&) = delete;
    CWinResource(CWinResource&& other) noexcept
        : m_handle(std::exchange(other.m_handle, Handle{}))
    {
    }
    CWinResource& operator=(CWinResource&& other) noexcept
    {
        if (this != &other)
            Reset(std::exchange(other.m_handle, Handle{}));
        return *this;
    }
    ~CWinResource() { Reset(); }

    Handle Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != Handle{}; }
    void Reset(Handle handle = Handle{})
    {
        if (m_handle != Handle{})
            Free(m_handle);
        m_handle = handle;
    }
    // Hands the handle to an owner that frees it itself (a menu given to a window).
    Handle Release() { return std::exchange(m_handle, Handle{}); }

private:
    Handle m_handle{};
};

inline void FreeFont(HFONT h) { DeleteObject(h); }
inline void FreeIcon(HICON h) { DestroyIcon(h); }
inline void FreeAccelerators(HACCEL h) { DestroyAcceleratorTable(h); }
inline void FreeMenu(HMENU h) { DestroyMenu(h); }
inline void FreeKernelHandle(HANDLE h) { CloseHandle(h); }

using CFontHandle = CWinResource<HFONT, FreeFont>;
using CIconHandle = CWinResource<HICON, FreeIcon>;
using CAccelHandle = CWinResource<HACCEL, FreeAccelerators>;
using CMenuHandle = CWinResource<HMENU, FreeMenu>;
using CKernelHandle = CWinResource<HANDLE, FreeKernelHandle>;

}  // namespace zorflash

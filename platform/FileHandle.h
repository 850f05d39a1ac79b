#pragma once

#include <cstdint>
#include <string>

namespace zorflash {

// The system's side of CFile: one file opened for reading, read and moved in as the
// system does it (platform/posix/, platform/win32/). CFile keeps the buffer, the
// exceptions and the rules above it, the same on both systems.
class CFileHandle {
public:
    // Which file it is (device and inode; on Windows the volume's serial number and the
    // file index), its size, and when its contents and its attributes last changed (in the
    // system's own ticks).
    struct Identity {
        uint64_t device = 0;
        uint64_t inode = 0;
        uint64_t size = 0;
        int64_t modified = 0;
        int64_t changed = 0;
        bool operator==(const Identity&) const = default;
    };

    // The system's code for "no file is open", as Read and Seek answer it.
    static const int kNotOpen;

    CFileHandle();
    ~CFileHandle();
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;

    // Opens path for reading if it is a regular (disk) file; a directory, FIFO or device
    // would block or never end, and is no update file. False with the reason in the
    // last-error value. Closes a file held before.
    bool Open(const std::string& path);
    bool IsOpen() const { return m_native != -1; }
    void Close();

    // Each answers 0 or the system's error code. Read moves up to count bytes from where
    // the file stands (got 0: its end); Seek goes to an absolute offset.
    int Read(void* buffer, uint32_t count, uint32_t& got);
    int Seek(uint64_t offset);
    // False when no file is open or the system cannot say.
    bool ReadIdentity(Identity& identity) const;
    // The open file's size now, 0 when none is open.
    uint64_t Length() const;

private:
    intptr_t m_native = -1;  // a descriptor on POSIX, a HANDLE on Windows
};

}  // namespace zorflash

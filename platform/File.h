#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zorflash {

// A read-only file for the update file reader. Reads go through an internal buffer, so
// the reader's one-byte reads cost no system call each. Open answers false (reason in the
// last-error value); Read and Seek throw CFileException. Only regular files open: a
// directory, FIFO or device would block or never end, and is no update file.
class CFile {
public:
    static constexpr uint32_t kBufferSize = 64 * 1024;

    CFile();
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    bool Open(const std::string& path);
    bool IsOpen() const { return m_fd >= 0; }
    void Close();

    // Moves to an absolute offset from the beginning of the file.
    void Seek(uint64_t offset);
    // Reads up to count bytes; returns the number read, 0 at the end of the file.
    uint32_t Read(void* buffer, uint32_t count);
    // Size of the open file, 0 when none is open.
    uint64_t GetLength() const;
    const std::string& GetFilePath() const { return m_path; }
    // False once the open file is no longer the one opened: another size, or written,
    // or its attributes changed since (a file rewritten in place during a transfer would
    // otherwise go out half old, half new). Costs one fstat.
    bool Unchanged() const;

private:
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
    bool ReadIdentity(Identity& identity) const;

    [[noreturn]] void Throw(int osError) const;
    bool Refill();

    int m_fd = -1;
    std::string m_path;
    Identity m_identity;
    std::unique_ptr<uint8_t[]> m_buffer;
    uint32_t m_bufferPos = 0;
    uint32_t m_bufferLen = 0;
    uint64_t m_filePos = 0;  // file offset of m_buffer[m_bufferLen]
};

}  // namespace zorflash

#pragma once

#include "platform/FileHandle.h"

#include <cstdint>
#include <memory>
#include <string>

namespace zorflash {

// A read-only file for the update file reader. Reads go through an internal buffer, so
// the reader's one-byte reads cost no system call each. Open answers false (reason in the
// last-error value); Read and Seek throw CFileException. Only regular files open: a
// directory, FIFO or device would block or never end, and is no update file. The same on
// every system: only CFileHandle below it knows which one it runs on.
class CFile {
public:
    static constexpr uint32_t kBufferSize = 64 * 1024;
    // Readable bytes behind whatever Peek gives, so that a reader may load a whole word
    // that runs past the bytes it asked for (it must not use what lies there).
    static constexpr uint32_t kReadSlack = 16;

    CFile();
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    bool Open(const std::string& path);
    bool IsOpen() const { return m_handle.IsOpen(); }
    void Close();

    // Moves to an absolute offset from the beginning of the file.
    void Seek(uint64_t offset);
    // Reads up to count bytes; returns the number read, 0 at the end of the file.
    uint32_t Read(void* buffer, uint32_t count);
    // The next `count` bytes (at most kBufferSize) where they lie in the buffer, without a
    // copy and without moving on: `available` is count, or fewer at the end of the file.
    // Valid until the next call of anything but Skip.
    const uint8_t* Peek(uint32_t count, uint32_t& available)
    {
        // Every record but those at the buffer's end: no call, no copy.
        if (m_bufferLen - m_bufferPos >= count) {
            available = count;
            return m_buffer.get() + m_bufferPos;
        }
        return PeekFill(count, available);
    }
    // Moves on past bytes that Peek made available.
    void Skip(uint32_t count) { m_bufferPos += count; }
    // Size of the open file, 0 when none is open.
    uint64_t GetLength() const;
    const std::string& GetFilePath() const { return m_path; }
    // False once the open file is no longer the one opened: another size, or written,
    // or its attributes changed since (a file rewritten in place during a transfer would
    // otherwise go out half old, half new). Costs one look at the open file. On Windows
    // the file is shared for reading only, so nobody can write it while it is open here;
    // the check still holds for what the system lets through (a change of attributes).
    bool Unchanged() const;

private:
    [[noreturn]] void Throw(int osError) const;
    const uint8_t* PeekFill(uint32_t count, uint32_t& available);

    CFileHandle m_handle;
    std::string m_path;
    CFileHandle::Identity m_identity;
    std::unique_ptr<uint8_t[]> m_buffer;
    uint32_t m_bufferPos = 0;
    uint32_t m_bufferLen = 0;
    uint64_t m_filePos = 0;  // file offset of m_buffer[m_bufferLen]
};

}  // namespace zorflash

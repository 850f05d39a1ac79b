#include "platform/StatusFile.h"

#include "platform/LastError.h"
#include "platform/win32/WideText.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <random>
#include <utility>

namespace zorflash {

// The Windows counterpart: the same checks through file handles (the volume's serial
// number and the file index are what device and inode are on POSIX), and the text
// written beside the file and moved over it.

namespace {

std::string Reason(DWORD error)
{
    return SystemErrorText(error);
}

class CHandle {
public:
    explicit CHandle(HANDLE handle) : m_handle(handle) {}
    ~CHandle()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    HANDLE Get() const { return m_handle; }
    bool Valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    // The close of a written file can be where a full disk shows.
    bool Close()
    {
        const HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != 0;
    }

private:
    HANDLE m_handle;
};

struct FileKey {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
};

bool KeyOf(HANDLE handle, FileKey& key)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info))
        return false;
    key = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return true;
}

// The file a path names, links followed, opened for its identity only.
bool KeyOfPath(const std::string& path, FileKey& key)
{
    const std::wstring wide = WideFromUtf8(path);
    if (wide.empty())
        return false;
    CHandle file(CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file.Valid() && KeyOf(file.Get(), key);
}

std::wstring FinalPathOf(HANDLE handle)
{
    std::wstring path(32768, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), 0);
    if (length == 0 || length >= path.size())
        return {};
    path.resize(length);
    return path;
}

// The name a path stands for, its folder resolved (links followed) and in one case, as
// the file system compares names: a volume that is still to be inserted has no file yet,
// but its name must not be taken by the status file either.
std::wstring ResolvedName(const std::string& path)
{
    const std::wstring wide = WideFromUtf8(path);
    std::wstring full(32768, L'\0');
    wchar_t* namePart = nullptr;
    const DWORD length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), &namePart);
    if (wide.empty() || length == 0 || length >= full.size())
        return wide;
    full.resize(length);
    std::wstring name = namePart ? std::wstring(namePart) : std::wstring();
    std::wstring folder = full.substr(0, full.size() - name.size());
    CHandle handle(CreateFileW(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (handle.Valid()) {
        const std::wstring resolved = FinalPathOf(handle.Get());
        if (!resolved.empty())
            folder = resolved + L"\\";
    }
    std::wstring result = folder + name;
    CharLowerBuffW(result.data(), static_cast<DWORD>(result.size()));
    return result;
}

std::wstring TemporaryBeside(const std::wstring& target)
{
    std::random_device random;
    return target + L".tmp" + std::to_wstring(random() % 1000000000u);
}

}  // namespace

bool CStatusFile::Check(const std::vector<std::string>& volumePaths, std::string& error)
{
    const std::wstring wide = WideFromUtf8(m_path);
    if (wide.empty()) {
        error = Reason(ERROR_INVALID_NAME);
        return false;
    }
    m_target = m_path;
    m_name = Utf8FromWide(ResolvedName(m_path));
    m_identity.clear();
    for (const std::string& volume : volumePaths) {
        if (ResolvedName(volume) == ResolvedName(m_path)) {
            error = "it is the name of the update file " + volume;
            return false;
        }
    }
    // Opened for its identity only, never created: a file that is not there appears only
    // when Write moves its whole text into place.
    CHandle file(CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    std::wstring target;
    if (file.Valid()) {
        BY_HANDLE_FILE_INFORMATION info{};
        if (GetFileType(file.Get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.Get(), &info) ||
            (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            error = "not a regular file";
            return false;
        }
        const FileKey own{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
        for (const std::string& volume : volumePaths) {
            FileKey other;
            if (KeyOfPath(volume, other) && other.volume == own.volume && other.indexHigh == own.indexHigh &&
                other.indexLow == own.indexLow) {
                error = "it is the update file " + volume;
                return false;
            }
        }
        // A status text or trace moved over the file a standard stream writes to would
        // replace the JSON record a script is keeping there, or mix into it.
        for (const auto& [which, name] : {std::pair{STD_OUTPUT_HANDLE, "the standard output"},
                                          std::pair{STD_ERROR_HANDLE, "the standard error"}}) {
            const HANDLE stream = GetStdHandle(which);
            FileKey streamKey;
            if (stream && stream != INVALID_HANDLE_VALUE && GetFileType(stream) == FILE_TYPE_DISK &&
                KeyOf(stream, streamKey) && streamKey.volume == own.volume &&
                streamKey.indexHigh == own.indexHigh && streamKey.indexLow == own.indexLow) {
                error = std::string("it is ") + name + " of this command";
                return false;
            }
        }
        CHandle writable(CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!writable.Valid()) {
            error = Reason(GetLastError());
            return false;
        }
        target = FinalPathOf(file.Get());
        m_identity = std::to_string(own.volume) + ":" + std::to_string(own.indexHigh) + ":" +
                     std::to_string(own.indexLow);
    } else {
        const DWORD reason = GetLastError();
        if (reason != ERROR_FILE_NOT_FOUND) {
            error = Reason(reason);
            return false;
        }
    }
    if (!target.empty())
        m_target = Utf8FromWide(target);
    // The text is moved into place at the end, so the folder must take a new file too
    // (the trial file is gone again when its handle closes).
    const std::wstring probe = TemporaryBeside(target.empty() ? wide : target);
    CHandle trial(CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!trial.Valid()) {
        error = "its folder is not writable: " + Reason(GetLastError());
        return false;
    }
    return true;
}

bool CStatusFile::SameFile(const CStatusFile& other) const
{
    return m_name == other.m_name || (!m_identity.empty() && m_identity == other.m_identity);
}

bool CStatusFile::Write(const std::string& text, std::string& error)
{
    const std::wstring target = WideFromUtf8(m_target.empty() ? m_path : m_target);
    if (target.empty()) {
        error = Reason(ERROR_INVALID_NAME);
        return false;
    }
    // Checked again here, as the move replaces whatever has the name: a folder or a device
    // put there during the run must never be replaced by a status text.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT))) {
        error = "no longer a regular file";
        return false;
    }
    const std::wstring temporary = TemporaryBeside(target);
    CHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        error = Reason(GetLastError());
        return false;
    }
    DWORD reason = 0;
    for (size_t done = 0; reason == 0 && done < text.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file.Get(), text.data() + done, chunk, &written, nullptr))
            reason = GetLastError();
        else if (written == 0)
            reason = ERROR_WRITE_FAULT;
        done += written;
    }
    if (reason == 0 && !FlushFileBuffers(file.Get()))
        reason = GetLastError();
    if (!file.Close() && reason == 0)
        reason = GetLastError();
    if (reason == 0 && !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        reason = GetLastError();
    if (reason != 0) {
        DeleteFileW(temporary.c_str());
        error = Reason(reason);
        return false;
    }
    return true;
}

}  // namespace zorflash

#include "platform/StatusFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace zorflash {

namespace {

std::string Reason(int error)
{
    return std::strerror(error);
}

// A descriptor closed on every way out.
class CDescriptor {
public:
    explicit CDescriptor(int fd) : m_fd(fd) {}
    ~CDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CDescriptor(const CDescriptor&) = delete;
    CDescriptor& operator=(const CDescriptor&) = delete;
    int Get() const { return m_fd; }
    // The close of a written file can be where a full disk shows.
    bool Close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

std::string DirectoryOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The name a path stands for, its folder resolved: a volume that is still to be inserted
// has no inode yet, but its name must not be taken by the status file either.
std::string ResolvedName(const std::string& path)
{
    char folder[PATH_MAX];
    if (!realpath(DirectoryOf(path).c_str(), folder))
        return path;
    const size_t slash = path.find_last_of('/');
    return std::string(folder) + "/" + (slash == std::string::npos ? path : path.substr(slash + 1));
}

}  // namespace

bool CStatusFile::Check(const std::vector<std::string>& volumePaths, std::string& error)
{
    for (const std::string& volume : volumePaths) {
        if (ResolvedName(volume) == ResolvedName(m_path)) {
            error = "it is the name of the update file " + volume;
            return false;
        }
    }
    // O_NONBLOCK: a FIFO must not hold the open until a reader comes; O_NOCTTY: a terminal
    // must not become ours. Never O_TRUNC: what is there stays until the rename.
    const int fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = Reason(errno);
        return false;
    }
    CDescriptor file(fd);
    struct stat own {};
    if (fstat(fd, &own) != 0) {
        error = Reason(errno);
        return false;
    }
    if (!S_ISREG(own.st_mode)) {
        error = "not a regular file";
        return false;
    }
    for (const std::string& volume : volumePaths) {
        struct stat other {};
        if (stat(volume.c_str(), &other) == 0 && other.st_dev == own.st_dev && other.st_ino == own.st_ino) {
            error = "it is the update file " + volume;
            return false;
        }
    }
    char resolved[PATH_MAX];
    m_target = realpath(m_path.c_str(), resolved) ? resolved : m_path;
    // The text is renamed into place at the end, so the folder must take a new file too.
    if (access(DirectoryOf(m_target).c_str(), W_OK | X_OK) != 0) {
        error = "its folder is not writable: " + Reason(errno);
        return false;
    }
    return true;
}

bool CStatusFile::Write(const std::string& text, std::string& error)
{
    const std::string target = m_target.empty() ? m_path : m_target;
    // Checked again here, as the rename replaces whatever has the name: a device node or
    // a folder put there during the run must never be replaced by a status text.
    struct stat now {};
    if (lstat(target.c_str(), &now) == 0 && !S_ISREG(now.st_mode)) {
        error = "no longer a regular file";
        return false;
    }
    std::string temporary = target + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = Reason(errno);
        return false;
    }
    CDescriptor file(fd);
    bool written = true;
    int reason = 0;
    struct stat old {};
    // The status file keeps the permissions it had; a new one gets the usual ones.
    mode_t mode = 0666;
    if (stat(target.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode &= ~mask;
    }
    if (fchmod(fd, mode) != 0) {
        written = false;
        reason = errno;
    }
    for (size_t done = 0; written && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            written = false;
            reason = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (written && fsync(fd) != 0) {
        written = false;
        reason = errno;
    }
    if (!file.Close() && written) {
        written = false;
        reason = errno;
    }
    if (written && rename(temporary.c_str(), target.c_str()) != 0) {
        written = false;
        reason = errno;
    }
    if (!written) {
        unlink(temporary.c_str());
        error = Reason(reason);
    }
    return written;
}

}  // namespace zorflash

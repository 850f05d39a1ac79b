#include "platform/StatusFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

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

// The name a write through this path ends at: every symbolic link followed, also one
// that points at nothing yet (a link to the missing volume 2 must not be taken for a new
// file of its own).
std::string FinalName(const std::string& path)
{
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved))
        return resolved;
    std::string name = path;
    for (int hop = 0; hop < 40; ++hop) {  // the system's own limit on links in a row
        char target[PATH_MAX];
        const ssize_t n = readlink(name.c_str(), target, sizeof target - 1);
        if (n <= 0)
            break;
        target[n] = '\0';
        name = target[0] == '/' ? std::string(target) : DirectoryOf(name) + "/" + target;
    }
    return ResolvedName(name);
}

std::string IdentityOf(const struct stat& info)
{
    return std::to_string(static_cast<unsigned long long>(info.st_dev)) + ":" +
           std::to_string(static_cast<unsigned long long>(info.st_ino));
}

// What a standard stream is, when it is a file: a status text or trace renamed over it
// would replace the JSON record a script is writing there, or mix into it.
const char* StandardStreamAt(const struct stat& file)
{
    for (const auto& [fd, name] : {std::pair{1, "the standard output"}, std::pair{2, "the standard error"}}) {
        struct stat stream {};
        if (fstat(fd, &stream) == 0 && stream.st_dev == file.st_dev && stream.st_ino == file.st_ino)
            return name;
    }
    return nullptr;
}

}  // namespace

bool CStatusFile::Check(const std::vector<std::string>& volumePaths, std::string& error)
{
    m_target = FinalName(m_path);
    m_name = m_target;
    m_identity.clear();
    for (const std::string& volume : volumePaths) {
        if (FinalName(volume) == m_name) {
            error = "it is the name of the update file " + volume;
            return false;
        }
    }
    // Only looked at: nothing is opened, so a FIFO cannot hold the check, a terminal
    // cannot become ours, and nothing is created before the run knows it may.
    struct stat own {};
    if (stat(m_path.c_str(), &own) == 0) {
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
        if (const char* stream = StandardStreamAt(own)) {
            error = std::string("it is ") + stream + " of this command";
            return false;
        }
        if (faccessat(AT_FDCWD, m_path.c_str(), W_OK, AT_EACCESS) != 0) {
            error = Reason(errno);
            return false;
        }
        m_identity = IdentityOf(own);
    } else if (errno != ENOENT) {
        error = Reason(errno);
        return false;
    }
    // The text is renamed into place at the end, so the folder must take a new file too.
    const std::string folder = DirectoryOf(m_target);
    struct stat folderInfo {};
    if (stat(folder.c_str(), &folderInfo) != 0) {
        error = "its folder " + folder + " cannot be used: " + Reason(errno);
        return false;
    }
    if (!S_ISDIR(folderInfo.st_mode)) {
        error = "its folder " + folder + " is not a folder";
        return false;
    }
    if (faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        error = "its folder is not writable: " + Reason(errno);
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

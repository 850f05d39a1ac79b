#include "ScratchDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

CScratchDir::CScratchDir()
{
    std::string base = "/dev/shm";
    struct stat st {};
    if (stat(base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || access(base.c_str(), W_OK) != 0) {
        const char* tmp = std::getenv("TMPDIR");
        base = tmp && *tmp ? tmp : "/tmp";
    }
    std::string pattern = base + "/zorflash-fuzz-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) {
        std::perror("zorflash fuzz: mkdtemp");
        std::abort();
    }
    m_path = buffer.data();
}

CScratchDir::~CScratchDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

void CScratchDir::Write(const std::string& name, const uint8_t* data, size_t size) const
{
    const std::string path = File(name);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        std::perror(path.c_str());
        std::abort();
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) {
            std::perror(path.c_str());
            std::abort();
        }
        done += static_cast<size_t>(n);
    }
    close(fd);
}

void CScratchDir::Remove(const std::string& name) const
{
    unlink(File(name).c_str());
}

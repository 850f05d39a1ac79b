#pragma once

// A private directory for the files a fuzz target writes on every input, on tmpfs when the
// machine has one (/dev/shm), so a million inputs cost no disk writes. Removed with the
// object.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class CScratchDir {
public:
    CScratchDir()
    {
        const std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::filesystem::temp_directory_path().string();
        std::string pattern = base + "/zorflash-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data()))
            Abort("mkdtemp");
        m_path = pattern;
    }
    ~CScratchDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    CScratchDir(const CScratchDir&) = delete;
    CScratchDir& operator=(const CScratchDir&) = delete;

    std::string File(const std::string& name) const { return m_path + "/" + name; }
    // Replaces the file's contents; aborts if it cannot, since every later result would lie.
    void Write(const std::string& name, const uint8_t* data, size_t size) const
    {
        std::ofstream out(File(name), std::ios::binary | std::ios::trunc);
        if (!out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size)).flush())
            Abort(File(name).c_str());
    }
    void Remove(const std::string& name) const { std::remove(File(name).c_str()); }

private:
    [[noreturn]] static void Abort(const char* what)
    {
        std::perror(what);
        std::abort();
    }
    std::string m_path;
};

#pragma once

#include <cstdint>
#include <string>

// A private directory for the files a fuzz target writes on every input, on tmpfs when
// the machine has one (/dev/shm), so a million inputs cost no disk writes. Removed with
// the object.
class CScratchDir {
public:
    CScratchDir();
    ~CScratchDir();
    CScratchDir(const CScratchDir&) = delete;
    CScratchDir& operator=(const CScratchDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    // Replaces the file's contents; aborts if it cannot, since every later result would lie.
    void Write(const std::string& name, const uint8_t* data, size_t size) const;
    void Remove(const std::string& name) const;

private:
    std::string m_path;
};

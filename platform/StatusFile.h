#pragma once

#include <string>
#include <vector>

namespace zorflash {

// The CLI's --status-file: checked before the instrument is contacted, written at the end
// into a temporary file beside it and renamed over it, so that a crash never leaves half a
// status text and no update file is ever written over. (Windows: the volume's serial number
// and the file index stand for device and inode, and the text is moved over the file.)
class CStatusFile {
public:
    explicit CStatusFile(std::string path) : m_path(std::move(path)) {}

    // Refuses (false, error says why) a path that is a volume of the update (through
    // symbolic and hard links), that is no regular file (a directory, FIFO or device), or
    // where nothing can be written. A missing file is created.
    bool Check(const std::vector<std::string>& volumePaths, std::string& error);
    // Every write, the flush to disk, the close and the rename are checked.
    bool Write(const std::string& text, std::string& error);

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    std::string m_target;  // the file itself, symbolic links followed
};

}  // namespace zorflash

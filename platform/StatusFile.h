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

    // Refuses (false, error says why) a path that is a volume of the update or the
    // program's standard output or error (through symbolic and hard links, a link to a
    // volume still to be inserted included), that is no regular file (a directory, FIFO
    // or device), or where nothing can be written. Creates nothing: a file that is not
    // there appears only when Write puts its whole text in place.
    bool Check(const std::vector<std::string>& volumePaths, std::string& error);
    // Every write, the flush to disk, the close and the rename are checked.
    bool Write(const std::string& text, std::string& error);

    const std::string& Path() const { return m_path; }
    // After Check: both name the same file, by the name they end at or by identity
    // (a hard link), so one would write over the other.
    bool SameFile(const CStatusFile& other) const;

private:
    std::string m_path;
    std::string m_target;    // the file itself, symbolic links followed
    std::string m_name;      // m_target as names are compared on this system
    std::string m_identity;  // the existing file's device and inode; empty for a new one
};

}  // namespace zorflash

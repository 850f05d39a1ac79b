#pragma once

#include <string>

namespace zorflash {

class CFile;

constexpr int kHeaderPreviewLines = 4;

// The first four header lines of an open update file, each read with the reader's line
// rule (up to LF, at most 64 bytes) and kept up to its first NUL, line ends included.
// A short file gives the lines it has. CFileException passes to the caller.
std::string ReadHeaderPreview(CFile& file);

// The preview as the header box shows it (UTF-8, lines separated by LF): a line ends only
// at CR LF; every byte that is not printable ASCII, a lone CR or LF among them, shows as
// "·", so a binary file looks like one and never breaks a line where the file has none.
std::string FormatHeaderPreview(const std::string& preview);

}  // namespace zorflash

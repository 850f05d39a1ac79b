#pragma once

#include <string>

class CFile;

constexpr int kHeaderPreviewLines = 4;

// The first four header lines of an open update file, each read with the reader's line
// rule (up to LF, at most 64 bytes) and kept up to its first NUL, line ends included.
// A short file gives the lines it has. CFileException passes to the caller.
std::string ReadHeaderPreview(CFile& file);

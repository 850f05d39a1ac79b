#pragma once

#include "resources/strings/Language.h"

#include <string>

namespace zorflash {

// A file error, thrown by CFile::Read and CFile::Seek. The cause numbers are the ones the
// instrument tools have always used; 14 is the end of the file.
class CFileException {
public:
    enum Cause {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
    };

    CFileException(int cause, int osError, std::string fileName);

    static int CauseFromErrno(int osError);

    int m_cause;
    int m_lOsError;
    std::string m_strFileName;

    // The operator's message: which file and what went wrong.
    std::string GetErrorMessage(Language language) const;
};

}  // namespace zorflash

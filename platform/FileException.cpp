#include "platform/FileException.h"

#include "platform/LastError.h"
#include "platform/StringResource.h"

#include <cerrno>

namespace zorflash {

CFileException::CFileException(int cause, int osError, std::string fileName)
    : m_cause(cause)
    , m_lOsError(osError)
    , m_strFileName(std::move(fileName))
{
}

#ifdef _WIN32
// The Win32 codes a file open, read or seek leaves, as the framework has always mapped them.
int CFileException::CauseFromErrno(int osError)
{
    switch (osError) {
    case 2:    // ERROR_FILE_NOT_FOUND
        return fileNotFound;
    case 3:    // ERROR_PATH_NOT_FOUND
    case 123:  // ERROR_INVALID_NAME
    case 161:  // ERROR_BAD_PATHNAME
    case 206:  // ERROR_FILENAME_EXCED_RANGE
        return badPath;
    case 4:    // ERROR_TOO_MANY_OPEN_FILES
        return tooManyOpenFiles;
    case 5:    // ERROR_ACCESS_DENIED
    case 19:   // ERROR_WRITE_PROTECT
        return accessDenied;
    case 6:    // ERROR_INVALID_HANDLE
    case 1:    // ERROR_INVALID_FUNCTION
        return invalidFile;
    case 25:   // ERROR_SEEK
    case 131:  // ERROR_NEGATIVE_SEEK
    case 87:   // ERROR_INVALID_PARAMETER
        return badSeek;
    case 23:   // ERROR_CRC
    case 30:   // ERROR_READ_FAULT
    case 1117: // ERROR_IO_DEVICE
        return hardIO;
    case 32:   // ERROR_SHARING_VIOLATION
        return sharingViolation;
    case 33:   // ERROR_LOCK_VIOLATION
        return lockViolation;
    case 39:   // ERROR_HANDLE_DISK_FULL
    case 112:  // ERROR_DISK_FULL
        return diskFull;
    case 38:   // ERROR_HANDLE_EOF
        return endOfFile;
    default:
        return genericException;
    }
}
#else
int CFileException::CauseFromErrno(int osError)
{
    switch (osError) {
    case ENOENT:
        return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return badPath;
    case EMFILE:
    case ENFILE:
        return tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
        return accessDenied;
    case EISDIR:
    case EBADF:
        return invalidFile;
    case ESPIPE:
    case EINVAL:
        return badSeek;
    case EIO:
        return hardIO;
    case ENOSPC:
        return diskFull;
    default:
        return genericException;
    }
}
#endif

std::string CFileException::GetErrorMessage(Language language) const
{
    int cause = m_cause;
    if (cause < none || cause > endOfFile)
        cause = genericException;
    std::string text = FormatStringResource(language, kIdsFileErrorFirst + static_cast<unsigned>(cause),
                                            m_strFileName.empty() ? "?" : m_strFileName.c_str());
    if (m_lOsError != 0) {
        text += " (";
        text += SystemErrorText(static_cast<uint32_t>(m_lOsError));
        text += ")";
    }
    return text;
}

}  // namespace zorflash

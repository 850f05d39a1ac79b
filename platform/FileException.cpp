#include "platform/FileException.h"

#include "platform/StringResource.h"

#include <cerrno>
#include <cstring>

namespace zorflash {

CFileException::CFileException(int cause, int osError, std::string fileName)
    : m_cause(cause)
    , m_lOsError(osError)
    , m_strFileName(std::move(fileName))
{
}

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

std::string CFileException::GetErrorMessage(Language language) const
{
    int cause = m_cause;
    if (cause < none || cause > endOfFile)
        cause = genericException;
    std::string text = FormatStringResource(language, kIdsFileErrorFirst + static_cast<unsigned>(cause),
                                            m_strFileName.empty() ? "?" : m_strFileName.c_str());
    if (m_lOsError != 0) {
        text += " (";
        text += std::strerror(m_lOsError);
        text += ")";
    }
    return text;
}

}  // namespace zorflash

#include "app/ZorflashDoc.h"

#include "platform/FileException.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace zorflash {

bool CZorflashDoc::OnNewDocument()
{
    ApplyNewDocumentDefaults(m_settings);
    m_pathName.clear();
    return true;
}

bool CZorflashDoc::OnSaveDocument(const std::string& path, Language language, std::string& errorMessage)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666);
    int error = fd < 0 ? errno : 0;
    if (fd >= 0 && ::close(fd) != 0)
        error = errno;
    if (error == 0)
        return true;
    errorMessage = CFileException(CFileException::CauseFromErrno(error), error, path).GetErrorMessage(language);
    return false;
}

}  // namespace zorflash

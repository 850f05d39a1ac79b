#include "ui/ZorflashDoc.h"

#include "platform/EmptyFile.h"
#include "platform/FileException.h"
#include "platform/LastError.h"

namespace zorflash {

bool CZorflashDoc::OnNewDocument()
{
    ApplyNewDocumentDefaults(m_settings);
    m_pathName.clear();
    return true;
}

bool CZorflashDoc::OnSaveDocument(const std::string& path, Language language, std::string& errorMessage)
{
    if (CreateEmptyFile(path))
        return true;
    const int error = static_cast<int>(GetLastError());
    errorMessage = CFileException(CFileException::CauseFromErrno(error), error, path).GetErrorMessage(language);
    return false;
}

}  // namespace zorflash

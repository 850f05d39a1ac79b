#pragma once

#include "resources/strings/Language.h"
#include "update/UpdateSettings.h"

#include <string>

namespace zorflash {

// The one document: it has no contents of its own and holds the settings record for the
// whole run of the program. Nothing is stored between runs.
class CZorflashDoc {
public:
    CZorflashDoc() = default;
    CZorflashDoc(const CZorflashDoc&) = delete;
    CZorflashDoc& operator=(const CZorflashDoc&) = delete;

    // The new-document step: the defaults, with the chosen file's path kept.
    bool OnNewDocument();
    // Save: the document has no contents, so the file is created empty. False with the
    // operator's message when the file cannot be written.
    bool OnSaveDocument(const std::string& path, Language language, std::string& errorMessage);

    // The file the document was last saved to; empty until the first save and after New.
    // Save asks for a name only while this is empty.
    const std::string& GetPathName() const { return m_pathName; }
    void SetPathName(const std::string& path) { m_pathName = path; }

    UpdateSettings& GetSettings() { return m_settings; }
    const UpdateSettings& GetSettings() const { return m_settings; }

private:
    UpdateSettings m_settings;
    std::string m_pathName;
};

}  // namespace zorflash

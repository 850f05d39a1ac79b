#pragma once

#include "resources/strings/Language.h"
#include "ui/FrameView.h"

#include <cstddef>
#include <string>

namespace zorflash {

class CFormPresenter;
class CZorflashDoc;

// The main window's rules: its title (the saved document's name and, while an update
// runs, its percent, so a minimised window still tells how far it is), the commands
// locked during an update, New, Save, a dropped file, and the refusal to close while an
// update runs (the worker writes to the form and posts to it up to its last step).
// It registers with the form's presenter to follow the lock and the percent.
class CFramePresenter {
public:
    CFramePresenter(IFrameView& view, CZorflashDoc& document, CFormPresenter& form, Language language);
    ~CFramePresenter();
    CFramePresenter(const CFramePresenter&) = delete;
    CFramePresenter& operator=(const CFramePresenter&) = delete;

    // New: the defaults again and the form's first display; the chosen file stays named.
    void OnFileNew();
    // Save: the document has no contents, so an empty file. The name is asked for only
    // until the document has one; the title then shows it. A file that cannot be written
    // is reported and its name not kept.
    void OnFileSave();
    // Whether files dragged over the window would be taken: exactly one local file, and
    // no update running.
    bool AcceptsDrop(size_t fileCount, bool allLocal) const;
    // A file dropped on the window is chosen as Browse chooses it.
    void OnDropFile(const std::string& path);
    // The operator (or the system) asks to close the window. False, with a message, while
    // an update runs.
    bool OnClose();

    // ---- from the form's presenter
    void OnUpdatingChanged(bool updating);
    void OnProgressPercentChanged(int percent);  // -1: no update running

    std::string Title() const;

private:
    void UpdateTitle();

    IFrameView& m_view;
    CZorflashDoc& m_document;
    CFormPresenter& m_form;
    Language m_language;
    int m_percent = -1;
};

}  // namespace zorflash

#pragma once

#include <memory>

namespace zorflash {

class CMainFrame;
class CZorflashDoc;

// The application: one document, one main frame with its form, shown under the title
// "Zorflash". Every start begins with the defaults; nothing is read from or kept for a
// later run.
class CZorflashApp {
public:
    CZorflashApp();
    ~CZorflashApp();
    CZorflashApp(const CZorflashApp&) = delete;
    CZorflashApp& operator=(const CZorflashApp&) = delete;

    // Document (new-document step), frame and form (first display), caption, and the
    // window shown unless show is false. False when the program cannot start.
    bool InitInstance(bool show = true);
    void OnAppAbout();

    CZorflashDoc* GetDocument() const { return m_document.get(); }
    CMainFrame* GetMainFrame() const { return m_frame.get(); }

private:
    // The frame refers to the document, so it goes first.
    std::unique_ptr<CZorflashDoc> m_document;
    std::unique_ptr<CMainFrame> m_frame;
};

}  // namespace zorflash

#include "ui/FramePresenter.h"

#include "platform/PathText.h"
#include "platform/StringResource.h"
#include "ui/FormPresenter.h"
#include "ui/ProgressFigures.h"
#include "ui/UiStringIds.h"
#include "ui/ZorflashDoc.h"

namespace zorflash {

CFramePresenter::CFramePresenter(IFrameView& view, CZorflashDoc& document, CFormPresenter& form, Language language)
    : m_view(view)
    , m_document(document)
    , m_form(form)
    , m_language(language)
{
    m_form.SetFramePresenter(this);
    UpdateTitle();
}

CFramePresenter::~CFramePresenter()
{
    // The form outlives the frame's own parts, and an update it still finishes must not
    // reach the frame's commands or title.
    m_form.SetFramePresenter(nullptr);
}

void CFramePresenter::OnFileNew()
{
    if (m_form.IsUpdating())
        return;
    if (m_document.OnNewDocument())
        m_form.OnInitialUpdate();
    UpdateTitle();
}

void CFramePresenter::OnFileSave()
{
    if (m_form.IsUpdating())
        return;
    std::string path = m_document.GetPathName();
    if (path.empty()) {
        path = m_view.ChooseSaveFile();
        if (path.empty())
            return;
    }
    std::string error;
    if (!m_document.OnSaveDocument(path, m_language, error)) {
        m_view.ShowMessage(MessageIcon::Warning, LoadStringResource(kIdsAppTitle, m_language), error);
        return;
    }
    m_document.SetPathName(path);
    UpdateTitle();
}

bool CFramePresenter::AcceptsDrop(size_t fileCount, bool allLocal) const
{
    // One local file, as Browse chooses one; nothing while an update runs.
    return fileCount == 1 && allLocal && !m_form.IsUpdating();
}

void CFramePresenter::OnDropFile(const std::string& path)
{
    if (AcceptsDrop(1, true))
        m_form.OnFileChosen(path);
}

bool CFramePresenter::OnClose()
{
    // The update worker writes to the form and posts to it up to its last step, so the
    // window stays until the update has finished.
    if (m_form.IsUpdating()) {
        m_view.ShowMessage(MessageIcon::Information, LoadStringResource(kIdsAppTitle, m_language),
                           LoadStringResource(kIdsUpdateInProgress, m_language));
        return false;
    }
    return true;
}

void CFramePresenter::OnUpdatingChanged(bool updating)
{
    m_view.EnableSettingsCommands(!updating);
}

void CFramePresenter::OnProgressPercentChanged(int percent)
{
    m_percent = percent;
    UpdateTitle();
}

std::string CFramePresenter::Title() const
{
    std::string title = LoadStringResource(kIdsAppTitle, m_language);
    const std::string& path = m_document.GetPathName();
    if (!path.empty())
        title = Utf8FromPath(PathFromUtf8(path).filename()) + " - " + title;
    return CProgressFigures::Title(m_percent, title);
}

void CFramePresenter::UpdateTitle()
{
    m_view.SetTitle(Title());
}

}  // namespace zorflash

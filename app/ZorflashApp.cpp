#include "app/ZorflashApp.h"

#include "app/AboutDialog.h"
#include "app/MainFrame.h"
#include "ui/ZorflashDoc.h"
#include "app/UiStrings.h"
#include "app/ZorflashView.h"

#include <QObject>

namespace zorflash {

CZorflashApp::CZorflashApp() = default;

CZorflashApp::~CZorflashApp()
{
    m_frame.reset();
    m_document.reset();
}

bool CZorflashApp::InitInstance(bool show)
{
    m_document = std::make_unique<CZorflashDoc>();
    if (!m_document->OnNewDocument())
        return false;
    m_frame = std::make_unique<CMainFrame>(m_document.get());
    m_frame->GetView()->OnInitialUpdate();
    QObject::connect(m_frame.get(), &CMainFrame::AboutRequested, m_frame.get(), [this] { OnAppAbout(); });
    m_frame->setWindowTitle(AppTitle());
    if (show) {
        m_frame->show();
        m_frame->repaint();
    }
    return true;
}

void CZorflashApp::OnAppAbout()
{
    CAboutDialog dialog(m_frame.get());
    dialog.exec();
}

}  // namespace zorflash

#include "app/MainFrame.h"

#include "app/AppIcon.h"
#include "app/ProgressDisplay.h"
#include "app/UiStrings.h"
#include "app/ZorflashView.h"
#include "resources/ui/MenuResource.h"
#include "ui/FormPresenter.h"
#include "ui/ZorflashDoc.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QUrl>

#include <algorithm>

namespace zorflash {

CMainFrame::CMainFrame(CZorflashDoc* document)
    : m_pDocument(document)
{
    // No resizing border and no maximize box: the window is as large as the form.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowIcon(AppIcon());
    setWindowTitle(AppTitle());

    m_pView = new CZorflashView(document->GetSettings(), this);
    setCentralWidget(m_pView);
    CreateActions();
    CreateMenu();
    CreateToolBar();
    CreateStatusBar();
    // The frame is as large as the form with its bars, once and for all: hiding a bar
    // leaves its room empty rather than shrinking the window under the operator's mouse.
    layout()->activate();
    setFixedSize(sizeHint());
    setAcceptDrops(true);

    m_presenter = std::make_unique<CFramePresenter>(*this, *document, m_pView->Presenter(), UiLanguage());
    m_saveChooser = [](QWidget* owner) {
        return QFileDialog::getSaveFileName(owner, UiText(kIdsSaveAsCaption));
    };
    // The accelerator table sees a key before any control of this window does, as the
    // keys must act (or do nothing) also inside the form's text boxes.
    qApp->installEventFilter(this);
}

CMainFrame::~CMainFrame()
{
    // The form outlives this part of the frame (Qt deletes it with the window), and an
    // update it still finishes must not reach the frame's commands, title or status bar.
    m_presenter.reset();
    m_pView->SetProgressDisplay(nullptr);
    qApp->removeEventFilter(this);
}

QAction* CMainFrame::GetAction(int command) const
{
    auto it = m_actions.find(command);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::CreateActions()
{
    auto add = [this](int command, auto handler) {
        auto* action = new QAction(this);
        action->setObjectName(QString::number(command));
        action->setProperty("controlId", command);
        connect(action, &QAction::triggered, this, handler);
        m_actions[command] = action;
        return action;
    };
    add(kIdFileNew, [this] { OnFileNew(); });
    add(kIdFileOpen, [this] { m_pView->OnBrowse(); })->setToolTip(ToolTipText(kIdsOpenCommand));
    add(kIdFileSave, [this] { OnFileSave(); });
    add(kIdAppExit, [this] { close(); })->setToolTip(ToolTipText(kIdsExitCommand));
    add(kIdCommSettings, [this] { m_pView->OnSettings(); })->setToolTip(ToolTipText(kIdsCommSettingsCommand));
    add(kIdAppAbout, [this] { emit AboutRequested(); });
    QAction* statusBarToggle = add(kIdViewStatusBar, [this](bool shown) { statusBar()->setVisible(shown); });
    statusBarToggle->setCheckable(true);
    statusBarToggle->setChecked(true);

    QStyle* s = style();
    m_actions[kIdFileOpen]->setIcon(s->standardIcon(QStyle::SP_DialogOpenButton));
    m_actions[kIdCommSettings]->setIcon(s->standardIcon(QStyle::SP_DriveNetIcon));
    m_actions[kIdAppExit]->setIcon(s->standardIcon(QStyle::SP_DialogCloseButton));
}

void CMainFrame::CreateMenu()
{
    // The tool bar's own show/hide action carries the check mark, so the item stays true
    // to the bar however it was hidden.
    m_toolBar = new QToolBar(this);
    m_actions[kIdViewToolBar] = m_toolBar->toggleViewAction();

    size_t count = 0;
    const MenuEntry* entries = GetMainMenu(UiLanguage(), count);
    QMenu* menu = nullptr;
    for (size_t i = 0; i < count; ++i) {
        const MenuEntry& entry = entries[i];
        if (entry.popup) {
            menu = menuBar()->addMenu(QString::fromUtf8(entry.text));
        } else if (!menu) {
            continue;
        } else if (entry.command == 0) {
            menu->addSeparator();
        } else if (QAction* action = GetAction(entry.command)) {
            action->setText(QString::fromUtf8(entry.text));
            menu->addAction(action);
        }
    }
}

void CMainFrame::CreateToolBar()
{
    m_toolBar->setObjectName(QString::number(kIdViewToolBar));
    m_toolBar->setProperty("controlId", kIdViewToolBar);
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setMovable(true);
    m_toolBar->setFloatable(true);
    m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_toolBar->addAction(GetAction(kIdFileOpen));
    m_toolBar->addAction(GetAction(kIdCommSettings));
    m_toolBar->addSeparator();
    m_toolBar->addAction(GetAction(kIdAppExit));
    addToolBar(Qt::TopToolBarArea, m_toolBar);
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QString::number(kIdViewStatusBar));
    bar->setProperty("controlId", kIdViewStatusBar);
    m_progress = new CProgressDisplay(bar);
    bar->addWidget(m_progress, 1);
    m_pView->SetProgressDisplay(m_progress);
}

void CMainFrame::OnFileNew()
{
    m_presenter->OnFileNew();
}

void CMainFrame::OnFileSave()
{
    m_presenter->OnFileSave();
}

void CMainFrame::SetTitle(const std::string& title)
{
    setWindowTitle(QString::fromStdString(title));
}

void CMainFrame::EnableSettingsCommands(bool enabled)
{
    for (int command : {kIdFileNew, kIdFileOpen, kIdFileSave, kIdCommSettings})
        m_actions[command]->setEnabled(enabled);
}

std::string CMainFrame::ChooseSaveFile()
{
    const QString chosen = m_saveChooser ? m_saveChooser(this) : QString();
    return QFile::encodeName(chosen).toStdString();
}

void CMainFrame::ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text)
{
    // The form's message box, so one seam answers for every box of the window.
    m_pView->ShowMessage(icon, caption, text, MessageButtons::Ok);
}

bool CMainFrame::OnDragEvent(QEvent* event)
{
    auto* drop = static_cast<QDropEvent*>(event);
    const QMimeData* data = drop->mimeData();
    const QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
    if (urls.isEmpty())
        return false;
    const bool allLocal = std::all_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
    if (!m_presenter->AcceptsDrop(static_cast<size_t>(urls.size()), allLocal)) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    if (event->type() == QEvent::Drop)
        m_presenter->OnDropFile(QFile::encodeName(urls.first().toLocalFile()).toStdString());
    return true;
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!m_presenter->OnClose()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

int CMainFrame::AcceleratorCommand(const QKeyEvent& key)
{
    // Accelerator table 128 (resources/ui), whose keys are the platform's virtual-key codes:
    // a letter is its capital, the rest are the few keys the table names.
    auto qtKey = [](int virtualKey) {
        if (virtualKey >= 'A' && virtualKey <= 'Z')
            return Qt::Key_A + (virtualKey - 'A');
        switch (virtualKey) {
        case 0x08: return static_cast<int>(Qt::Key_Backspace);
        case 0x2D: return static_cast<int>(Qt::Key_Insert);
        case 0x2E: return static_cast<int>(Qt::Key_Delete);
        case 0x75: return static_cast<int>(Qt::Key_F6);
        default: return -1;
        }
    };
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    size_t count = 0;
    const AcceleratorEntry* table = GetAccelerators(count);
    for (size_t i = 0; i < count; ++i) {
        const AcceleratorEntry& a = table[i];
        Qt::KeyboardModifiers wanted = Qt::NoModifier;
        if (a.control)
            wanted |= Qt::ControlModifier;
        if (a.shift)
            wanted |= Qt::ShiftModifier;
        if (a.alt)
            wanted |= Qt::AltModifier;
        if (qtKey(a.key) == key.key() && wanted == modifiers)
            return a.command;  // the edit and pane commands have no action: taken and dropped
    }
    return -1;
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    const bool drag = type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop;
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride && !drag)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    // Keys of this window only: modal dialogs and message boxes keep their own keys.
    if (!widget || widget->window() != this)
        return false;
    // A file dropped anywhere on the window, a text box included, is an update file.
    if (drag)
        return OnDragEvent(event);
    const int command = AcceleratorCommand(*static_cast<QKeyEvent*>(event));
    if (command < 0)
        return false;
    if (type == QEvent::ShortcutOverride) {
        // Claim the key so that it arrives as a key press, which is taken below.
        event->accept();
        return true;
    }
    if (command != 0) {
        if (QAction* action = GetAction(command))
            action->trigger();  // does nothing while the action is locked
    }
    return true;
}

}  // namespace zorflash

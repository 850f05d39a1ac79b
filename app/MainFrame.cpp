#include "app/MainFrame.h"

#include "app/AppIcon.h"
#include "app/ZorflashDoc.h"
#include "platform/StringResource.h"
#include "resources/ui/MenuResource.h"
#include "ui/ProgressDisplay.h"
#include "ui/ProgressFigures.h"
#include "ui/UiStrings.h"
#include "ui/ZorflashView.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QUrl>

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

    connect(m_pView, &CZorflashView::UpdatingChanged, this, [this](bool updating) { OnUpdatingChanged(updating); });
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
    disconnect(m_pView, nullptr, this, nullptr);
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
    // A minimised window still tells how far the update is.
    connect(m_progress, &CProgressDisplay::PercentChanged, this, [this] { UpdateTitle(); });
}

void CMainFrame::UpdateTitle()
{
    const std::string& path = m_pDocument->GetPathName();
    QString title = AppTitle();
    if (!path.empty())
        title = QFileInfo(QFile::decodeName(path.c_str())).fileName() + QStringLiteral(" - ") + title;
    setWindowTitle(QString::fromStdString(
        CProgressFigures::Title(m_progress ? m_progress->Percent() : -1, title.toStdString())));
}

void CMainFrame::OnUpdatingChanged(bool updating)
{
    for (int command : {kIdFileNew, kIdFileOpen, kIdFileSave, kIdCommSettings})
        m_actions[command]->setEnabled(!updating);
}

void CMainFrame::OnFileNew()
{
    if (m_pView->IsUpdating())
        return;
    if (m_pDocument->OnNewDocument())
        m_pView->OnInitialUpdate();
    UpdateTitle();
}

void CMainFrame::OnFileSave()
{
    if (m_pView->IsUpdating())
        return;
    std::string path = m_pDocument->GetPathName();
    if (path.empty()) {
        const QString chosen = m_saveChooser ? m_saveChooser(this) : QString();
        if (chosen.isEmpty())
            return;
        path = QFile::encodeName(chosen).toStdString();
    }
    std::string error;
    if (!m_pDocument->OnSaveDocument(path, UiLanguage(), error)) {
        m_pView->ShowMessage(QMessageBox::Warning, AppTitle(), QString::fromStdString(error), QMessageBox::Ok);
        return;
    }
    m_pDocument->SetPathName(path);
    UpdateTitle();
}

bool CMainFrame::OnDragEvent(QEvent* event)
{
    auto* drop = static_cast<QDropEvent*>(event);
    const QMimeData* data = drop->mimeData();
    // One local file, as Browse chooses one; nothing while an update runs.
    const QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
    if (urls.isEmpty())
        return false;
    const bool acceptable = urls.size() == 1 && urls.first().isLocalFile() && !m_pView->IsUpdating();
    if (!acceptable) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    if (event->type() == QEvent::Drop)
        m_pView->OnFileChosen(urls.first().toLocalFile());
    return true;
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // The update worker writes to the form and posts to it up to its last step, so the
    // window stays until the update has finished.
    if (m_pView->IsUpdating()) {
        event->ignore();
        m_pView->ShowMessage(QMessageBox::Information, AppTitle(), UiText(kIdsUpdateInProgress), QMessageBox::Ok);
        return;
    }
    QMainWindow::closeEvent(event);
}

int CMainFrame::AcceleratorCommand(const QKeyEvent& key)
{
    struct Accelerator {
        int key;
        Qt::KeyboardModifiers modifiers;
        int command;
    };
    static const Accelerator kTable[] = {
        {Qt::Key_N, Qt::ControlModifier, kIdFileNew},
        {Qt::Key_O, Qt::ControlModifier, kIdFileOpen},
        {Qt::Key_S, Qt::ControlModifier, kIdFileSave},
        // Undo, Cut, Copy, Paste and the pane keys: taken and dropped.
        {Qt::Key_Z, Qt::ControlModifier, 0},
        {Qt::Key_Backspace, Qt::AltModifier, 0},
        {Qt::Key_X, Qt::ControlModifier, 0},
        {Qt::Key_Delete, Qt::ShiftModifier, 0},
        {Qt::Key_C, Qt::ControlModifier, 0},
        {Qt::Key_Insert, Qt::ControlModifier, 0},
        {Qt::Key_V, Qt::ControlModifier, 0},
        {Qt::Key_Insert, Qt::ShiftModifier, 0},
        {Qt::Key_F6, Qt::NoModifier, 0},
        {Qt::Key_F6, Qt::ShiftModifier, 0},
    };
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    for (const Accelerator& a : kTable) {
        if (a.key == key.key() && a.modifiers == modifiers)
            return a.command;
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

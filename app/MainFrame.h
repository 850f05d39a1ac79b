#pragma once

#include "ui/FramePresenter.h"
#include "ui/FrameView.h"

#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>

class QAction;
class QKeyEvent;
class QStatusBar;
class QToolBar;

namespace zorflash {

class CZorflashDoc;
class CZorflashView;
class CProgressDisplay;

// The main window: a fixed-size frame around the form, with the menu, the tool bar, the
// accelerator keys and the status bar. Its commands go to the form's presenter, the
// frame's presenter (CFramePresenter: New, Save, a dropped file, closing, the title and
// the commands locked while an update runs) or the application.
class CMainFrame : public QMainWindow, public IFrameView {
    Q_OBJECT
public:
    using SaveFileChooser = std::function<QString(QWidget* owner)>;

    explicit CMainFrame(CZorflashDoc* document);
    ~CMainFrame() override;

    CZorflashView* GetView() const { return m_pView; }
    QToolBar* GetToolBar() const { return m_toolBar; }
    CProgressDisplay* GetProgressDisplay() const { return m_progress; }
    // The action behind a command id (57600 New, 57601 Open, 57603 Save, 57664 About,
    // 57665 Exit, 32771 Communication Settings, 59392 Tool Bar); null if none.
    QAction* GetAction(int command) const;

    // New: the defaults again and the form's first display; the chosen file stays named.
    void OnFileNew();
    // Save: the document has no contents, so an empty file. The name is asked for only
    // until the document has one; the title then shows it.
    void OnFileSave();
    void SetSaveFileChooser(SaveFileChooser chooser) { m_saveChooser = std::move(chooser); }

    // IFrameView
    void SetTitle(const std::string& title) override;
    void EnableSettingsCommands(bool enabled) override;
    std::string ChooseSaveFile() override;
    void ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text) override;

signals:
    void AboutRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateActions();
    void CreateMenu();
    void CreateToolBar();
    void CreateStatusBar();
    bool OnDragEvent(QEvent* event);
    // The command a key of the accelerator table stands for (the edit and pane keys' have
    // no action here, so they do nothing), -1 for keys that are not in the table.
    static int AcceleratorCommand(const QKeyEvent& key);

    CZorflashDoc* m_pDocument;
    CZorflashView* m_pView = nullptr;
    QToolBar* m_toolBar = nullptr;
    CProgressDisplay* m_progress = nullptr;
    std::map<int, QAction*> m_actions;
    SaveFileChooser m_saveChooser;
    std::unique_ptr<CFramePresenter> m_presenter;  // made once the form exists
};

}  // namespace zorflash

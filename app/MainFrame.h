#pragma once

#include <QMainWindow>

#include <functional>
#include <map>

class QAction;
class QKeyEvent;
class QStatusBar;
class QToolBar;

namespace zorflash {

class CZorflashDoc;
class CZorflashView;
class CProgressDisplay;

// The main window: a fixed-size frame around the form, with the menu, the tool bar and
// the accelerator keys. Its commands are carried out by the form, the document or the
// application; while an update runs, those that could change the settings are locked.
class CMainFrame : public QMainWindow {
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
    void UpdateTitle();
    // A file dropped on the window is chosen as Browse would choose it.
    bool OnDragEvent(QEvent* event);
    void OnUpdatingChanged(bool updating);
    // The command a key of the accelerator table stands for: 0 for the keys that do
    // nothing, -1 for keys that are not in the table.
    static int AcceleratorCommand(const QKeyEvent& key);

    CZorflashDoc* m_pDocument;
    CZorflashView* m_pView = nullptr;
    QToolBar* m_toolBar = nullptr;
    CProgressDisplay* m_progress = nullptr;
    std::map<int, QAction*> m_actions;
    SaveFileChooser m_saveChooser;
};

}  // namespace zorflash

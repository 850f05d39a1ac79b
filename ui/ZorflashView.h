#pragma once

#include "platform/EditText.h"
#include "update/UpdateHost.h"

#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

class CProgressDisplay;
class CZorflashDoc;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The form the operator works in: model, update file with its header preview, link
// summary, Start and the status box. It is also the update's host: the worker thread
// reaches the status box and the operator only through it, and every such request is
// carried out on the window thread while the worker waits.
class CZorflashView : public QWidget, public CUpdateHost {
    Q_OBJECT
public:
    static constexpr int kUpdateFinishedEvent = static_cast<int>(WM_UPDATE_FINISHED);

    // Returns the chosen path, or an empty text when the operator cancelled.
    using FileChooser = std::function<QString(QWidget* owner, const QString& qtFilter)>;
    using MessageBoxFunction = std::function<QMessageBox::StandardButton(
        QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text,
        QMessageBox::StandardButtons buttons)>;

    explicit CZorflashView(CZorflashDoc* document, QWidget* parent = nullptr);
    ~CZorflashView() override;

    CZorflashDoc* GetDocument() const { return m_pDocument; }
    bool IsUpdating() const { return m_updating; }

    // First display: the model list filled afresh, row 0 chosen.
    void OnInitialUpdate();
    void SelectModel(int index);
    void ShowLinkSummary();

    void OnModelChanged();
    void OnBrowse();
    // What Browse does once the operator has chosen a file; a file dropped on the window
    // comes here too. Refused while an update runs.
    void OnFileChosen(const QString& path);
    void OnSettings();
    void OnStart();
    void OnUpdateFinished();

    // Seams for the modal windows a test cannot click.
    void SetFileChooser(FileChooser chooser) { m_fileChooser = std::move(chooser); }
    void SetMessageBoxFunction(MessageBoxFunction function) { m_messageBox = std::move(function); }
    QMessageBox::StandardButton ShowMessage(QMessageBox::Icon icon, const QString& caption, const QString& text,
                                            QMessageBox::StandardButtons buttons);

    // The status box's text as the update wrote it (CR LF line ends).
    std::string GetStatusText() const { return m_statusText.GetText(); }

    // Where the progress of an update is shown; the frame's status bar holds it.
    void SetProgressDisplay(CProgressDisplay* display) { m_progress = display; }

    // CUpdateHost, called on the update worker thread.
    const UpdateSettings& Settings() const override;
    int StatusGetTextLength() override;
    void StatusSetSel(int start, int end) override;
    void StatusScrollCaret() override;
    void StatusReplaceSel(const std::string& text) override;
    int StatusLineFromChar(int charIndex) override;
    int StatusLineIndex(int line) override;
    void StatusSetText(const std::string& text) override;
    bool PromptOkCancel(const std::string& text) override;
    void ReportError(const std::string& text) override;
    void PostUpdateFinished() override;
    void OnRecordStreamWrite(uint32_t bytes) override;

signals:
    // While an update runs nothing may change the record or start a second update; the
    // frame follows this to lock its own commands.
    void UpdatingChanged(bool updating);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    template <typename Function>
    auto OnWindowThread(Function function);
    void SetUpdating(bool updating);
    void RenderStatus();
    void ScrollStatusToCaret(int caret);
    void ReportException(const std::string& text);
    void ShowProgress();

    CZorflashDoc* m_pDocument;
    QPushButton* m_startButton = nullptr;      // 1006
    QPlainTextEdit* m_statusBox = nullptr;     // 1005
    QPlainTextEdit* m_headerBox = nullptr;     // 1004
    QLineEdit* m_fileNameBox = nullptr;        // 1001
    QLabel* m_linkSummary = nullptr;           // 1007
    QComboBox* m_modelList = nullptr;          // 1000
    QPushButton* m_browseButton = nullptr;     // 1002
    QPushButton* m_settingsButton = nullptr;   // 1003

    // The status box's model. Written only on the window thread, by the worker's blocking
    // requests (replace selection, set text) while the worker waits; the worker reads it
    // and sets its selection itself (see the status box requests in the source).
    CEditText m_statusText;
    std::vector<std::string> m_shownLines{std::string()};  // what the box shows, line by line

    bool m_updating = false;
    std::thread m_worker;
    // Set by the destructor so that a worker still running gets Cancel for its prompt
    // instead of a message box nobody will answer.
    std::atomic<bool> m_closing{false};
    std::atomic<bool> m_finishedPosted{false};

    // Progress of the running update. The worker adds to the counters after each write and
    // never waits; the window thread reads them on its own timer, so a fast link costs the
    // window nothing per block.
    std::atomic<uint64_t> m_streamBytes{0};
    std::atomic<int> m_endBytes{0};  // a write of one byte is an END: the section is over
    CProgressDisplay* m_progress = nullptr;
    // How a run that ends "aborted" came to it; set on the window thread, where the prompt
    // and the error report are shown.
    bool m_operatorCancelled = false;
    bool m_reportedError = false;
    QTimer m_progressTimer;
    QElapsedTimer m_progressClock;

    FileChooser m_fileChooser;
    MessageBoxFunction m_messageBox;
};

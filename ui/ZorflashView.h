#pragma once

#include "platform/EditText.h"
#include "ui/LogMailbox.h"
#include "update/UpdateHost.h"

#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zorflash {

class CProgressDisplay;

// The form the operator works in: model, update file with its header preview, link
// summary, Start and the status box. It is also the update's host. The worker thread
// never touches a widget or the form's state: it reads its own copy of the settings,
// leaves the log in a mailbox and posts; only the disk prompt and the error report wait,
// on the window thread, for the operator.
class CZorflashView : public QWidget, public CUpdateHost {
    Q_OBJECT
public:
    static constexpr int kUpdateFinishedEvent = static_cast<int>(WM_UPDATE_FINISHED);

    // Returns the chosen path, or an empty text when the operator cancelled.
    using FileChooser = std::function<QString(QWidget* owner, const QString& qtFilter)>;
    using MessageBoxFunction = std::function<QMessageBox::StandardButton(
        QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text,
        QMessageBox::StandardButtons buttons)>;

    // record: the document's settings record, which the form edits and the update copies.
    explicit CZorflashView(UpdateSettings& record, QWidget* parent = nullptr);
    ~CZorflashView() override;

    UpdateSettings& GetRecord() const { return m_record; }
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

    // How the last update ended, once its finished event has arrived.
    const UpdateResult& LastResult() const { return m_lastResult; }
    // The status box's text as the update wrote it (CR LF line ends).
    std::string GetStatusText() const { return m_statusText.GetText(); }

    // Where the progress of an update is shown; the frame's status bar holds it.
    void SetProgressDisplay(CProgressDisplay* display) { m_progress = display; }

    // CUpdateHost, called on the update worker thread (OnStatusLogChanged also on the
    // window thread, which shows the log at once).
    const UpdateSettings& Settings() const override;
    Language StatusLanguage() const override { return m_runLanguage; }
    void OnStatusLogChanged(const CEditText& log) override;
    bool PromptOkCancel(const std::string& text) override;
    void ReportError(const std::string& text) override;
    void PostUpdateFinished(const UpdateResult& result) override;
    void OnProgress(const UpdateProgress& progress) override;

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
    void OnStatusLogEvent();
    void ShowPendingLog();
    void ShowStatusLog(const std::string& text, int caret);
    void RenderStatus();
    void ScrollStatusToCaret(int caret);
    void ReportException(const std::string& text);
    void ShowProgress();

    UpdateSettings& m_record;
    QPushButton* m_startButton = nullptr;
    QPlainTextEdit* m_statusBox = nullptr;
    QPlainTextEdit* m_headerBox = nullptr;
    QLineEdit* m_fileNameBox = nullptr;
    QLabel* m_linkSummary = nullptr;
    QComboBox* m_modelList = nullptr;
    QPushButton* m_browseButton = nullptr;
    QPushButton* m_settingsButton = nullptr;

    // What the status box shows, window thread only; the job owns the log itself.
    CEditText m_statusText;
    // The one thing both threads touch, and it has its own lock.
    CLogMailbox m_logMailbox;
    // The record and language of the running update: copied at Start, read by the worker,
    // written again only after its finished event.
    UpdateSettings m_runSettings;
    Language m_runLanguage = Language::English;
    UpdateResult m_lastResult;
    std::vector<std::string> m_shownLines{std::string()};  // what the box shows, line by line

    bool m_updating = false;
    std::thread m_worker;
    // Set by the destructor so that a worker still running gets Cancel for its prompt
    // instead of a message box nobody will answer.
    std::atomic<bool> m_closing{false};
    std::atomic<bool> m_finishedPosted{false};

    // Progress of the running update. The worker leaves its latest value here and never
    // waits but for the copy; the window thread reads it on its own timer, so a fast link
    // costs the window nothing per block.
    std::mutex m_progressMutex;
    UpdateProgress m_latestProgress;
    CProgressDisplay* m_progress = nullptr;
    QTimer m_progressTimer;
    // The status box is redrawn at most every kLogRedrawMs; what comes between is merged
    // in the mailbox, and the last text is shown when the update ends.
    static constexpr int kLogRedrawMs = 40;
    QTimer m_logTimer;
    QElapsedTimer m_logClock;

    FileChooser m_fileChooser;
    MessageBoxFunction m_messageBox;
};

}  // namespace zorflash

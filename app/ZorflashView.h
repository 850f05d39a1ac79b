#pragma once

#include "ui/FormPresenter.h"
#include "ui/FormView.h"

#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zorflash {

class CProgressDisplay;

// The form the operator works in, as Qt widgets built from template 101: it shows what
// its presenter (CFormPresenter) says and passes on what the operator did. The worker's
// hand-over arrives as posted events (the log's wake-up, and type 1125 for the end); the
// disk prompt and the error report reach the window thread through a blocking queued
// call while the worker waits.
class CZorflashView : public QWidget, public IFormView {
    Q_OBJECT
public:
    static constexpr int kUpdateFinishedEvent = static_cast<int>(CFormPresenter::kUpdateFinishedMessage);

    // Returns the chosen path, or an empty text when the operator cancelled.
    using FileChooser = std::function<QString(QWidget* owner, const QString& qtFilter)>;
    using MessageBoxFunction = std::function<QMessageBox::StandardButton(
        QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text,
        QMessageBox::StandardButtons buttons)>;

    // record: the document's settings record, which the form edits and the update copies.
    explicit CZorflashView(UpdateSettings& record, QWidget* parent = nullptr);
    ~CZorflashView() override;

    CFormPresenter& Presenter() { return m_presenter; }
    UpdateSettings& GetRecord() const { return m_presenter.GetRecord(); }
    bool IsUpdating() const { return m_presenter.IsUpdating(); }
    std::string GetStatusText() const { return m_presenter.GetStatusText(); }
    const UpdateResult& LastResult() const { return m_presenter.LastResult(); }

    // What the operator did, handed on.
    void OnInitialUpdate() { m_presenter.OnInitialUpdate(); }
    void SelectModel(int index) { m_presenter.SelectModel(index); }
    void OnBrowse() { m_presenter.OnBrowse(); }
    void OnFileChosen(const QString& path);
    void OnSettings() { m_presenter.OnSettings(); }
    void OnStart() { m_presenter.OnStart(); }

    // Seams for the modal windows a test cannot click.
    void SetFileChooser(FileChooser chooser) { m_fileChooser = std::move(chooser); }
    void SetMessageBoxFunction(MessageBoxFunction function) { m_messageBox = std::move(function); }
    QMessageBox::StandardButton ShowMessage(QMessageBox::Icon icon, const QString& caption, const QString& text,
                                            QMessageBox::StandardButtons buttons);

    // Where the progress of an update is shown; the frame's status bar holds it.
    void SetProgressDisplay(CProgressDisplay* display) { m_progress = display; }

    // IFormView
    void ShowModelList(const std::vector<std::string>& names) override;
    void ShowModelSelection(int index) override;
    void ShowFileName(const std::string& name) override;
    void ShowHeaderPreview(const std::string& text) override;
    void ShowLinkSummary(const std::string& text) override;
    void ShowStatusText(const StatusBoxText& status) override;
    void EnableStart(bool enabled) override;
    void LockForUpdate(bool updating) override;
    void ShowProgress(const ProgressState& state) override;
    std::string ChooseUpdateFile(const std::string& filter) override;
    void RunSettingsDialog() override;
    bool ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text,
                     MessageButtons buttons) override;
    void StartTimer(FormTimer timer, int milliseconds) override;
    void StopTimer(FormTimer timer) override;
    void PostStatusLogChanged() override;
    void PostUpdateFinished() override;
    void RunOnWindowThread(const std::function<void()>& task) override;

signals:
    // While an update runs nothing may change the record or start a second update; the
    // frame and the benchmark's driver follow this.
    void UpdatingChanged(bool updating);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RenderStatus(const std::string& text);
    void ScrollStatusToCaret(const StatusBoxText& status);
    QTimer& Timer(FormTimer timer) { return timer == FormTimer::StatusLog ? m_logTimer : m_progressTimer; }

    QPushButton* m_startButton = nullptr;
    QPlainTextEdit* m_statusBox = nullptr;
    QPlainTextEdit* m_headerBox = nullptr;
    QLineEdit* m_fileNameBox = nullptr;
    QLabel* m_linkSummary = nullptr;
    QComboBox* m_modelList = nullptr;
    QPushButton* m_browseButton = nullptr;
    QPushButton* m_settingsButton = nullptr;
    CProgressDisplay* m_progress = nullptr;
    std::vector<std::string> m_shownLines{std::string()};  // what the status box shows, line by line
    QTimer m_logTimer;
    QTimer m_progressTimer;

    FileChooser m_fileChooser;
    MessageBoxFunction m_messageBox;
    // Last, so that it goes first: its Shutdown still serves the worker through the
    // widgets above.
    CFormPresenter m_presenter;
};

}  // namespace zorflash

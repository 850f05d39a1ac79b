#include "ui/ZorflashView.h"

#include "platform/File.h"
#include "platform/FileException.h"
#include "platform/LastError.h"
#include "platform/MemoryException.h"
#include "platform/StringResource.h"
#include "resources/ui/DialogTemplate.h"
#include "ui/CommSettingsDialog.h"
#include "ui/DialogBuilder.h"
#include "ui/EditLines.h"
#include "ui/EditMenu.h"
#include "ui/FileFilter.h"
#include "ui/HeaderPreview.h"
#include "ui/LinkSummary.h"
#include "ui/ProgressDisplay.h"
#include "ui/UiStrings.h"
#include "update/UpdateFileReader.h"
#include "update/UpdateProtocol.h"
#include "update/UpdateWorker.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QThread>

#include <new>
#include <system_error>
#include <type_traits>

namespace zorflash {

namespace {
// The wake-up the worker posts when the log has changed; one number for the program.
QEvent::Type StatusLogEventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// Message 1125, carrying the outcome to the window thread.
class CUpdateFinishedEvent : public QEvent {
public:
    explicit CUpdateFinishedEvent(const UpdateResult& result)
        : QEvent(static_cast<QEvent::Type>(CZorflashView::kUpdateFinishedEvent))
        , m_result(result)
    {
    }
    const UpdateResult& Result() const { return m_result; }

private:
    UpdateResult m_result;
};

QString JoinDisplayLines(const std::vector<std::string>& lines, size_t from)
{
    QString text;
    for (size_t i = from; i < lines.size(); ++i) {
        if (i > from)
            text += QLatin1Char('\n');
        text += QString::fromUtf8(lines[i].data(), static_cast<qsizetype>(lines[i].size()));
    }
    return text;
}
}  // namespace

CZorflashView::CZorflashView(UpdateSettings& record, QWidget* parent)
    : QWidget(parent)
    , m_record(record)
{
    const DialogTemplate* form = FindDialogTemplate(kIddZorflashForm, UiLanguage());
    CDialogBuilder(*form).Build(this);

    m_modelList = qobject_cast<QComboBox*>(FindControl(this, kIdcModelList));
    m_fileNameBox = qobject_cast<QLineEdit*>(FindControl(this, kIdcFileName));
    m_browseButton = qobject_cast<QPushButton*>(FindControl(this, kIdcBrowse));
    m_settingsButton = qobject_cast<QPushButton*>(FindControl(this, kIdcSettings));
    m_headerBox = qobject_cast<QPlainTextEdit*>(FindControl(this, kIdcHeaderPreview));
    m_statusBox = qobject_cast<QPlainTextEdit*>(FindControl(this, kIdcStatus));
    m_startButton = qobject_cast<QPushButton*>(FindControl(this, kIdcStart));
    m_linkSummary = qobject_cast<QLabel*>(FindControl(this, kIdcLinkSummary));
    m_startButton->setEnabled(false);

    // Every text box has its edit menu; the boxes with a scroll area get the request on
    // their viewport.
    for (QObject* box : {static_cast<QObject*>(m_statusBox->viewport()), static_cast<QObject*>(m_headerBox->viewport()),
                         static_cast<QObject*>(m_fileNameBox), static_cast<QObject*>(m_modelList->lineEdit())})
        box->installEventFilter(this);

    // A progress display is redrawn a few times a second, whatever the link's speed.
    m_progressTimer.setInterval(100);
    connect(&m_progressTimer, &QTimer::timeout, this, [this] { ShowProgress(); });
    m_logTimer.setSingleShot(true);
    connect(&m_logTimer, &QTimer::timeout, this, [this] { ShowPendingLog(); });

    // Only a choice from the list selects a model; text typed into the list's edit field
    // selects nothing, so Enter there must not pick a matching entry.
    m_modelList->lineEdit()->installEventFilter(this);
    connect(m_modelList, &QComboBox::activated, this, [this] { OnModelChanged(); });
    connect(m_browseButton, &QPushButton::clicked, this, [this] { OnBrowse(); });
    connect(m_settingsButton, &QPushButton::clicked, this, [this] { OnSettings(); });
    connect(m_startButton, &QPushButton::clicked, this, [this] { OnStart(); });

    m_fileChooser = [](QWidget* owner, const QString& filter) {
        return QFileDialog::getOpenFileName(owner, ToolTipText(kIdsOpenCommand), QString(), filter);
    };
    m_messageBox = [](QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text,
                      QMessageBox::StandardButtons buttons) {
        QMessageBox box(icon, caption, text, buttons, owner);
        return static_cast<QMessageBox::StandardButton>(box.exec());
    };
}

CZorflashView::~CZorflashView()
{
    // Closing is refused while an update runs, so this only happens when the program is
    // ended some other way. The worker still writes to the status box and posts to this
    // form, so keep serving its requests until it has said its last word.
    if (m_worker.joinable()) {
        m_closing = true;
        while (!m_finishedPosted)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        // The finished event may have been handled above, and joined the worker there.
        if (m_worker.joinable())
            m_worker.join();
    }
}

void CZorflashView::OnInitialUpdate()
{
    if (m_updating)
        return;
    // The list is rebuilt from the table on every first display (New as well), so list
    // position n is always table row n.
    m_modelList->clear();
    for (int i = 0; g_deviceModelTable[i].displayName; ++i)
        m_modelList->addItem(QString::fromUtf8(g_deviceModelTable[i].displayName));
    SelectModel(0);
}

void CZorflashView::SelectModel(int index)
{
    // The record stays as the update started with it until the update has finished.
    if (m_updating || index < 0 || index >= m_modelList->count())
        return;
    ApplyModelSelection(m_record, index);
    m_modelList->setCurrentIndex(index);
    ShowLinkSummary();
}

void CZorflashView::ShowLinkSummary()
{
    m_linkSummary->setText(QString::fromStdString(FormatLinkSummary(m_record)));
}

void CZorflashView::OnModelChanged()
{
    if (m_updating)
        return;
    const int selection = m_modelList->currentIndex();
    if (selection < 0)
        return;
    SelectModel(selection);
}

void CZorflashView::OnBrowse()
{
    if (m_updating)
        return;
    UpdateSettings& settings = m_record;
    const QString filter = QString::fromStdString(ConvertFilterToQt(BuildUpdateFileFilter(settings.model.fileExtension, UiLanguage())));
    const QString path = m_fileChooser ? m_fileChooser(this, filter) : QString();
    if (path.isEmpty())
        return;
    OnFileChosen(path);
}

void CZorflashView::OnFileChosen(const QString& path)
{
    if (m_updating || path.isEmpty())
        return;
    UpdateSettings& settings = m_record;
    const QString name = QFileInfo(path).fileName();
    settings.filePath = QFile::encodeName(path).toStdString();
    settings.fileName = QFile::encodeName(name).toStdString();
    m_fileNameBox->setText(name);
    m_fileNameBox->setCursorPosition(0);

    // An unreadable file leaves the preview and Start as they were; the update started
    // later reports the file itself.
    try {
        CFile file;
        if (!file.Open(settings.filePath)) {
            const int error = static_cast<int>(GetLastError());
            throw CFileException(CFileException::CauseFromErrno(error), error, settings.filePath);
        }
        const std::string preview = ReadHeaderPreview(file);
        file.Close();
        m_headerBox->setPlainText(QString::fromStdString(FormatHeaderPreview(preview)));
        m_startButton->setEnabled(true);
    } catch (const CFileException& e) {
        ReportException(e.GetErrorMessage(UiLanguage()));
    } catch (const CMemoryException& e) {
        ReportException(e.GetErrorMessage(UiLanguage()));
    } catch (const std::bad_alloc&) {
        ReportException(CMemoryException().GetErrorMessage(UiLanguage()));
    }
}

void CZorflashView::OnSettings()
{
    if (m_updating)
        return;
    CCommSettingsDialog dialog(this);
    dialog.exec();
    ShowLinkSummary();
}

void CZorflashView::OnStart()
{
    if (m_updating)
        return;
    m_startButton->setEnabled(false);
    SetUpdating(true);
    m_finishedPosted = false;
    m_runSettings = m_record;
    m_runLanguage = UiLanguage();
    {
        std::lock_guard lock(m_progressMutex);
        m_latestProgress = UpdateProgress();
    }
    if (m_progress) {
        m_progress->Begin();
        m_progressTimer.start();
    }
    try {
        m_worker = StartUpdateWorker(this);
    } catch (const std::system_error&) {
        SetUpdating(false);
        m_startButton->setEnabled(true);
        ShowMessage(QMessageBox::Warning, AppTitle(), UiText(kIdsUpdateNotStarted), QMessageBox::Ok);
    }
}

void CZorflashView::OnUpdateFinished()
{
    // The log is final before the worker posts this; whatever change it still holds is
    // shown now, whichever event was delivered first.
    m_logTimer.stop();
    ShowPendingLog();
    // The worker posts this as its last act, so the join waits only for its return.
    if (m_worker.joinable())
        m_worker.join();
    if (m_progress && m_progressTimer.isActive()) {
        m_progressTimer.stop();
        ShowProgress();
        // The outcome the finished event carried, as the CLI's exit code comes from it.
        CProgressDisplay::Outcome outcome = CProgressDisplay::Outcome::Failed;
        if (m_lastResult.outcome == UpdateOutcome::Completed)
            outcome = CProgressDisplay::Outcome::Completed;
        else if (m_lastResult.outcome == UpdateOutcome::Cancelled)
            outcome = CProgressDisplay::Outcome::Cancelled;  // a file error ends with the same words
        m_progress->Finish(outcome);
    }
    SetUpdating(false);
    m_startButton->setEnabled(true);
}

void CZorflashView::ShowProgress()
{
    if (!m_progress)
        return;
    UpdateProgress progress;
    {
        std::lock_guard lock(m_progressMutex);
        progress = m_latestProgress;
    }
    m_progress->Show(progress);
}

void CZorflashView::SetUpdating(bool updating)
{
    m_updating = updating;
    m_modelList->setEnabled(!updating);
    m_browseButton->setEnabled(!updating);
    m_settingsButton->setEnabled(!updating);
    emit UpdatingChanged(updating);
}

QMessageBox::StandardButton CZorflashView::ShowMessage(QMessageBox::Icon icon, const QString& caption,
                                                       const QString& text, QMessageBox::StandardButtons buttons)
{
    return m_messageBox ? m_messageBox(this, icon, caption, text, buttons) : QMessageBox::Cancel;
}

void CZorflashView::ReportException(const std::string& text)
{
    ShowMessage(QMessageBox::Warning, AppTitle(), QString::fromStdString(text), QMessageBox::Ok);
}

bool CZorflashView::event(QEvent* event)
{
    if (event->type() == static_cast<QEvent::Type>(kUpdateFinishedEvent)) {
        // Only the worker posts this type, always as CUpdateFinishedEvent.
        m_lastResult = static_cast<CUpdateFinishedEvent*>(event)->Result();
        OnUpdateFinished();
        return true;
    }
    if (event->type() == StatusLogEventType()) {
        OnStatusLogEvent();
        return true;
    }
    return QWidget::event(event);
}

bool CZorflashView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ContextMenu) {
        QWidget* box = nullptr;
        if (watched == m_statusBox->viewport())
            box = m_statusBox;
        else if (watched == m_headerBox->viewport())
            box = m_headerBox;
        else if (watched == m_fileNameBox || watched == m_modelList->lineEdit())
            box = static_cast<QWidget*>(watched);
        if (box) {
            ExecEditMenu(box, static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        }
    }
    if (watched == m_modelList->lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

// ---- the status box, as the update host ----

template <typename Function>
auto CZorflashView::OnWindowThread(Function function)
{
    using Result = std::invoke_result_t<Function>;
    if (QThread::currentThread() == thread())
        return function();
    if constexpr (std::is_void_v<Result>) {
        QMetaObject::invokeMethod(this, function, Qt::BlockingQueuedConnection);
    } else {
        Result result{};
        QMetaObject::invokeMethod(this, [&] { result = function(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

const UpdateSettings& CZorflashView::Settings() const
{
    return m_runSettings;
}

void CZorflashView::OnStatusLogChanged(const CEditText& log)
{
    if (QThread::currentThread() == thread()) {
        ShowStatusLog(log.GetText(), log.GetSelEnd());
        return;
    }
    // Qt owns a posted event and deletes it once delivered.
    if (m_logMailbox.Put(log.GetText(), log.GetSelEnd()))
        QCoreApplication::postEvent(this, new QEvent(StatusLogEventType()));
}

// A fast link changes the log far more often than anyone can read it; redrawing at most
// every kLogRedrawMs leaves the window thread's time to the operator and the worker's CPU
// to the transfer. The mailbox keeps the newest text meanwhile.
void CZorflashView::OnStatusLogEvent()
{
    const qint64 since = m_logClock.isValid() ? m_logClock.elapsed() : kLogRedrawMs;
    if (since >= kLogRedrawMs)
        ShowPendingLog();
    else if (!m_logTimer.isActive())
        m_logTimer.start(static_cast<int>(kLogRedrawMs - since));
}

void CZorflashView::ShowPendingLog()
{
    std::string text;
    int caret = 0;
    if (!m_logMailbox.Take(text, caret))
        return;
    ShowStatusLog(text, caret);
    m_logClock.start();
}

void CZorflashView::ShowStatusLog(const std::string& text, int caret)
{
    m_statusText.SetText(text);
    m_statusText.SetSel(caret, caret);
    RenderStatus();
    ScrollStatusToCaret(caret);
}

bool CZorflashView::PromptOkCancel(const std::string& text)
{
    if (m_closing)
        return false;
    return OnWindowThread([this, &text] {
        return ShowMessage(QMessageBox::Information, QString(), QString::fromStdString(text),
                           QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    });
}

void CZorflashView::ReportError(const std::string& text)
{
    if (m_closing)
        return;
    OnWindowThread([this, &text] { ReportException(text); });
}

void CZorflashView::OnProgress(const UpdateProgress& progress)
{
    std::lock_guard lock(m_progressMutex);
    m_latestProgress = progress;
}

void CZorflashView::PostUpdateFinished(const UpdateResult& result)
{
    m_finishedPosted = true;
    // Qt owns a posted event and deletes it once delivered.
    QCoreApplication::postEvent(this, new CUpdateFinishedEvent(result));
}

// The display follows the model line by line: only the lines from the first one that
// differs are rewritten, so a progress line replaced in place costs one line, not the log.
void CZorflashView::RenderStatus()
{
    std::vector<std::string> lines = SplitEditLines(m_statusText.GetText());
    size_t first = 0;
    while (first < lines.size() && first < m_shownLines.size() && lines[first] == m_shownLines[first])
        ++first;
    if (first == lines.size() && first == m_shownLines.size())
        return;

    QTextDocument* document = m_statusBox->document();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    if (first < m_shownLines.size()) {
        // Remove from the first differing line on; when the new text has no line there,
        // take the line break in front of it as well.
        const QTextBlock block = document->findBlockByNumber(static_cast<int>(first));
        const int from = first < lines.size() ? block.position() : block.position() - 1;
        cursor.setPosition(std::max(0, from));
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    } else {
        cursor.movePosition(QTextCursor::End);
    }
    if (first < lines.size()) {
        cursor.movePosition(QTextCursor::End);
        QString tail = JoinDisplayLines(lines, first);
        if (first >= m_shownLines.size() && first > 0)
            tail.prepend(QLatin1Char('\n'));
        cursor.insertText(tail);
    }
    cursor.endEditBlock();
    m_shownLines = std::move(lines);
}

void CZorflashView::ScrollStatusToCaret(int caret)
{
    const int line = m_statusText.LineFromChar(caret);
    const int lineStart = std::max(0, m_statusText.LineIndex(line));
    const std::string& text = m_statusText.GetText();
    const std::string before = text.substr(static_cast<size_t>(lineStart), static_cast<size_t>(caret - lineStart));
    const QTextBlock block = m_statusBox->document()->findBlockByNumber(line);
    if (!block.isValid())
        return;
    const int column = static_cast<int>(QString::fromUtf8(before.data(), static_cast<qsizetype>(before.size())).size());
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + std::min(column, block.length() - 1));
    m_statusBox->setTextCursor(cursor);
    m_statusBox->ensureCursorVisible();
}

}  // namespace zorflash

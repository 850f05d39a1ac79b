#include "app/ZorflashView.h"

#include "app/CommSettingsDialog.h"
#include "app/DialogBuilder.h"
#include "app/EditMenu.h"
#include "app/ProgressDisplay.h"
#include "app/UiStrings.h"
#include "resources/ui/DialogTemplate.h"
#include "ui/EditLines.h"
#include "ui/FileFilter.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QThread>

namespace zorflash {

namespace {
// The wake-up the worker posts when the log has changed; one number for the program.
QEvent::Type StatusLogEventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QString FromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString JoinDisplayLines(const std::vector<std::string>& lines, size_t from)
{
    QString text;
    for (size_t i = from; i < lines.size(); ++i) {
        if (i > from)
            text += QLatin1Char('\n');
        text += FromUtf8(lines[i]);
    }
    return text;
}
}  // namespace

CZorflashView::CZorflashView(UpdateSettings& record, QWidget* parent)
    : QWidget(parent)
    , m_presenter(*this, record, UiLanguage())
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

    connect(&m_progressTimer, &QTimer::timeout, this, [this] { m_presenter.OnTimer(FormTimer::Progress); });
    connect(&m_logTimer, &QTimer::timeout, this, [this] { m_presenter.OnTimer(FormTimer::StatusLog); });

    // Only a choice from the list selects a model; text typed into the list's edit field
    // selects nothing, so Enter there must not pick a matching entry.
    m_modelList->lineEdit()->installEventFilter(this);
    connect(m_modelList, &QComboBox::activated, this, [this] {
        const int selection = m_modelList->currentIndex();
        if (selection >= 0)
            m_presenter.SelectModel(selection);
    });
    connect(m_browseButton, &QPushButton::clicked, this, [this] { m_presenter.OnBrowse(); });
    connect(m_settingsButton, &QPushButton::clicked, this, [this] { m_presenter.OnSettings(); });
    connect(m_startButton, &QPushButton::clicked, this, [this] { m_presenter.OnStart(); });

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
    m_presenter.Shutdown([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 50); });
}

void CZorflashView::OnFileChosen(const QString& path)
{
    m_presenter.OnFileChosen(QFile::encodeName(path).toStdString());
}

// ---- what the presenter shows ----

void CZorflashView::ShowModelList(const std::vector<std::string>& names)
{
    m_modelList->clear();
    for (const std::string& name : names)
        m_modelList->addItem(FromUtf8(name));
}

void CZorflashView::ShowModelSelection(int index)
{
    m_modelList->setCurrentIndex(index);
}

void CZorflashView::ShowFileName(const std::string& name)
{
    m_fileNameBox->setText(QFile::decodeName(QByteArray::fromStdString(name)));
    m_fileNameBox->setCursorPosition(0);
}

void CZorflashView::ShowHeaderPreview(const std::string& text)
{
    m_headerBox->setPlainText(FromUtf8(text));
}

void CZorflashView::ShowLinkSummary(const std::string& text)
{
    m_linkSummary->setText(FromUtf8(text));
}

void CZorflashView::EnableStart(bool enabled)
{
    m_startButton->setEnabled(enabled);
}

void CZorflashView::LockForUpdate(bool updating)
{
    m_modelList->setEnabled(!updating);
    m_browseButton->setEnabled(!updating);
    m_settingsButton->setEnabled(!updating);
    emit UpdatingChanged(updating);
}

void CZorflashView::ShowProgress(const ProgressState& state)
{
    if (m_progress)
        m_progress->Show(state);
}

void CZorflashView::ShowStatusText(const StatusBoxText& status)
{
    RenderStatus(status.text);
    ScrollStatusToCaret(status);
}

// The display follows the text line by line: only the lines from the first one that
// differs are rewritten, so a progress line replaced in place costs one line, not the log.
void CZorflashView::RenderStatus(const std::string& text)
{
    std::vector<std::string> lines = SplitEditLines(text);
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

void CZorflashView::ScrollStatusToCaret(const StatusBoxText& status)
{
    const QTextBlock block = m_statusBox->document()->findBlockByNumber(status.caretLine);
    if (!block.isValid())
        return;
    const size_t lineStart = static_cast<size_t>(status.caret - status.caretColumn);
    const int column =
        static_cast<int>(FromUtf8(status.text.substr(lineStart, static_cast<size_t>(status.caretColumn))).size());
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + std::min(column, block.length() - 1));
    m_statusBox->setTextCursor(cursor);
    m_statusBox->ensureCursorVisible();
}

// ---- requests to the operator ----

std::string CZorflashView::ChooseUpdateFile(const std::string& filter)
{
    const QString path = m_fileChooser ? m_fileChooser(this, QString::fromStdString(ConvertFilterToQt(filter))) : QString();
    return QFile::encodeName(path).toStdString();
}

void CZorflashView::RunSettingsDialog()
{
    CCommSettingsDialog dialog(this);
    dialog.exec();
}

QMessageBox::StandardButton CZorflashView::ShowMessage(QMessageBox::Icon icon, const QString& caption,
                                                       const QString& text, QMessageBox::StandardButtons buttons)
{
    return m_messageBox ? m_messageBox(this, icon, caption, text, buttons) : QMessageBox::Cancel;
}

bool CZorflashView::ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text,
                                MessageButtons buttons)
{
    const QMessageBox::Icon qtIcon = icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::Information;
    const QMessageBox::StandardButtons qtButtons =
        buttons == MessageButtons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok;
    return ShowMessage(qtIcon, FromUtf8(caption), FromUtf8(text), qtButtons) == QMessageBox::Ok;
}

// ---- clocks and the worker's hand-over ----

void CZorflashView::StartTimer(FormTimer timer, int milliseconds)
{
    Timer(timer).start(milliseconds);
}

void CZorflashView::StopTimer(FormTimer timer)
{
    Timer(timer).stop();
}

void CZorflashView::PostStatusLogChanged()
{
    // Qt owns a posted event and deletes it once delivered.
    QCoreApplication::postEvent(this, new QEvent(StatusLogEventType()));
}

void CZorflashView::PostUpdateFinished()
{
    QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(kUpdateFinishedEvent)));
}

void CZorflashView::RunOnWindowThread(const std::function<void()>& task)
{
    if (QThread::currentThread() == thread())
        task();
    else
        QMetaObject::invokeMethod(this, [&task] { task(); }, Qt::BlockingQueuedConnection);
}

bool CZorflashView::event(QEvent* event)
{
    if (event->type() == static_cast<QEvent::Type>(kUpdateFinishedEvent)) {
        m_presenter.OnUpdateFinished();
        return true;
    }
    if (event->type() == StatusLogEventType()) {
        m_presenter.OnStatusLogPosted();
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

}  // namespace zorflash

// Updates started from the form: the exact status text of a complete update, the locks
// that hold while one runs, the disk prompt shown for the worker on the window thread,
// and a target that cannot be reached. The instrument listens on 127.0.0.1 only, and each
// test sets that address through the settings dialog before it presses Start.
#include "FakeInstrument.h"  // tests/support: the instrument the engine tests use too
#include "GuiTestSupport.h"

#include "app/MainFrame.h"
#include "app/ZorflashApp.h"
#include "app/ZorflashDoc.h"
#include "platform/StringResource.h"
#include "ui/ZorflashView.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <memory>

class CUpdateTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void completeUpdate_data();
    void completeUpdate();
    void lockedWhileUpdating();
    void diskPromptShownForTheWorker();
    void unreachableTarget();
    void completeUpdateAgainstSimulator();

private:
    CZorflashView* View() const { return m_app->GetMainFrame()->GetView(); }
    UpdateSettings& Record() const { return m_app->GetDocument()->GetSettings(); }
    // Chooses the file, points the link at 127.0.0.1:port and presses Start.
    void StartUpdate(const QString& file, int port);
    QPushButton* StartButton() const { return Control<QPushButton>(View(), 1006); }

    std::unique_ptr<CZorflashApp> m_app;
    QTemporaryDir m_dir;
    QStringList m_messages;
    QList<bool> m_messagesOnWindowThread;
    int m_chooserCalls = 0;
    QMessageBox::StandardButton m_answer = QMessageBox::Ok;
};

namespace {
QString ExpectedStatus(int records)
{
    const int lastAck = 1 + 64 * ((records - 1) / 64);
    return QString("Opening File...\r\nDetecting Target...\r\nSending Header...\r\nSending START record...\r\n"
                   "Sending (%1) Record\r\nTransfer completed.\r\n")
        .arg(lastAck);
}
}  // namespace

void CUpdateTest::init()
{
    SetResourceLanguage(Language::English);
    m_app = std::make_unique<CZorflashApp>();
    QVERIFY(m_app->InitInstance());
    m_messages.clear();
    m_messagesOnWindowThread.clear();
    m_chooserCalls = 0;
    m_answer = QMessageBox::Ok;
    View()->SetMessageBoxFunction([this](QWidget*, QMessageBox::Icon, const QString&, const QString& text,
                                         QMessageBox::StandardButtons) {
        m_messages << text;
        m_messagesOnWindowThread << (QThread::currentThread() == qApp->thread());
        return m_answer;
    });
}

void CUpdateTest::cleanup()
{
    // A test that failed half-way still lets its update end before the form goes.
    QTRY_VERIFY_WITH_TIMEOUT(!View()->IsUpdating(), 30000);
    m_app.reset();
}

void CUpdateTest::StartUpdate(const QString& file, int port)
{
    View()->SetFileChooser([this, file](QWidget*, const QString&) {
        ++m_chooserCalls;
        return file;
    });
    QTest::mouseClick(Control<QPushButton>(View(), 1002), Qt::LeftButton);
    QVERIFY(SetTcpLink(View(), "127.0.0.1", port));
    // Never anywhere but this machine.
    QCOMPARE(Record().ipAddress, 0x7F000001u);
    QCOMPARE(Record().port, port);
    QCOMPARE(int(Record().useUsb), 0);
    QVERIFY(StartButton()->isEnabled());
    QTest::mouseClick(StartButton(), Qt::LeftButton);
}

void CUpdateTest::completeUpdate_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<bool>("fastMode");
    QTest::newRow("START and one record") << 1 << true;
    QTest::newRow("three blocks, fast") << 130 << true;
    QTest::newRow("three blocks, normal") << 129 << false;
}

void CUpdateTest::completeUpdate()
{
    QFETCH(int, records);
    QFETCH(bool, fastMode);
    testsupport::FakeInstrument instrument;
    const QString file = m_dir.filePath("fw1.R71");
    WriteUpdateFile(file, records);
    Record().fastMode = fastMode ? 1 : 0;
    StartUpdate(file, instrument.Port());
    QVERIFY(!StartButton()->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(StartButton()->isEnabled(), 30000);
    QVERIFY(instrument.WaitClosed());
    QVERIFY(instrument.Completed());
    QCOMPARE(QString::fromStdString(View()->GetStatusText()), ExpectedStatus(records));
    QString shown = ExpectedStatus(records);
    shown.remove('\r');
    QCOMPARE(Control<QPlainTextEdit>(View(), 1005)->toPlainText(), shown);
    QVERIFY(m_messages.isEmpty());
}

void CUpdateTest::lockedWhileUpdating()
{
    // The instrument holds its reply to the header (reply point 3) until released.
    testsupport::FakeInstrument instrument(3, testsupport::FakeInstrument::Fault::Hold);
    const QString file = m_dir.filePath("fw1.R71");
    WriteUpdateFile(file, 70);
    StartUpdate(file, instrument.Port());

    // The window keeps handling events while the worker waits for the instrument.
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(5);
    QTRY_VERIFY_WITH_TIMEOUT(instrument.Replies() > 3, 20000);
    QTRY_VERIFY(ticks >= 3);
    QTRY_VERIFY(View()->GetStatusText().find("Sending Header...") != std::string::npos);

    CMainFrame* frame = m_app->GetMainFrame();
    auto* models = Control<QComboBox>(View(), 1000);
    QVERIFY(!models->isEnabled());
    QVERIFY(!Control<QPushButton>(View(), 1002)->isEnabled());
    QVERIFY(!Control<QPushButton>(View(), 1003)->isEnabled());
    QVERIFY(!StartButton()->isEnabled());
    for (int command : {57600, 57601, 57603, 32771})
        QVERIFY2(!frame->GetAction(command)->isEnabled(), qPrintable(QString::number(command)));

    // Nothing reaches the record or starts a second update, by mouse, key or command.
    const int chooserCalls = m_chooserCalls;
    QTest::mouseClick(Control<QPushButton>(View(), 1002), Qt::LeftButton);
    QTest::keyClick(frame, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(frame, Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(models, Qt::Key_Down);
    QTest::mouseClick(StartButton(), Qt::LeftButton);
    frame->GetAction(32771)->trigger();
    View()->OnBrowse();
    View()->OnSettings();
    View()->SelectModel(0);
    QCOMPARE(m_chooserCalls, chooserCalls);
    QCOMPARE(Record().ipAddress, 0x7F000001u);
    QCOMPARE(Record().modelIndex, 0);
    QVERIFY(View()->IsUpdating());
    QVERIFY(QApplication::activeModalWidget() == nullptr);

    // Closing is refused with a word why; the window stays.
    QVERIFY(!frame->close());
    QVERIFY(frame->isVisible());
    QCOMPARE(m_messages, QStringList{"An update is in progress. Wait until it has finished."});

    instrument.Release();
    QTRY_VERIFY_WITH_TIMEOUT(StartButton()->isEnabled(), 30000);
    QVERIFY(instrument.WaitClosed());
    QVERIFY(instrument.Completed());
    QCOMPARE(QString::fromStdString(View()->GetStatusText()), ExpectedStatus(70));
    QVERIFY(models->isEnabled());
    QVERIFY(frame->GetAction(57601)->isEnabled());
}

void CUpdateTest::diskPromptShownForTheWorker()
{
    // Volume 1 ends without its END record and volume 2 is missing: the worker asks for
    // the next disk, the operator cancels.
    testsupport::FakeInstrument instrument;
    const QString file = m_dir.filePath("split1.R71");
    WriteUpdateFile(file, 3, false);
    m_answer = QMessageBox::Cancel;
    StartUpdate(file, instrument.Port());
    QTRY_VERIFY_WITH_TIMEOUT(StartButton()->isEnabled(), 30000);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().contains('2'), qPrintable(m_messages.first()));
    QCOMPARE(m_messagesOnWindowThread, QList<bool>{true});
    const QString status = QString::fromStdString(View()->GetStatusText());
    QVERIFY2(status.endsWith("\r\nAborted according to instruction received.\r\n"), qPrintable(status));
}

void CUpdateTest::unreachableTarget()
{
    int port = 0;
    {
        testsupport::FakeInstrument closed;  // a port that was free a moment ago and now refuses
        port = closed.Port();
    }
    const QString file = m_dir.filePath("fw1.R71");
    WriteUpdateFile(file, 2);
    StartUpdate(file, port);
    QTRY_VERIFY_WITH_TIMEOUT(StartButton()->isEnabled(), 30000);
    const QString status = QString::fromStdString(View()->GetStatusText());
    QVERIFY2(status.startsWith("Opening File...\r\nDetecting Target...\r\n"), qPrintable(status));
    QVERIFY2(status.contains("Cannot open target."), qPrintable(status));
    QVERIFY(!View()->IsUpdating());
}

void CUpdateTest::completeUpdateAgainstSimulator()
{
#ifndef ZORFLASH_SIM_PATH
    QSKIP("the simulator is not part of this build");
#else
    const QString portFile = m_dir.filePath("sim.port");
    const QString outDir = m_dir.filePath("received");
    QDir().mkpath(outDir);
    QProcess sim;
    sim.start(ZORFLASH_SIM_PATH, {"serve", "--tcp", "127.0.0.1:0", "--port-file", portFile, "--max-updates", "1",
                                  "--out", outDir});
    QVERIFY2(sim.waitForStarted(10000), qPrintable(sim.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(QFile(portFile).size() > 0, 10000);
    QFile portText(portFile);
    QVERIFY(portText.open(QIODevice::ReadOnly));
    const int port = QString::fromLatin1(portText.readAll()).trimmed().toInt();
    QVERIFY(port > 0);

    const QString file = m_dir.filePath("sample1.R71");
    WriteUpdateFile(file, 200);
    StartUpdate(file, port);
    QTRY_VERIFY_WITH_TIMEOUT(StartButton()->isEnabled(), 60000);
    QCOMPARE(QString::fromStdString(View()->GetStatusText()), ExpectedStatus(200));
    // The simulator acknowledged every block, or the run would not have completed; what
    // it says of the update is kept in the test log.
    if (!sim.waitForFinished(5000)) {
        sim.terminate();
        sim.waitForFinished(5000);
    }
    const QByteArray said = sim.readAllStandardOutput();
    qInfo("simulator: %s", said.constData());
    QVERIFY(said.contains("verdict=OK"));
#endif
}

QTEST_MAIN(CUpdateTest)
#include "UpdateTest.moc"

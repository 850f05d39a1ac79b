// Updates started from the form: the exact status text of a complete update, the locks
// that hold while one runs, the disk prompt shown for the worker on the window thread,
// and a target that cannot be reached. The instrument listens on 127.0.0.1 only, and each
// test sets that address through the settings dialog before it presses Start.
#include "FakeInstrument.h"  // tests/support: the instrument the engine tests use too
#include "GuiTestSupport.h"

#include "app/ProgressDisplay.h"
#include "present/OutcomeTable.h"

namespace {
QString ExpectedStatus(int records)
{
    const int lastAck = 1 + 64 * ((records - 1) / 64);
    return QString("Opening File...\r\nDetecting Target...\r\nSending Header...\r\nSending START record...\r\n"
                   "Sending (%1) Record\r\nTransfer completed.\r\n")
        .arg(lastAck);
}
}  // namespace

class CUpdateTest : public QObject, GuiSession {
    Q_OBJECT

private slots:
    void init() { QVERIFY(Start()); }
    void cleanup()
    {
        // A test that failed half-way still lets its update end before the form goes.
        QTRY_VERIFY_WITH_TIMEOUT(!View()->IsUpdating(), 30000);
        app.reset();
    }

    void completeUpdate_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<bool>("fastMode");
        QTest::newRow("three blocks, fast") << 130 << true;
        QTest::newRow("three blocks, normal") << 129 << false;
    }

    void completeUpdate()
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
        QCOMPARE(Form<QPlainTextEdit>(1005)->toPlainText(), shown);
        QVERIFY(messages.isEmpty());
        // The status bar says how it ended, with the whole record stream counted.
        QCOMPARE(Progress(), QString("Update completed. 100%"));
        QCOMPARE(Frame()->windowTitle(), QString("Zorflash"));
    }

    void lockedWhileUpdating()
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
        // Nothing of the record stream has gone out yet; the title carries the percent.
        QVERIFY2(Progress().startsWith("0 B/"), qPrintable(Progress()));
        QCOMPARE(Frame()->windowTitle(), QString("0% - Zorflash"));

        CMainFrame* frame = Frame();
        auto* models = Form<QComboBox>(1000);
        for (int id : {1000, 1002, 1003, 1006})
            QVERIFY2(!Form<QWidget>(id)->isEnabled(), qPrintable(QString::number(id)));
        for (int command : {57600, 57601, 57603, 32771})
            QVERIFY2(!frame->GetAction(command)->isEnabled(), qPrintable(QString::number(command)));

        // Nothing reaches the record or starts a second update, by mouse, key or command.
        const int callsBefore = chooserCalls;
        QTest::mouseClick(Form<QPushButton>(1002), Qt::LeftButton);
        QTest::keyClick(frame, Qt::Key_O, Qt::ControlModifier);
        QTest::keyClick(frame, Qt::Key_N, Qt::ControlModifier);
        QTest::keyClick(models, Qt::Key_Down);
        QTest::mouseClick(StartButton(), Qt::LeftButton);
        frame->GetAction(32771)->trigger();
        View()->OnBrowse();
        View()->OnSettings();
        View()->SelectModel(1);  // the form itself refuses, not only its disabled list
        // A file dropped on the window is refused like Browse.
        QMimeData dropped;
        dropped.setUrls({QUrl::fromLocalFile(m_dir.filePath("other1.R71"))});
        QDragEnterEvent drag(QPoint(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Form<QPlainTextEdit>(1005)->viewport(), &drag);
        QVERIFY(!drag.isAccepted());
        QCOMPARE(chooserCalls, callsBefore);
        QCOMPARE(QString::fromStdString(Record().filePath), file);
        QCOMPARE(Record().ipAddress, 0x7F000001u);
        QCOMPARE(Record().modelIndex, 0);
        QCOMPARE(Record().useUsb, uint8_t{0});
        QVERIFY(View()->IsUpdating());
        QVERIFY(QApplication::activeModalWidget() == nullptr);

        // Closing is refused with a word why; the window stays.
        QVERIFY(!frame->close());
        QVERIFY(frame->isVisible());
        QCOMPARE(messages, QStringList{"An update is in progress. Wait until it has finished."});

        instrument.Release();
        QTRY_VERIFY_WITH_TIMEOUT(StartButton()->isEnabled(), 30000);
        QVERIFY(instrument.WaitClosed());
        QVERIFY(instrument.Completed());
        QCOMPARE(QString::fromStdString(View()->GetStatusText()), ExpectedStatus(70));
        QVERIFY(models->isEnabled());
        QVERIFY(frame->GetAction(57601)->isEnabled());
    }

    void secondSectionOfSubFile()
    {
        // Held at the second section's START: the first section's END has gone out.
        testsupport::FakeInstrument instrument(6, testsupport::FakeInstrument::Fault::Hold);
        const QString file = m_dir.filePath("sub1.R71");
        WriteUpdateFile(file, 1, true, "SUB");
        StartUpdate(file, instrument.Port());
        QTRY_VERIFY_WITH_TIMEOUT(Progress().contains("Section 2/2"), 20000);
        QVERIFY2(Frame()->windowTitle().contains(QRegularExpression("^[1-9][0-9]% - Zorflash$")),
                 qPrintable(Frame()->windowTitle()));
        instrument.Release();
        QTRY_VERIFY_WITH_TIMEOUT(StartButton()->isEnabled(), 30000);
        QVERIFY(instrument.Completed());
        QCOMPARE(Progress(), QString("Update completed. 100%"));
    }

    void volumeTwoBroughtAtThePrompt()
    {
        // A SUB file of two volumes: volume 1 ends inside section 2 and volume 2 is not
        // there until the operator brings it at the prompt. The instrument then holds its
        // acknowledgement after record 65 of section 2, which lies in volume 2.
        testsupport::FakeInstrument instrument(9, testsupport::FakeInstrument::Fault::Hold);
        const QString file = m_dir.filePath("two1.R71");
        WriteUpdateFile(file, 70, true, "SUB");
        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray whole = written.readAll();
        int at = 56;
        for (int records = 0; records < 71 + 31; ++records)  // section 1 and its END, START + 30
            at += whole[at] == 0 ? 1 : 2 * static_cast<unsigned char>(whole[at]) + 2;
        WriteBytes(file, whole.left(at));
        QByteArray volume2 = whole.left(56);
        volume2.replace(48, 2, "02");
        volume2 += whole.mid(at);

        QString titleAtPrompt;
        QString barAtPrompt;
        View()->SetMessageBoxFunction([&](QWidget*, QMessageBox::Icon, const QString&, const QString& text,
                                          QMessageBox::StandardButtons) {
            messages << text;
            // The operator takes a while to find the disk; the window goes on drawing.
            QTest::qWait(1200);
            titleAtPrompt = Frame()->windowTitle();
            barAtPrompt = Progress();
            WriteBytes(m_dir.filePath("two2.R71"), volume2);
            return QMessageBox::Ok;
        });
        StartUpdate(file, instrument.Port());
        QTRY_VERIFY_WITH_TIMEOUT(instrument.Replies() > 9, 20000);
        QCOMPARE(messages, QStringList{"nsert Disk 2"});
        // The prompt says only "nsert Disk 2"; the status bar beside it names the file.
        QVERIFY2(barAtPrompt.startsWith("Looking for volume 2: " + m_dir.filePath("two2.R71") + " ("),
                 qPrintable(barAtPrompt));
        QVERIFY2(barAtPrompt.contains(" left) Volume 2/2 "), qPrintable(barAtPrompt));
        QVERIFY2(barAtPrompt.contains("--:-- left"), qPrintable(barAtPrompt));
        QVERIFY2(!titleAtPrompt.startsWith("100%"), qPrintable(titleAtPrompt));
        // Held in volume 2: its bytes are in the total, nothing says 100 %, and the time at
        // the prompt is not the link's: the time left is known again.
        const QRegularExpression heldShown("^.+/.+, .+, [0-9:]+ left Volume 2/2 [5-9][0-9]%$");
        QTRY_VERIFY2_WITH_TIMEOUT(Progress().contains(heldShown), qPrintable(Progress()), 5000);
        QVERIFY2(Frame()->windowTitle().contains(QRegularExpression("^[5-9][0-9]% - Zorflash$")),
                 qPrintable(Frame()->windowTitle()));
        instrument.Release();
        QTRY_VERIFY_WITH_TIMEOUT(StartButton()->isEnabled(), 30000);
        QVERIFY(instrument.Completed());
        QCOMPARE(Progress(), QString("Update completed. 100%"));
        QCOMPARE(Frame()->windowTitle(), QString("Zorflash"));
    }

    void diskPromptShownForTheWorker()
    {
        // Volume 1 ends without its END record and volume 2 is missing: the worker asks for
        // the next disk, the operator cancels.
        testsupport::FakeInstrument instrument;
        const QString file = m_dir.filePath("split1.R71");
        WriteUpdateFile(file, 3, false);
        answer = QMessageBox::Cancel;
        StartUpdate(file, instrument.Port());
        QTRY_VERIFY_WITH_TIMEOUT(StartButton()->isEnabled(), 30000);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().contains('2'), qPrintable(messages.first()));
        QCOMPARE(messagesOnWindowThread, QList<bool>{true});
        const QString status = QString::fromStdString(View()->GetStatusText());
        QVERIFY2(status.endsWith("\r\nAborted according to instruction received.\r\n"), qPrintable(status));
        QVERIFY2(Progress().startsWith("Update cancelled. "), qPrintable(Progress()));
    }

    void unreachableTarget()
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
        // The status text says only that the target could not be opened; the status bar
        // and its tool tip say why.
        const QString reason = QString("Target 127.0.0.1:%1: Connection refused.").arg(port);
        const QString step = COutcomeTable::Of(UpdateOutcome::TargetNotOpened).NextStep(Language::English);
        QCOMPARE(Progress(), "Update failed. " + reason + " " + step + " 0%");
        QCOMPARE(Frame()->GetProgressDisplay()->ToolTip(), "Update failed.\n" + reason + "\n" + step);
    }

private:
    // Chooses the file, points the link at 127.0.0.1:port and presses Start.
    void StartUpdate(const QString& file, int port)
    {
        Browse(file);
        QVERIFY(SetLocalLink(View(), port));
        // Never anywhere but this machine.
        QCOMPARE(Record().ipAddress, 0x7F000001u);
        QTest::mouseClick(StartButton(), Qt::LeftButton);
    }
    QPushButton* StartButton() const { return Form<QPushButton>(1006); }
    QString Progress() const { return Frame()->GetProgressDisplay()->Text(); }

    QTemporaryDir m_dir;
};

QTEST_MAIN(CUpdateTest)
#include "UpdateTest.moc"

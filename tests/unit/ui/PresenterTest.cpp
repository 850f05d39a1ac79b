// The form's, the settings dialog's and the frame's presenters driven through views with
// no toolkit: what the operator sees after each act, what an update locks and how it
// ends, the log's redraws, and a view that goes while the worker waits at the prompt.
// The windows themselves are tested in tests/gui (Qt) and under Wine (Win32).
#include "FakeInstrument.h"
#include "FakeViews.h"
#include "StatusTexts.h"
#include "UpdateFileBuilder.h"

#include "present/OutcomeTable.h"
#include "ui/FramePresenter.h"
#include "ui/ZorflashDoc.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

class PresenterTest : public ::testing::Test {
protected:
    PresenterTest()
    {
        document.OnNewDocument();
        form.presenter.OnInitialUpdate();
    }

    // An RT71 MAIN file (or volume 1 of one) of `records` records after START.
    std::string WriteUpdateFile(const std::string& name, int records, bool withEnd = true)
    {
        Bytes file = Header(HeaderLine("RT71", "MAIN"), 1);
        Bytes section = Section(records + 1, 5);
        if (!withEnd)
            section.pop_back();
        Append(file, section);
        WriteFile(dir.Path() / name, file);
        return dir / name;
    }

    // Chooses the file with Browse and points the link at the fake instrument on loopback.
    void PrepareUpdate(const std::string& path, int port)
    {
        form.chosenFile = path;
        form.presenter.OnBrowse();
        form.editSettings = [port](FakeSettingsView& d) {
            d.controls.address = 0x7F000001;  // never anywhere but this machine
            d.controls.portText = std::to_string(port);
            d.presenter.OnOk();
        };
        form.presenter.OnSettings();
        ASSERT_EQ(document.GetSettings().ipAddress, 0x7F000001u);
    }

    TempDir dir;
    CZorflashDoc document;
    FakeFormView form{document.GetSettings()};
    FakeFrameView frameView;
    CFramePresenter frame{frameView, document, form.presenter, Language::English};
};

TEST_F(PresenterTest, FirstDisplayAndModelChoice)
{
    EXPECT_EQ(form.models.size(), 7u);
    EXPECT_EQ(form.summary, "TCP/IP: 192.168.  0.  1  Port 8023");
    EXPECT_FALSE(form.startEnabled);
    EXPECT_EQ(form.progress.figuresText, "Ready");
    EXPECT_EQ(frameView.title, "Zorflash");
    form.presenter.SelectModel(1);  // RT23 allows USB only
    form.presenter.SelectModel(7);  // no such row: nothing changes
    EXPECT_EQ(form.selection, 1);
    EXPECT_EQ(form.summary, "USB: Fast Mode");
    // Start needs a file: a press before one is chosen starts nothing.
    form.presenter.OnStart();
    EXPECT_FALSE(form.presenter.IsUpdating());
}

// The name box, the preview and the record always speak of the same file: a file that
// cannot be read leaves all three (and Start) as they were and says why, once.
TEST_F(PresenterTest, ChosenFileIsTakenOnlyWhenItCanBeRead)
{
    const std::string good = WriteUpdateFile("good1.R71", 3);
    form.chosenFile = good;
    form.presenter.OnBrowse();
    EXPECT_EQ(form.lastFilter, "Update File (*.R71)|*.R71|All Files (*.*)|*.*||");
    EXPECT_EQ(form.preview.substr(0, 31), "MORVENAL RT71 MAIN ROM        \n");
    EXPECT_TRUE(form.startEnabled);
    const std::string preview = form.preview;

    form.chosenFile.clear();  // cancelled
    form.presenter.OnBrowse();
    EXPECT_TRUE(form.messages.empty());

    // A device (like a pipe: nothing to seek, nothing to read twice), a folder, a missing
    // file.
    std::error_code error;
    const bool posix = std::filesystem::exists("/dev/null", error);
    const std::string device = posix ? "/dev/null" : "NUL";
    for (const std::string& bad : {device, dir.Path().string(), dir / "gone1.R71"}) {
        form.messages.clear();
        form.presenter.OnFileChosen(bad);
        ASSERT_EQ(form.messages.size(), 1u) << bad;
        EXPECT_NE(form.messages[0].text.find(bad), std::string::npos) << form.messages[0].text;
        EXPECT_EQ(form.fileName, "good1.R71");
        EXPECT_EQ(form.preview, preview);
        EXPECT_EQ(document.GetSettings().filePath, good);
        EXPECT_EQ(document.GetSettings().fileName, "good1.R71");
        EXPECT_TRUE(form.startEnabled);
    }
    form.presenter.OnFileChosen(device);
    EXPECT_EQ(form.messages.back().text, device + " is not a regular file and cannot be an update file.");
}

// The status bar judges the chosen file at once, against the model chosen now: another
// model's file (named), a file of no model, a name Start would not open as volume 1. A new
// file or model replaces the word and the last update's result alike.
TEST_F(PresenterTest, StatusBarJudgesTheChosenFileAtOnce)
{
    const std::string fw1 = WriteUpdateFile("fw1.R71", 2);
    form.presenter.OnFileChosen(fw1);
    EXPECT_EQ(form.progress.figuresText, "Ready");
    form.presenter.SelectModel(2);  // RT54
    EXPECT_EQ(form.progress.figuresText, "The file's first line belongs to RT71, not to RT54.");
    EXPECT_EQ(form.progress.toolTip, form.progress.figuresText);
    form.presenter.SelectModel(0);
    EXPECT_EQ(form.progress.figuresText, "Ready");

    std::filesystem::copy_file(fw1, dir.Path() / "firmware.R71");
    form.presenter.OnFileChosen(dir / "firmware.R71");
    EXPECT_EQ(form.progress.figuresText, "Start opens volume 1 as firmwar1.R71, not firmware.R71.");
    form.presenter.SelectModel(2);
    EXPECT_EQ(form.progress.figuresText,
              "The file's first line belongs to RT71, not to RT54. Start opens volume 1 as firmwar1.R71, not "
              "firmware.R71.");

    // A dot in a folder's name only: the digit lands in the folder, so whole paths are named.
    std::filesystem::create_directory(dir.Path() / "v.d");
    WriteFile(dir.Path() / "v.d" / "fw", Bytes{'x', '\r', '\n'});
    form.presenter.OnFileChosen(dir / "v.d/fw");
    EXPECT_EQ(form.progress.figuresText, "The file's first line matches no model's header line. Start opens volume 1 as " +
                                             (dir / "1.d/fw") + ", not " + (dir / "v.d/fw") + ".");

    CZorflashDoc japaneseDocument;
    japaneseDocument.OnNewDocument();
    FakeFormView japanese(japaneseDocument.GetSettings(), Language::Japanese);
    japanese.presenter.OnInitialUpdate();
    japanese.presenter.SelectModel(2);
    japanese.presenter.OnFileChosen(dir / "firmware.R71");
    EXPECT_EQ(japanese.progress.figuresText,
              "ファイルの1行目は RT71 のもので、RT54 のものではありません。 開始すると、ボリューム 1 として "
              "firmwar1.R71 を開きます（firmware.R71 ではありません）。");
}

// A failed update's status bar says why, from what the link said, and what to do next, in
// the line and in its tool tip; once records went out, that the instrument holds an
// incomplete update. A new file then clears it.
TEST_F(PresenterTest, FailureReasonReachesTheStatusBarUntilANewFileIsChosen)
{
    int port = 0;
    {
        FakeInstrument closed;  // a port that was free a moment ago and now refuses
        port = closed.Port();
    }
    const std::string file = WriteUpdateFile("fw1.R71", 2);
    PrepareUpdate(file, port);
    form.presenter.OnStart();
    ASSERT_TRUE(form.WaitUntilIdle());
    EXPECT_EQ(form.presenter.LastResult().outcome, UpdateOutcome::TargetNotOpened);
    const std::string reason = "Target 127.0.0.1:" + std::to_string(port) + ": Connection refused.";
    const std::string step = COutcomeTable::Of(UpdateOutcome::TargetNotOpened).NextStep(Language::English);
    EXPECT_EQ(form.progress.figuresText, "Update failed. " + reason + " " + step);
    EXPECT_EQ(form.progress.toolTip, "Update failed.\n" + reason + "\n" + step);

    FakeInstrument dropping(4, FakeInstrument::Fault::Close);  // gone instead of acknowledging START
    PrepareUpdate(file, dropping.Port());
    form.presenter.OnStart();
    ASSERT_TRUE(form.WaitUntilIdle());
    EXPECT_EQ(form.presenter.LastResult().outcome, UpdateOutcome::CommunicationError);
    const std::string& told = form.progress.toolTip;
    EXPECT_EQ(told.rfind("Update failed.\nThe link failed: ", 0), 0u) << told;
    EXPECT_NE(told.find(std::string("\n") + COutcomeTable::IncompleteNote(Language::English) + "\n" +
                        COutcomeTable::Of(UpdateOutcome::CommunicationError).NextStep(Language::English)),
              std::string::npos)
        << told;
    form.presenter.OnFileChosen(file);
    EXPECT_EQ(form.progress.figuresText, "Ready");
    EXPECT_TRUE(form.progress.toolTip.empty());
}

// While an update runs nothing reaches the record or starts a second one; the status box,
// the status bar and the title follow the worker; the end unlocks everything.
TEST_F(PresenterTest, UpdateLocksTheFormAndEndsWithItsOutcome)
{
    FakeInstrument instrument(3, FakeInstrument::Fault::Hold);  // holds its reply to the header
    const std::string file = WriteUpdateFile("fw1.R71", 70);
    const std::string other = WriteUpdateFile("other1.R71", 2);
    PrepareUpdate(file, instrument.Port());
    form.presenter.OnStart();
    EXPECT_TRUE(form.locked);
    EXPECT_FALSE(form.startEnabled);
    EXPECT_FALSE(frameView.commandsEnabled);
    EXPECT_EQ(frameView.title, "0% - Zorflash");

    ASSERT_TRUE(form.Pump(std::chrono::seconds(20), [&] { return instrument.Replies() > 3; }));
    form.presenter.SelectModel(1);
    form.presenter.OnFileChosen(other);
    form.presenter.OnStart();
    FakeSettingsView dialog(form.presenter);
    dialog.presenter.OnInitDialog();
    dialog.controls.usbChecked = true;
    dialog.controls.tcpChecked = false;
    dialog.presenter.OnOk();
    frame.OnFileNew();
    EXPECT_FALSE(frame.AcceptsDrop(1, true));
    EXPECT_FALSE(frame.OnClose());
    const UpdateSettings& record = document.GetSettings();
    EXPECT_EQ(record.filePath, file);
    EXPECT_EQ(record.modelIndex, 0);
    EXPECT_EQ(record.useUsb, 0);
    EXPECT_EQ(frameView.messages, std::vector<std::string>{"An update is in progress. Wait until it has finished."});
    EXPECT_TRUE(form.messages.empty());

    instrument.Release();
    ASSERT_TRUE(form.WaitUntilIdle());
    EXPECT_TRUE(instrument.WaitClosed());
    EXPECT_TRUE(instrument.Completed());
    const std::string expected =
        std::string(kOpening) + kDetecting + kHeader + kStart + "Sending (65) Record" + kDone;
    EXPECT_EQ(form.presenter.GetStatusText(), expected);
    EXPECT_EQ(form.status.text, expected);
    EXPECT_EQ(form.status.caretLine, 6);
    EXPECT_EQ(form.presenter.LastResult().outcome, UpdateOutcome::Completed);
    EXPECT_FALSE(form.locked);
    EXPECT_TRUE(form.startEnabled);
    EXPECT_TRUE(frameView.commandsEnabled);
    EXPECT_TRUE(form.timers.empty());
    EXPECT_EQ(form.progress.figuresText, "Update completed.");
    EXPECT_EQ(frameView.title, "Zorflash");
}

// A fast link changes the log faster than anyone reads it: changes that come before the
// window thread merge into one wake-up, and a redraw sooner than the last one's interval
// waits on the timer, which then shows the newest text.
TEST_F(PresenterTest, StatusLogChangesMergeAndRedrawAtMostEveryInterval)
{
    CEditText log;
    auto fromWorker = [&](const std::string& text) {
        log.SetText(text);
        log.SetSel(log.GetTextLength(), log.GetTextLength());
        std::thread([&] { form.presenter.OnStatusLogChanged(log, LogChange{}); }).join();
    };
    fromWorker("a\r\n");
    fromWorker("a\r\nb");
    EXPECT_EQ(form.logPosts.load(), 1);
    form.Pump(std::chrono::milliseconds(50), [] { return false; });
    EXPECT_EQ(form.status.text, "a\r\nb");
    EXPECT_EQ(form.status.caretColumn, 1);
    const int redraws = form.statusRedraws;

    fromWorker("a\r\nbc");
    form.Pump(std::chrono::milliseconds(5), [] { return false; });
    if (form.statusRedraws == redraws) {  // within the interval: the timer waits
        ASSERT_TRUE(form.timers.count(FormTimer::StatusLog));
        form.presenter.OnTimer(FormTimer::StatusLog);
        EXPECT_FALSE(form.timers.count(FormTimer::StatusLog));
    }
    EXPECT_EQ(form.status.text, "a\r\nbc");
    EXPECT_EQ(form.statusRedraws, redraws + 1);
}

// A view that goes while the worker waits for the operator: the prompt is answered Cancel
// without a box nobody would see, and the worker ends before the presenter.
TEST_F(PresenterTest, ViewGoingMidUpdateCancelsThePromptAndJoinsTheWorker)
{
    FakeInstrument instrument;
    PrepareUpdate(WriteUpdateFile("split1.R71", 3, false), instrument.Port());  // asks for volume 2
    form.presenter.OnStart();
    // The view goes before it has served the worker once: the worker may already wait in
    // its prompt's call, which Shutdown serves.
    form.presenter.Shutdown([&] { form.Pump(std::chrono::milliseconds(20), [] { return false; }); });
    EXPECT_TRUE(form.messages.empty());
    EXPECT_TRUE(instrument.WaitClosed());
}

}  // namespace

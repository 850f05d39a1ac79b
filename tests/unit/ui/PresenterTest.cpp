// The form's, the settings dialog's and the frame's presenters driven through views with
// no toolkit: what the operator sees after each act, what an update locks and how it
// ends, the log's redraws, and a view that goes while the worker waits at the prompt.
// The windows themselves are tested in tests/gui (Qt) and under Wine (Win32).
#include "FakeInstrument.h"
#include "FakeViews.h"
#include "StatusTexts.h"
#include "UpdateFileBuilder.h"

#include "ui/FramePresenter.h"
#include "ui/ZorflashDoc.h"

#include <gtest/gtest.h>

#include <filesystem>

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

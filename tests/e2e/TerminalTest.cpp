// zorflash-cli on a pseudo-terminal: the progress line fits the terminal's width in
// columns (Japanese characters take two), follows a change of size, ends at 100 % with a
// summary behind it, and colour appears only where it may.

#include "PtyProcess.h"
#include "SimulatorFixture.h"

#include <nlohmann/json.hpp>

#include <clocale>
#include <cwchar>

using namespace testsupport;

namespace {

// Columns a UTF-8 text takes, by the C library's own tables.
int Columns(const std::string& text)
{
    std::setlocale(LC_CTYPE, "C.UTF-8");
    std::wstring wide(text.size() + 1, L'\0');
    const size_t n = std::mbstowcs(wide.data(), text.c_str(), wide.size());
    return n == static_cast<size_t>(-1) ? static_cast<int>(text.size()) : wcswidth(wide.c_str(), n);
}

// What the terminal shows line by line: the output cut at every CR and LF, escape
// sequences (erase line, colours) taken out.
std::vector<std::string> Segments(const std::string& out)
{
    std::vector<std::string> segments(1);
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == '\033') {
            while (i < out.size() && !std::isalpha(static_cast<unsigned char>(out[i])))
                ++i;
            continue;
        }
        if (out[i] == '\r' || out[i] == '\n')
            segments.emplace_back();
        else
            segments.back() += out[i];
    }
    return segments;
}

struct Screen {
    int columns;
    const char* lang;
    bool noColour;
    const char* completed;
};

class Terminal : public ::testing::TestWithParam<Screen> {
protected:
    TempDir dir;
};

TEST_P(Terminal, ProgressLineFitsTheWidthEndsAtFullAndIsSummarised)
{
    const Screen& s = GetParam();
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "SUB", "--records", "300", dir / "fw1.R71"}));
    SimServer sim(dir, {"--ack-delay-ms", "20"});
    std::map<std::string, std::string> env;
    if (s.noColour)
        env["NO_COLOR"] = "1";
    PtyProcess cli({kCli, "flash", "--model", "RT71", "--file", dir / "fw1.R71", "--tcp",
                    "127.0.0.1:" + std::to_string(sim.Port()), "--normal", "--lang", s.lang},
                   s.columns, 24, env);
    ASSERT_EQ(cli.Wait(30000), 0) << cli.Output();
    const std::string out = cli.Output();
    const std::vector<std::string> segments = Segments(out);
    int progressLines = 0;
    size_t completedAt = 0;
    for (size_t i = 0; i < segments.size(); ++i) {
        EXPECT_LT(Columns(segments[i]), s.columns) << segments[i];
        progressLines += segments[i].find("%") != std::string::npos ? 1 : 0;
        if (segments[i] == s.completed)
            completedAt = i;
    }
    EXPECT_GT(progressLines, 2);
    ASSERT_GT(completedAt, 0u) << out;
    // The progress line ends at 100 %, and the summary follows the outcome.
    size_t lastProgress = completedAt;
    while (lastProgress > 0 && segments[lastProgress].find('%') == std::string::npos)
        --lastProgress;
    EXPECT_NE(segments[lastProgress].find("100%"), std::string::npos) << segments[lastProgress];
    size_t summary = completedAt + 1;
    while (summary + 1 < segments.size() && segments[summary].empty())
        ++summary;  // the terminal ends each line with CR LF
    // In the run's language, as the status text above it.
    const bool ja = std::string(s.lang) == "ja";
    EXPECT_EQ(segments[summary].find(ja ? " KiB（600 レコード）を " : "Sent 152.5 KiB (600 records) in "),
              ja ? 5u : 0u) << segments[summary];
    EXPECT_TRUE(!ja || out.find(" left") == std::string::npos) << "the time left, in the run's language too";
    // Green for success on a terminal, unless NO_COLOR says otherwise.
    EXPECT_EQ(out.find(std::string("\033[32m") + s.completed) != std::string::npos, !s.noColour);
}

INSTANTIATE_TEST_SUITE_P(WidthsAndLanguages, Terminal,
                         ::testing::Values(Screen{80, "en", false, "Transfer completed."},
                                           Screen{200, "en", true, "Transfer completed."},
                                           Screen{80, "ja", false, "転送が終了しました。"},
                                           Screen{200, "ja", false, "転送が終了しました。"}),
                         [](const ::testing::TestParamInfo<Screen>& info) {
                             return std::string(info.param.lang) + std::to_string(info.param.columns) +
                                    (info.param.noColour ? "NoColour" : "");
                         });

TEST(TerminalResize, TheNewWidthIsReadAgain)
{
    TempDir dir;
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "MAIN", "--records", "1000", dir / "fw1.R71"}));
    SimServer sim(dir, {"--ack-delay-ms", "100"});
    PtyProcess cli({kCli, "flash", "--model", "RT71", "--file", dir / "fw1.R71", "--tcp",
                    "127.0.0.1:" + std::to_string(sim.Port()), "--normal"},
                   200, 24);
    for (int i = 0; i < 500 && cli.Output().find('%') == std::string::npos; ++i)
        usleep(10000);
    cli.Resize(60, 0);  // no height told: the width still counts
    usleep(300000);  // a redraw already under way may still use the old width
    const size_t resized = cli.Output().size();
    ASSERT_EQ(cli.Wait(30000), 0) << cli.Output();
    int progressLines = 0;
    for (const std::string& segment : Segments(cli.Output().substr(resized))) {
        EXPECT_LT(Columns(segment), 60) << segment;
        progressLines += segment.find('%') != std::string::npos ? 1 : 0;
    }
    EXPECT_GT(progressLines, 0);
}

// The engine says nothing while it waits for the instrument: past 2 s the live line shows
// how long the wait has lasted and how long it may last; the status text never holds it.
TEST(TerminalWait, ALongWaitShowsItsTimesOnTheLiveLineOnly)
{
    TempDir dir;
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "MAIN", "--records", "100", dir / "fw1.R71"}));
    SimServer sim(dir, {"--fault", "header:delay:3000"});
    PtyProcess cli({kCli, "flash", "--model", "RT71", "--file", dir / "fw1.R71", "--tcp",
                    "127.0.0.1:" + std::to_string(sim.Port()), "--status-file", dir / "status.txt"},
                   40, 24);
    ASSERT_EQ(cli.Wait(30000), 0) << cli.Output();
    EXPECT_NE(cli.Output().find("waiting 2."), std::string::npos) << cli.Output();
    EXPECT_NE(cli.Output().find(" of 10 s"), std::string::npos) << cli.Output();
    for (const std::string& segment : Segments(cli.Output())) {
        if (segment.find("waiting") != std::string::npos) {
            EXPECT_LT(Columns(segment), 40) << segment;
        }
    }
    EXPECT_EQ(ReadText(dir / "status.txt").find("waiting"), std::string::npos);
}

// A SUB file whose volume 2 is brought at the disk prompt after a while. The terminal line
// and the JSON events say which volume is sent, reach 100 % only with the last END, and
// leave the time at the prompt out of the rate.
class TwoVolumes : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "SUB", "--records", "300", "--volumes", "2", "--split-at",
                                "450", dir / "fw1.R71"}));
        std::filesystem::rename(dir / "fw2.R71", dir / "away.R71");
    }
    void BringVolumeTwo() { std::filesystem::rename(dir / "away.R71", dir / "fw2.R71"); }
    std::vector<std::string> Flash(int port)
    {
        return {kCli, "flash", "--model", "RT71", "--file", dir / "fw1.R71", "--tcp",
                "127.0.0.1:" + std::to_string(port), "--normal"};
    }

    static constexpr int kPromptMs = 2500;
    TempDir dir;
};

TEST_F(TwoVolumes, TheLineIsNeverFullBeforeTheEndAndThePromptIsNotInTheRate)
{
    SimServer sim(dir, {"--ack-delay-ms", "5"});
    PtyProcess cli(Flash(sim.Port()), 120, 24);
    ASSERT_TRUE(cli.WaitFor("nsert Disk 2", 30000)) << cli.Output();
    const size_t asked = cli.Output().size();
    usleep(kPromptMs * 1000);
    BringVolumeTwo();
    cli.Type("\r");
    ASSERT_EQ(cli.Wait(30000), 0) << cli.Output();
    const std::vector<std::string> segments = Segments(cli.Output());
    size_t completedAt = 0;
    for (size_t i = 0; i < segments.size() && completedAt == 0; ++i)
        if (segments[i] == "Transfer completed.")
            completedAt = i;
    ASSERT_GT(completedAt, 0u) << cli.Output();
    size_t lastProgress = completedAt;
    while (lastProgress > 0 && segments[lastProgress].find('%') == std::string::npos)
        --lastProgress;
    for (size_t i = 0; i < lastProgress; ++i)
        EXPECT_EQ(segments[i].find("100%"), std::string::npos) << i << ": " << segments[i];
    EXPECT_NE(segments[lastProgress].find("100% vol 2/2"), std::string::npos) << segments[lastProgress];
    EXPECT_NE(cli.Output().find("% vol 2/2 ", asked), std::string::npos) << cli.Output();
    // "Sent 148.4 KiB (600 records) in 0.4 s, ...": the seconds leave out the prompt.
    size_t summary = completedAt + 1;
    while (summary + 1 < segments.size() && segments[summary].rfind("Sent ", 0) != 0)
        ++summary;
    const std::string& line = segments[summary];
    const size_t in = line.find(" in ");
    ASSERT_NE(in, std::string::npos) << line;
    EXPECT_LT(std::stod(line.substr(in + 4)), kPromptMs / 1000.0) << line;
}

TEST_F(TwoVolumes, JsonProgressCountsTheVolumesKnownAndLeavesOutThePrompt)
{
    SimServer sim(dir, {"--ack-delay-ms", "5"});
    std::vector<std::string> args = Flash(sim.Port());
    args.push_back("--json");
    Process cli(args);
    ASSERT_TRUE(cli.WaitFor("\"event\":\"prompt\"", 30000)) << cli.Out() << cli.Err();
    usleep(kPromptMs * 1000);
    BringVolumeTwo();
    cli.Write("\n");
    ASSERT_EQ(cli.Wait(30000), 0) << cli.Err();
    std::istringstream lines(cli.Out());
    std::vector<nlohmann::json> progress;
    bool waited = false;
    for (std::string text; std::getline(lines, text);) {
        const nlohmann::json event = nlohmann::json::parse(text);
        if (event["event"] == "check") {  // the stderr notice, for a script
            EXPECT_EQ(event["notice"], "volume 2 (" + (dir / "fw2.R71") +
                                           ") is not present yet: you will be asked for it after volume 1");
        }
        if (event["event"] != "progress")
            continue;  // only progress events carry the volume fields; a const lookup of a missing key is undefined
        progress.push_back(event);
        waited = waited || (event["waiting"] == true && event["volume"] == 2 && event["volumes"] == 2);
    }
    ASSERT_GE(progress.size(), 3u);
    EXPECT_TRUE(waited) << cli.Out();
    for (size_t i = 0; i + 1 < progress.size(); ++i) {
        EXPECT_LT(progress[i]["percent"], 100) << progress[i].dump();
        EXPECT_LE(progress[i]["bytes"], progress[i]["total"]) << progress[i].dump();
    }
    const nlohmann::json& last = progress.back();
    EXPECT_EQ(last["percent"], 100);
    EXPECT_EQ(last["bytes"], last["total"]);
    EXPECT_EQ(last["volume"], 2);
    EXPECT_EQ(last["sections"], 2);
    // All of it went out in well under the time the prompt waited.
    EXPECT_GT(last["rate"].get<double>(), last["bytes"].get<double>() / (kPromptMs / 1000.0)) << last.dump();
}

}  // namespace

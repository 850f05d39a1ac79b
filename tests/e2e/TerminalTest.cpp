// zorflash-cli on a pseudo-terminal: the progress line fits the terminal's width in
// columns (Japanese characters take two), follows a change of size, ends at 100 % with a
// summary behind it, and colour appears only where it may.

#include "PtyProcess.h"
#include "SimulatorFixture.h"

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
    EXPECT_EQ(segments[summary].rfind("Sent ", 0), 0u) << segments[summary];
    EXPECT_NE(segments[summary].find("(600 records)"), std::string::npos) << segments[summary];
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
    cli.Resize(60, 24);
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

}  // namespace

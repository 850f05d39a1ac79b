// zorflash-cli on a pseudo-terminal: the progress line fits the terminal's width in
// columns (Japanese characters take two), follows a change of size, ends at 100 % with a
// summary behind it, and colour appears only where it may.

#include "SimulatorFixture.h"

#include <pty.h>
#include <sys/ioctl.h>

#include <clocale>
#include <cwchar>
#include <mutex>

using namespace testsupport;

namespace {

// zorflash-cli with a pseudo-terminal as its stdin, stdout and stderr.
class PtyRun {
public:
    PtyRun(const std::vector<std::string>& argv, int columns, const std::map<std::string, std::string>& env)
    {
        winsize size{};
        size.ws_col = static_cast<unsigned short>(columns);
        size.ws_row = 24;
        m_pid = forkpty(&m_master, nullptr, nullptr, &size);
        if (m_pid == 0) {
            unsetenv("NO_COLOR");
            for (const auto& [k, v] : env)
                setenv(k.c_str(), v.c_str(), 1);
            std::vector<char*> args;
            for (const std::string& a : argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        m_reader = std::thread([this] {
            char buffer[4096];
            for (;;) {
                const ssize_t n = read(m_master, buffer, sizeof buffer);
                if (n <= 0)
                    break;  // EIO once the child has closed the terminal
                std::lock_guard<std::mutex> lock(m_mutex);
                m_out.append(buffer, static_cast<size_t>(n));
            }
        });
    }
    ~PtyRun()
    {
        if (m_code < 0)
            kill(m_pid, SIGKILL);
        Wait(5000);
        if (m_reader.joinable())
            m_reader.join();
        close(m_master);
    }
    void Resize(int columns)
    {
        winsize size{};
        size.ws_col = static_cast<unsigned short>(columns);
        size.ws_row = 24;
        ioctl(m_master, TIOCSWINSZ, &size);  // the kernel sends SIGWINCH to the program
    }
    int Wait(int timeoutMs)
    {
        for (int waited = 0; m_code < 0 && waited < timeoutMs; waited += 10) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid)
                m_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            else
                usleep(10000);
        }
        // The last lines may still be on their way through the terminal: read to its end.
        if (m_code >= 0 && m_reader.joinable())
            m_reader.join();
        return m_code;
    }
    std::string Out()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_out;
    }

private:
    pid_t m_pid = -1;
    int m_master = -1;
    int m_code = -1;
    std::mutex m_mutex;
    std::string m_out;
    std::thread m_reader;
};

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
    PtyRun cli({kCli, "flash", "--model", "RT71", "--file", dir / "fw1.R71", "--tcp",
                "127.0.0.1:" + std::to_string(sim.Port()), "--normal", "--lang", s.lang},
               s.columns, env);
    ASSERT_EQ(cli.Wait(30000), 0) << cli.Out();
    const std::string out = cli.Out();
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
    PtyRun cli({kCli, "flash", "--model", "RT71", "--file", dir / "fw1.R71", "--tcp",
                "127.0.0.1:" + std::to_string(sim.Port()), "--normal"},
               200, {});
    for (int i = 0; i < 500 && cli.Out().find('%') == std::string::npos; ++i)
        usleep(10000);
    cli.Resize(60);
    usleep(300000);  // a redraw already under way may still use the old width
    const size_t resized = cli.Out().size();
    ASSERT_EQ(cli.Wait(30000), 0) << cli.Out();
    int progressLines = 0;
    for (const std::string& segment : Segments(cli.Out().substr(resized))) {
        EXPECT_LT(Columns(segment), 60) << segment;
        progressLines += segment.find('%') != std::string::npos ? 1 : 0;
    }
    EXPECT_GT(progressLines, 0);
}

}  // namespace

// Bad input to whole programs: update files that are no files, no update files or change
// under the run, names at the edges of the volume rule. None may crash, hang, or report
// success. (Ports out of range are the link's tests.)

#include "SimulatorFixture.h"
#include "StatusTexts.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <functional>

using namespace std::chrono_literals;
using namespace testsupport;
namespace fs = std::filesystem;

namespace {

class BadInput : public SimulatorTest {
protected:
    std::string Status() const { return ReadText(dir / "status.txt"); }

    // zorflash-cli flash of file to the port, stdin at its end (a disk prompt is
    // cancelled); fails the test if it has not ended within limitMs.
    CliRun Flash(const std::string& file, int port, int limitMs, const std::vector<std::string>& more = {})
    {
        std::vector<std::string> args = {"flash", "--model", "RT71", "--file", file, "--tcp",
                                         "127.0.0.1:" + std::to_string(port), "--timeout", "2000", "--quiet",
                                         "--lang", "en"};
        args.insert(args.end(), more.begin(), more.end());
        const CliRun run = RunCli(dir, args, "", {}, limitMs);
        EXPECT_NE(run.code, -1) << "zorflash-cli still running after " << limitMs << " ms";
        return run;
    }

    int Inspect(const std::string& file, std::string& output)
    {
        const CliRun run = RunCli(dir, {"inspect", "--model", "RT71", file}, "", {}, 10000);
        EXPECT_NE(run.code, -1) << "inspect still running after 10 s";
        output = run.out + run.err;
        return run.code;
    }

    // Flashes file to a simulator and expects a complete, verified update.
    void ExpectCompleteUpdate(const std::string& file)
    {
        SimServer sim(dir, {}, 1);
        ASSERT_NE(sim.Port(), 0) << sim.Output();
        const CliRun run = Flash(file, sim.Port(), 20000);
        EXPECT_EQ(run.code, 0) << run.err << Status();
        EXPECT_TRUE(Status().ends_with(kDone)) << Status();
        const std::vector<std::string> summaries = sim.Summaries(5000);
        ASSERT_EQ(summaries.size(), 1u) << sim.Output();
        EXPECT_NE(summaries[0].find("verdict=OK"), std::string::npos) << summaries[0];
    }
};

// ---- update files that are no update files ----

struct NotAnUpdateFile {
    const char* name;
    std::function<void(const std::string& path)> make;
};

std::ostream& operator<<(std::ostream& out, const NotAnUpdateFile& c)
{
    return out << c.name;
}

class NotAnUpdateFileTest : public BadInput, public ::testing::WithParamInterface<NotAnUpdateFile> {};

TEST_P(NotAnUpdateFileTest, IsRefusedWithOneMessageAndNoHang)
{
    const std::string path = dir / "fw1.R71";
    GetParam().make(path);

    const CliRun run = Flash(path, 9, 10000);  // never reached: the file is refused first
    // Either a file error was reported or the disk prompt met end of input: a failure.
    EXPECT_EQ(run.code, 1) << run.err;
    EXPECT_TRUE(Status().ends_with(kAborted)) << Status();
    EXPECT_EQ(Status().find("Detecting Target"), std::string::npos) << "a link was made: " << Status();

    std::string report;
    EXPECT_EQ(Inspect(path, report), 1) << report;
}

INSTANTIATE_TEST_SUITE_P(
    Files, NotAnUpdateFileTest,
    ::testing::Values(
        NotAnUpdateFile{"directory", [](const std::string& p) { fs::create_directory(p); }},
        NotAnUpdateFile{"fifo", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }},
        NotAnUpdateFile{"devZero", [](const std::string& p) { fs::create_symlink("/dev/zero", p); }},
        NotAnUpdateFile{"empty", [](const std::string& p) { testsupport::WriteFile(p, {}); }},
        // A regular file whose every read fails, even for root: another process's view
        // of its own memory, read at an address that is never mapped.
        NotAnUpdateFile{"unreadable", [](const std::string& p) { fs::create_symlink("/proc/self/mem", p); }}),
    [](const ::testing::TestParamInfo<NotAnUpdateFile>& info) { return std::string(info.param.name); });

// ---- a file larger than 4 GiB ----

TEST_F(BadInput, SparseFileLargerThan4GiBIsInspectedAndSentWithoutOverflow)
{
    const std::string path = dir / "big1.R71";
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "MAIN", "--records", "70", path}));
    // The END record comes early; the rest, up to 5 GiB, is never read.
    ASSERT_EQ(truncate(path.c_str(), 5LL << 30), 0) << "no sparse files here";

    std::string report;
    EXPECT_EQ(Inspect(path, report), 0) << report;
    ExpectCompleteUpdate(path);
}

// ---- a file that changes while it is sent ----

TEST_F(BadInput, FileTruncatedWhileSentEndsWithAFileMessageNeverASuccess)
{
    const std::string path = dir / "fw1.R71";
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "MAIN", "--bytes", "1M", path}));
    // Slow acknowledgements keep the run inside the first blocks while the file changes
    // far behind what the reader has buffered.
    SimServer sim(dir, {"--ack-delay-ms", "100"}, 1);
    ASSERT_NE(sim.Port(), 0) << sim.Output();
    Process cli({kCli, "flash", "--model", "RT71", "--file", path, "--tcp", "127.0.0.1:" + std::to_string(sim.Port()),
                 "--quiet", "--lang", "en", "--status-file", dir / "status.txt"});
    cli.CloseInput();
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(truncate(path.c_str(), 200003), 0);
    ASSERT_NE(cli.Wait(60000), -1) << "zorflash-cli still running after 60 s";

    const std::string status = Status();
    EXPECT_FALSE(status.ends_with(kDone)) << status;
    if (status.ends_with(kAborted)) {
        EXPECT_EQ(cli.ExitCode(), 3) << "a cut at a record boundary asks for disk 2, here cancelled";
    } else {
        // Seen by the file's identity before the next block, or by a record read after
        // the change.
        EXPECT_TRUE(status.ends_with("\r\nIncorrect input file.\r\n") || status.ends_with(kChecksum)) << status;
        EXPECT_EQ(cli.ExitCode(), 1);
    }
    const std::vector<std::string> summaries = sim.Summaries(10000);
    ASSERT_EQ(summaries.size(), 1u) << sim.Output();
    EXPECT_NE(summaries[0].find("link=closed-by-host"), std::string::npos) << summaries[0];
}

// A file that cannot be opened still brings the disk prompt (that is how the operator is
// asked for the right disk), and stderr says why, in the system's words.
TEST_F(BadInput, UnopenableFileSaysWhyBesideTheDiskPrompt)
{
    fs::create_symlink("fw1.R71", dir / "fw1.R71");  // a loop: no open succeeds, not even as root
    const CliRun run = Flash(dir / "fw1.R71", 9, 10000);
    EXPECT_EQ(run.code, 1) << run.err;  // nobody answers the prompt (end of input)
    EXPECT_NE(run.err.find("cannot open " + dir / "fw1.R71" + ": Too many levels of symbolic links"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("nsert Disk 1"), std::string::npos) << run.err;
}

// ---- names ----

TEST_F(BadInput, NonAsciiPathIsSent)
{
    const fs::path folder = dir.Path() / "ファームウェア 更新";
    fs::create_directory(folder);
    const std::string path = (folder / "新版1.R71").string();
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "PATTERN", "--records", "5", path}));
    ExpectCompleteUpdate(path);
}

TEST_F(BadInput, NonAsciiCharacterBeforeTheDotIsCutByTheVolumeRuleAndRefused)
{
    // The rule replaces one byte: the last byte of a multi-byte character. The name it
    // makes does not exist, and the operator is asked for the disk; nobody answers (end
    // of input), which is a failure, not an operator's Cancel.
    const std::string path = dir / "更新.R71";
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "MAIN", "--records", "3", dir / "x1.R71"}));
    fs::rename(dir / "x1.R71", path);
    const CliRun run = Flash(path, 9, 10000);
    EXPECT_EQ(run.code, 1) << run.err;
    EXPECT_TRUE(Status().ends_with(kAborted)) << Status();
}

// ---- the link: an instrument that never answers, within the operator's --timeout ----

// A listener on loopback whose accept queue is full: further connection requests are
// dropped, as by an address where nothing answers.
class CFullListener {
public:
    CFullListener()
    {
        m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(m_listen, 0);
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        // Fill the queue until a connection request is no longer answered.
        for (int i = 0; i < 16; ++i) {
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            m_clients.push_back(fd);
            connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
            pollfd p{fd, POLLOUT, 0};
            if (poll(&p, 1, 300) == 0) {
                m_full = true;
                break;
            }
        }
    }
    ~CFullListener()
    {
        for (int fd : m_clients)
            close(fd);
        close(m_listen);
    }
    int Port() const { return m_port; }
    bool Full() const { return m_full; }

private:
    int m_listen = -1;
    int m_port = 0;
    bool m_full = false;
    std::vector<int> m_clients;
};

TEST_F(BadInput, InstrumentThatNeverAnswersEndsWithinTheTimeOutGiven)
{
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "MAIN", "--records", "3", dir / "fw1.R71"}));
    CFullListener listener;
    ASSERT_TRUE(listener.Full()) << "the accept queue did not fill";
    // The channel gives up on a connection after 21 s instead of the kernel's minutes,
    // and sooner when the operator's --timeout (here 2 s) says so.
    const CliRun run = Flash(dir / "fw1.R71", listener.Port(), 30000);
    EXPECT_LE(run.seconds, 2.0 + 1.5);
    EXPECT_EQ(run.code, 1) << run.err;
    EXPECT_TRUE(Status().ends_with(kCannotOpen)) << Status();
}

}  // namespace

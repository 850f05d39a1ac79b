// zorflash-cli when the system or its reader gives it less than it needs: threads and
// descriptors limited in the child, a stdout nobody reads. None of it may leave an
// instrument with part of an update, and none of it may stall a transfer.

#include "SimulatorFixture.h"

#include <sys/stat.h>

#include <nlohmann/json.hpp>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

constexpr int kTargets = 40;

// The command line of a flash of `file` to kTargets instruments on 127.0.0.1-40, run under
// `prefix` (prlimit, setpriv).
std::vector<std::string> FleetFlash(std::vector<std::string> prefix, const std::string& file, int port)
{
    std::vector<std::string> argv = std::move(prefix);
    for (const char* word : {"flash", "--model", "RT71", "--file"})
        argv.push_back(word);
    argv.push_back(file);
    for (int i = 1; i <= kTargets; ++i)
        argv.push_back("--tcp=127.0.0." + std::to_string(i) + ":" + std::to_string(port));
    return argv;
}

bool Installed(const char* path)
{
    return access(path, X_OK) == 0;
}

// Threads limited for an unprivileged user (the limit does not hold for root): with room
// for no lane the fleet refuses before any contact (exit 2); with room for fewer lanes than
// targets every lane is made before the first target starts, the run says so and every
// instrument gets the whole file. Before, a thread that could not be made mid-run ended the
// process with links open.
TEST(Pressure, ThreadsRunningOutLeaveNoInstrumentHalfWritten)
{
    if (geteuid() != 0 || !Installed("/usr/bin/prlimit") || !Installed("/usr/bin/setpriv"))
        GTEST_SKIP() << "needs root to run the command as nobody, with prlimit and setpriv";
    TempDir dir;
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "MAIN", "--records", "400", dir / "fw1.R71"}));
    fs::permissions(dir.Path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(dir / "fw1.R71", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    SimServer sim(dir, {}, kTargets, "127.0.0.1-127.0.0." + std::to_string(kTargets) + ":0");
    ASSERT_NE(sim.Port(), 0) << sim.Output();
    const auto asNobody = [](int threads) {
        return std::vector<std::string>{"/usr/bin/prlimit", "--nproc=" + std::to_string(threads), "/usr/bin/setpriv",
                                        "--reuid=65534", "--regid=65534", "--clear-groups", kCli};
    };

    // Room for the program's own threads (main, output, signals) and no lane.
    Process none(FleetFlash(asNobody(3), dir / "fw1.R71", sim.Port()));
    none.CloseInput();
    EXPECT_EQ(none.Wait(20000), 2) << none.Out() << none.Err();
    EXPECT_NE(none.Err().find("no instrument was contacted"), std::string::npos) << none.Err();
    usleep(200000);
    EXPECT_EQ(sim.Output().find("update "), std::string::npos) << sim.Output();

    Process some(FleetFlash(asNobody(30), dir / "fw1.R71", sim.Port()));
    some.CloseInput();
    EXPECT_EQ(some.Wait(60000), 0) << some.Out() << some.Err();
    EXPECT_NE(some.Err().find("targets can run at once: the system has no more threads"), std::string::npos)
        << some.Err();
    EXPECT_EQ(some.Err().find("terminate"), std::string::npos) << some.Err();
    EXPECT_NE(some.Out().find("40 targets: 40 completed"), std::string::npos) << some.Out();
    const std::vector<std::string> lines = sim.Summaries(20000);
    ASSERT_EQ(lines.size(), static_cast<size_t>(kTargets)) << sim.Output();
    for (const std::string& line : lines)
        EXPECT_NE(line.find("verdict=OK"), std::string::npos) << line;
}

// A single update whose volume cannot be opened for want of a descriptor reports that,
// with the system's text, and asks for no disk: no disk could help. Before, every target
// ended "prompt-unanswered" after asking for disk 1.
TEST(Pressure, AVolumeLeftNoDescriptorIsNotAskedFor)
{
    if (!Installed("/usr/bin/prlimit"))
        GTEST_SKIP() << "needs prlimit";
    TempDir dir;
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "MAIN", "--records", "400", dir / "fw1.R71"}));
    SimServer sim(dir, {});
    ASSERT_NE(sim.Port(), 0) << sim.Output();

    // The lowest limit the program starts with at all (the loader needs one descriptor
    // beyond those inherited): that one is then taken before the volume can be opened.
    bool started = false;
    for (int limit = 3; limit <= 32 && !started; ++limit) {
        Process one({"/usr/bin/prlimit", "--nofile=" + std::to_string(limit), kCli, "flash", "--model", "RT71",
                     "--file", dir / "fw1.R71", "--tcp", "127.0.0.1:" + std::to_string(sim.Port()), "--json"});
        one.CloseInput();
        const int code = one.Wait(20000);
        if (code == 127 && one.Err().find("shared librar") != std::string::npos)
            continue;
        started = true;
        EXPECT_EQ(code, 1) << one.Out() << one.Err();
        EXPECT_NE(one.Err().find("Too many open files"), std::string::npos) << one.Err();
        EXPECT_EQ(one.Err().find("nsert Disk"), std::string::npos) << one.Err();
        EXPECT_NE(one.Out().find("\"outcome\":\"file-error\""), std::string::npos) << one.Out();
        EXPECT_EQ(one.Out().find("\"event\":\"prompt\""), std::string::npos) << one.Out();
    }
    ASSERT_TRUE(started) << "the program did not start under any limit up to 32";
}

// Descriptors limited below what 40 targets at once need: the fleet lowers --parallel to
// what the limit allows and says so, asks for no disk, and every instrument completes.
TEST(Pressure, DescriptorsRunningOutLowerTheFleetAndAskForNoDisk)
{
    if (!Installed("/usr/bin/prlimit"))
        GTEST_SKIP() << "needs prlimit";
    TempDir dir;
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "MAIN", "--records", "400", dir / "fw1.R71"}));
    SimServer sim(dir, {}, kTargets, "127.0.0.1-127.0.0." + std::to_string(kTargets) + ":0");
    ASSERT_NE(sim.Port(), 0) << sim.Output();

    Process fleet(FleetFlash({"/usr/bin/prlimit", "--nofile=20", kCli}, dir / "fw1.R71", sim.Port()));
    fleet.CloseInput();
    EXPECT_EQ(fleet.Wait(60000), 0) << fleet.Out() << fleet.Err();
    EXPECT_NE(fleet.Err().find("--parallel lowered to "), std::string::npos) << fleet.Err();
    EXPECT_EQ(fleet.Err().find("nsert Disk"), std::string::npos) << fleet.Err();
    EXPECT_NE(fleet.Out().find("40 targets: 40 completed"), std::string::npos) << fleet.Out();
    const std::vector<std::string> lines = sim.Summaries(20000);
    ASSERT_EQ(lines.size(), static_cast<size_t>(kTargets)) << sim.Output();
    EXPECT_EQ(CountOf(sim.Output(), "verdict=OK"), kTargets) << sim.Output();
}

// A FIFO whose reading end the test holds open and does not read, with the pipe shrunk
// to one page: stdout of a command run through the shell into it blocks at once.
class StalledStdout : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_fifo = m_dir / "stdout";
        ASSERT_EQ(mkfifo(m_fifo.c_str(), 0600), 0);
        m_reader = open(m_fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(m_reader, 0);
        fcntl(m_reader, F_SETPIPE_SZ, 4096);
    }
    void TearDown() override
    {
        if (m_reader >= 0)
            close(m_reader);
    }
    std::unique_ptr<Process> Start(std::vector<std::string> args)
    {
        std::vector<std::string> argv = {"/bin/sh", "-c", "exec \"$0\" \"$@\" > " + m_fifo, kCli};
        argv.insert(argv.end(), args.begin(), args.end());
        auto process = std::make_unique<Process>(argv);
        process->CloseInput();
        return process;
    }
    // Everything the command wrote, once it has ended (or `timeoutMs` passed).
    std::string ReadAll(Process& process, int timeoutMs)
    {
        std::string text;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        char block[65536];
        while (std::chrono::steady_clock::now() < end) {
            const ssize_t n = read(m_reader, block, sizeof block);
            if (n > 0)
                text.append(block, static_cast<size_t>(n));
            else if (process.Wait(0) >= 0 && n == 0)
                break;
            else
                usleep(1000);
        }
        return text;
    }

    TempDir m_dir;
    std::string m_fifo;
    int m_reader = -1;
};

// The instrument gets the whole image while nobody reads the JSON events; read afterwards,
// the events still rebuild the status file byte for byte and end with the result. Before,
// the transfer stopped as soon as the pipe was full and the instrument gave up on a silent
// host.
TEST_F(StalledStdout, TheTransferGoesOnAndTheEventsStillTellIt)
{
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "MAIN", "--records", "60000", m_dir / "fw1.R71"}));
    SimServer sim(m_dir, {}, 1);
    ASSERT_NE(sim.Port(), 0) << sim.Output();
    auto cli = Start({"flash", "--model", "RT71", "--file", m_dir / "fw1.R71", "--tcp",
                      "127.0.0.1:" + std::to_string(sim.Port()), "--json", "--status-file", m_dir / "status.txt"});
    ASSERT_TRUE(sim.Proc().WaitFor("update 1:", 30000)) << sim.Output();
    EXPECT_NE(sim.Summary(1).find("verdict=OK"), std::string::npos) << sim.Summary(1);

    const std::string out = ReadAll(*cli, 20000);
    EXPECT_EQ(cli->Wait(5000), 0) << cli->Err();
    std::string rebuilt;
    std::string last;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json e = nlohmann::json::parse(line, nullptr, false);
        ASSERT_FALSE(e.is_discarded()) << line;
        last = e["event"];
        if (last != "status")
            continue;
        if (e["op"] == "replace")
            rebuilt.erase(rebuilt.rfind("\r\n") == std::string::npos ? 0 : rebuilt.rfind("\r\n") + 2);
        rebuilt += e["text"].get<std::string>();
    }
    EXPECT_EQ(last, "result");
    EXPECT_EQ(rebuilt, ReadText(m_dir / "status.txt"));
}

// SIGTERM while stdout is blocked ends the run at once: link closed, status file written,
// exit 143. Before, the signal waited for the pipe as the transfer did.
TEST_F(StalledStdout, ASignalActsAtOnce)
{
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "MAIN", "--records", "20000", m_dir / "fw1.R71"}));
    SimServer sim(m_dir, {"--ack-delay-ms", "30"}, 1);
    ASSERT_NE(sim.Port(), 0) << sim.Output();
    auto cli = Start({"flash", "--model", "RT71", "--file", m_dir / "fw1.R71", "--tcp",
                      "127.0.0.1:" + std::to_string(sim.Port()), "--json", "--status-file", m_dir / "status.txt"});
    usleep(2000000);  // dozens of events: far more than the page the pipe holds
    ASSERT_EQ(cli->Wait(0), -1) << cli->Err();
    cli->Signal(SIGTERM);
    const auto signalled = std::chrono::steady_clock::now();
    EXPECT_EQ(cli->Wait(10000), 143) << cli->Err();
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(2));
    EXPECT_EQ(ReadText(m_dir / "status.txt").rfind("Opening File...\r\n", 0), 0u);
    const std::string summary = sim.Summary(1);
    EXPECT_TRUE(summary.find("link=closed-by-host") != std::string::npos ||
                summary.find("link=reset-by-host") != std::string::npos)
        << sim.Output();
}

}  // namespace

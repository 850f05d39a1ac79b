// The edges around the engine, tried as a hostile user would: a status file that is the
// update file or no file at all, outputs that meet standard output or each other, targets
// no instrument has, closed standard streams, a flood on the disk prompt, a volume
// rewritten in place while it is sent. Each must end in its one clear outcome.

#include "SimulatorFixture.h"
#include "StatusTexts.h"

#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include <functional>

using namespace std::chrono_literals;
using namespace testsupport;
namespace fs = std::filesystem;

namespace {

class Edge : public SimulatorTest {
protected:
    // zorflash-cli started through the shell, so that a case can redirect or close its
    // standard streams: shell is put in front of the command, e.g. "exec \"$0\" \"$@\" <&-".
    std::unique_ptr<Process> Start(const std::string& shell, std::vector<std::string> args)
    {
        std::vector<std::string> argv = {"/bin/sh", "-c", shell, kCli};
        argv.insert(argv.end(), args.begin(), args.end());
        return std::make_unique<Process>(argv);
    }
    std::vector<std::string> FlashArgs(int port, const std::string& statusFile, std::vector<std::string> more = {})
    {
        std::vector<std::string> args = {"flash", "--model", "RT71", "--file", dir / "fw1.R71", "--tcp",
                                         "127.0.0.1:" + std::to_string(port), "--lang", "en",
                                         "--status-file", statusFile};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
};

// ---- the status file ----

struct UnusableStatusFile {
    const char* name;
    std::function<std::string(const TempDir& dir)> make;  // answers the --status-file path
};

void PrintTo(const UnusableStatusFile& c, std::ostream* os) { *os << c.name; }

class UnusableStatusFileTest : public Edge, public ::testing::WithParamInterface<UnusableStatusFile> {};

// Refused before the instrument is contacted, with the path named; no volume is touched.
TEST_P(UnusableStatusFileTest, IsRefusedBeforeAnythingIsSent)
{
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "SUB", "--records", "40", "--volumes", "2", "--split-at",
                            "30", dir / "fw1.R71"}));
    const std::string statusFile = GetParam().make(dir);
    const Bytes volume1 = ReadFile(dir / "fw1.R71");
    const Bytes volume2 = ReadFile(dir / "fw2.R71");
    SimServer sim(dir);
    auto cli = Start("exec \"$0\" \"$@\" </dev/null", FlashArgs(sim.Port(), statusFile));
    ASSERT_EQ(cli->Wait(10000), 2) << cli->Err();
    EXPECT_TRUE(cli->WaitFor("cannot use " + statusFile, 2000, true)) << cli->Err();
    EXPECT_EQ(cli->Out(), "") << "the update began";
    EXPECT_EQ(ReadFile(dir / "fw1.R71"), volume1);
    EXPECT_EQ(ReadFile(dir / "fw2.R71"), volume2);
    EXPECT_EQ(fs::exists(dir / "fw2.R71"), !volume2.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Paths, UnusableStatusFileTest,
    ::testing::Values(
        UnusableStatusFile{"VolumeOne", [](const TempDir& d) { return d / "fw1.R71"; }},
        UnusableStatusFile{"VolumeTwo", [](const TempDir& d) { return d / "fw2.R71"; }},
        // Not there yet: the disk prompt will ask for it under this name.
        UnusableStatusFile{"VolumeTwoToBeInserted",
                           [](const TempDir& d) {
                               fs::remove(d / "fw2.R71");
                               return d / "fw2.R71";
                           }},
        UnusableStatusFile{"SymlinkToVolume",
                           [](const TempDir& d) {
                               fs::create_symlink(d / "fw1.R71", d / "link");
                               return d / "link";
                           }},
        UnusableStatusFile{"HardLinkToVolume",
                           [](const TempDir& d) {
                               fs::create_hard_link(d / "fw2.R71", d / "hard");
                               return d / "hard";
                           }},
        UnusableStatusFile{"Directory", [](const TempDir& d) { return d.Path().string(); }},
        UnusableStatusFile{"Fifo",
                           [](const TempDir& d) {
                               mkfifo((d / "fifo").c_str(), 0600);
                               return d / "fifo";
                           }},
        // A pseudo-terminal rather than a device such as /dev/full: should the check ever
        // fail, nothing can be created in /dev/pts, so no system device could be replaced.
        UnusableStatusFile{"Device",
                           [](const TempDir&) {
                               static const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
                               grantpt(master);
                               unlockpt(master);
                               return std::string(ptsname(master));
                           }}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the run's own output files ----

// A status file or trace that would land on standard output or error, on a volume of the
// update through a link to a volume still to be inserted, or on each other, is refused
// before contact (exit 2), and the check creates nothing on the way.
struct OutputClash {
    const char* name;
    const char* redirect;  // the shell's redirections of the command
    std::vector<std::string> outputs;  // options naming the outputs; "D/" is the test's folder
    const char* reason;    // on stderr (or in err.txt when stderr is redirected there)
    int targets = 1;
};

void PrintTo(const OutputClash& c, std::ostream* os) { *os << c.name; }

class OutputClashTest : public Edge, public ::testing::WithParamInterface<OutputClash> {};

TEST_P(OutputClashTest, IsRefusedBeforeContactAndCreatesNothing)
{
    const OutputClash& c = GetParam();
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "SUB", "--records", "40", "--volumes", "2", "--split-at",
                            "30", dir / "fw1.R71"}));
    fs::remove(dir / "fw2.R71");  // to be inserted at the disk prompt
    fs::create_symlink(dir / "fw2.R71", dir / "link-to-volume-2");
    SimServer sim(dir, {}, 0, "127.0.0.1-127.0.0.2:0");
    std::vector<std::string> args = {"flash", "--model", "RT71", "--file", dir / "fw1.R71", "--json", "--lang", "en"};
    for (int i = 1; i <= c.targets; ++i)
        args.insert(args.end(), {"--tcp", "127.0.0." + std::to_string(i) + ":" + std::to_string(sim.Port())});
    for (std::string option : c.outputs) {
        if (option.rfind("D/", 0) == 0)
            option = dir / option.substr(2);
        args.push_back(option);
    }
    auto cli = Start(std::string("cd ") + dir.Path().string() + " && exec \"$0\" \"$@\" </dev/null " + c.redirect, args);
    ASSERT_EQ(cli->Wait(10000), 2) << cli->Err() << ReadText(dir / "err.txt");
    EXPECT_NE((cli->Err() + ReadText(dir / "err.txt")).find(c.reason), std::string::npos)
        << cli->Err() << ReadText(dir / "err.txt");
    EXPECT_EQ(ReadText(dir / "run.json"), "") << "the JSON record was written over or mixed";
    EXPECT_FALSE(fs::exists(dir / "fw2.R71")) << "the check created the missing volume";
    for (const char* made : {"out.txt", "new-status.txt", "o-127.0.0."})
        for (const auto& entry : fs::directory_iterator(dir.Path()))
            EXPECT_NE(entry.path().filename().string().rfind(made, 0), 0u) << entry.path() << " was created";
    EXPECT_EQ(sim.Output().find("update 1:"), std::string::npos) << "an instrument was contacted";
}

INSTANTIATE_TEST_SUITE_P(
    Files, OutputClashTest,
    ::testing::Values(
        OutputClash{"StatusFileIsStandardOutput", ">run.json", {"--status-file", "/dev/stdout"}, "the standard output"},
        OutputClash{"TraceIsStandardOutput", ">run.json", {"--trace", "/dev/stdout"}, "the standard output"},
        OutputClash{"StatusFileIsStandardError", ">run.json 2>err.txt", {"--status-file", "/dev/stderr"},
                    "the standard error"},
        OutputClash{"StatusFileLinksToTheMissingVolume", ">run.json", {"--status-file", "D/link-to-volume-2"},
                    "it is the name of the update file"},
        OutputClash{"TraceLinksToTheMissingVolume", ">run.json", {"--trace", "D/link-to-volume-2"},
                    "it is the name of the update file"},
        OutputClash{"StatusFileIsTheTrace", ">run.json", {"--status-file", "D/out.txt", "--trace", "D/out.txt"},
                    "name the same file"},
        OutputClash{"NewStatusFileWhenTheTraceIsRefused", ">run.json",
                    {"--status-file", "D/new-status.txt", "--trace", "D/fw1.R71"}, "cannot write the trace file"},
        OutputClash{"PatternsOfAFleetMeet", ">run.json",
                    {"--status-file", "D/o-{target}", "--trace", "D/o-{target}"}, "are the same file", 2}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- what the command line names, refused before any link ----

// Values no instrument can have end the command as a usage error that says what is wrong,
// quoting the operator's text with its control bytes made visible. Run in a network
// namespace of its own with only loopback: should a refusal ever regress, no packet can
// leave this computer.
TEST_F(Edge, TargetsNoInstrumentHasAreRefusedBeforeAnyLink)
{
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "MAIN", "--records", "4", dir / "fw1.R71"}));
    WriteFile(dir / "targets.txt", Bytes{'1', '2', '7', '.', '0', '.', '0', '.', '1', '\n', 0x1b, '[', '2', 'J',
                                          '1', '0', '.', '0', '.', '0', '.', '1', '\n'});
    ASSERT_EQ(mkfifo((dir / "nobody-writes").c_str(), 0600), 0);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--tcp", "127.0.0.1:65536"}, "the port must be 1 to 65535, not 65536"},
        {{"--tcp", "127.0.0.1:0"}, "not 0"},
        {{"--tcp", "127.0.0.1:80235"}, "not 80235"},
        {{"--tcp", "127.0.0.1:2147483647"}, "not 2147483647"},
        {{"--tcp", "0.0.0.0"}, "unspecified address"},
        {{"--tcp", "0.0.0.0", "--tcp", "127.0.0.1"}, "unspecified address"},
        {{"--tcp", "255.255.255.255:8023"}, "broadcast address"},
        {{"--tcp", "224.0.0.251"}, "multicast"},
        {{"--tcp", "127.0.0.1:80:90"}, "more than one ':'"},
        {{"--tcp", "127.0.0.1\x1b]0;owned\x07"}, "\\x1b]0;owned\\x07"},
        {{"--targets", dir / "targets.txt"}, "targets.txt:2: each part of the address must be 0 to 255: '\\x1b[2J10.0.0.1'"},
        {{"--targets", dir / "nobody-writes", "--timeout", "500"}, "was not read whole within"},
    };
    for (const auto& [targets, message] : cases) {
        std::vector<std::string> argv = {"/usr/bin/unshare", "-rn", "/bin/sh", "-c",
                                         "ip link set lo up && exec \"$0\" \"$@\" </dev/null", kCli, "flash",
                                         "--model", "RT71", "--file", dir / "fw1.R71"};
        argv.insert(argv.end(), targets.begin(), targets.end());
        Process cli(argv);
        ASSERT_EQ(cli.Wait(5000), 2) << message << ": " << cli.Err();
        EXPECT_NE(cli.Err().find(message), std::string::npos) << cli.Err();
        EXPECT_EQ(cli.Err().find('\x1b'), std::string::npos) << "a raw escape reached stderr";
        EXPECT_EQ(cli.Err().find("IPv6"), std::string::npos) << cli.Err();
    }
}

// A targets file from a pipe (`--targets <(grep ...)`) is what a station's script uses.
TEST_F(Edge, TargetsFromAPipeStillWork)
{
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "MAIN", "--records", "4", dir / "fw1.R71"}));
    SimServer sim(dir, {}, 1);
    Process cli({"/bin/bash", "-c", "exec \"$0\" \"$@\" --targets <(printf '\\xef\\xbb\\xbf127.0.0.1:%s\\n' " +
                                        std::to_string(sim.Port()) + ") </dev/null",
                 kCli, "flash", "--model", "RT71", "--file", dir / "fw1.R71", "--lang", "en"});
    EXPECT_EQ(cli.Wait(20000), 0) << cli.Err();
    EXPECT_NE(sim.Summary().find("verdict=OK"), std::string::npos) << sim.Summary();
}

// The firmware went out completely, then the status file could not be written (its
// folder vanished): that is neither a success nor a failed update.
TEST_F(Edge, CompletedUpdateWithoutItsStatusFileHasItsOwnExitCode)
{
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "MAIN", "--records", "400", dir / "fw1.R71"}));
    fs::create_directory(dir / "out");
    SimServer sim(dir, {"--ack-delay-ms", "100"}, 1);
    auto cli = Start("exec \"$0\" \"$@\" </dev/null", FlashArgs(sim.Port(), dir / "out/status.txt"));
    ASSERT_TRUE(cli->WaitFor("Sending START record...", 10000));
    fs::remove_all(dir / "out");
    ASSERT_EQ(cli->Wait(20000), 4) << cli->Err();
    EXPECT_TRUE(cli->WaitFor("sent completely, but the status file is missing", 2000, true)) << cli->Err();
    EXPECT_TRUE(cli->Out().ends_with("Transfer completed.\n")) << cli->Out();
    EXPECT_NE(sim.Summary().find("verdict=OK"), std::string::npos) << sim.Summary();
}

// ---- standard streams handed to us closed ----

// Nothing the program opens may take descriptor 0, 1 or 2: the prompt for volume 2 would
// otherwise go to the instrument or wait on an eventfd for ever.
TEST_F(Edge, ClosedStandardStreamsNeitherHangNorReachTheInstrument)
{
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "MAIN", "--records", "100", "--volumes", "2", "--split-at",
                            "50", dir / "fw1.R71"}));
    fs::remove(dir / "fw2.R71");
    for (const char* closing : {"<&-", "<&- >&- 2>&-"}) {
        SimServer sim(dir, {}, 1);
        auto cli = Start(std::string("exec \"$0\" \"$@\" ") + closing, FlashArgs(sim.Port(), dir / "status.txt"));
        EXPECT_EQ(cli->Wait(10000), 1) << closing;  // the prompt meets end of input: nobody is there
        EXPECT_TRUE(ReadText(dir / "status.txt").ends_with(kAborted)) << closing;
        // Every byte the instrument got belongs to the update, which the host then closed.
        const std::string summary = sim.Summary();
        EXPECT_NE(summary.find("link=closed-by-host verdict=ERROR: missing END"), std::string::npos)
            << closing << ": " << summary;
    }
}

// ---- the disk prompt's answer ----

// The volume is never there; whatever the input, the prompt gives up soon and with
// little output, as Cancel.
TEST_F(Edge, DiskPromptFloodsEndInCancel)
{
    const std::string long_line = "printf '%0300d\\n' 0 | ";
    for (const std::string& feed : {std::string("exec \"$0\" \"$@\" </dev/zero"), long_line + "\"$0\" \"$@\"",
                                    std::string("yes | \"$0\" \"$@\"")}) {
        auto cli = Start(feed, FlashArgs(9, dir / "status.txt"));
        EXPECT_EQ(cli->Wait(10000), 3) << feed;
        EXPECT_LT(cli->Err().size(), 20000u) << feed;
        EXPECT_TRUE(ReadText(dir / "status.txt").ends_with(kAborted)) << feed;
    }
}

// ---- a volume rewritten in place during the transfer ----

// The new version has the same record layout and valid checksums, so no record can show
// the change; the run must notice it all the same and never send END.
TEST_F(Edge, VolumeRewrittenInPlaceEndsAsIncorrectInputFileWithoutEnd)
{
    const std::string path = dir / "fw1.R71";
    Bytes oldVersion = Header(HeaderLine("RT71", "MAIN"), 1);
    Bytes newVersion = oldVersion;
    Append(oldVersion, Section(4000, 1));
    Append(newVersion, Section(4000, 2));
    ASSERT_EQ(oldVersion.size(), newVersion.size());
    WriteFile(path, oldVersion);
    SimServer sim(dir, {"--ack-delay-ms", "20"}, 1);
    auto cli = Start("exec \"$0\" \"$@\" </dev/null", FlashArgs(sim.Port(), dir / "status.txt", {"--json"}));
    ASSERT_TRUE(cli->WaitFor("Sending START record...", 10000));
    std::this_thread::sleep_for(600ms);
    {
        // In place: the same inode, as an editor saving over it or a copy onto it does.
        std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
        out.write(reinterpret_cast<const char*>(newVersion.data()), static_cast<std::streamsize>(newVersion.size()));
    }
    ASSERT_EQ(cli->Wait(30000), 1) << cli->Err();
    EXPECT_TRUE(ReadText(dir / "status.txt").ends_with("\r\nIncorrect input file.\r\n"))
        << ReadText(dir / "status.txt");
    const std::string summary = sim.Summaries(10000).at(0);
    EXPECT_NE(summary.find("sections=0 "), std::string::npos) << "END was sent: " << summary;
    EXPECT_EQ(summary.find("verdict=OK"), std::string::npos) << summary;

    // The record says exactly what happened: why (also on stderr), that the instrument was
    // reached, the records and bytes it received (not those read into a block that never
    // went out) and those it acknowledged.
    EXPECT_NE(cli->Err().find("changed on disk while it was being sent"), std::string::npos) << cli->Err();
    const std::string out = cli->Out();
    const nlohmann::json result = nlohmann::json::parse(out.substr(out.rfind("{\"schema\"")));
    ASSERT_EQ(result["event"], "result") << out;
    EXPECT_NE(result["reason"].get<std::string>().find("changed on disk"), std::string::npos) << result;
    EXPECT_EQ(result["contacted"], true);
    const auto field = [&summary](const std::string& key) {
        const size_t at = summary.find(" " + key + "=");
        return at == std::string::npos ? -1 : std::stoll(summary.substr(at + key.size() + 2));
    };
    EXPECT_EQ(result["records"].get<long long>(), field("records")) << summary;
    // The simulator's bytes count the handshake and the header too.
    EXPECT_EQ(result["bytes"].get<long long>(), field("bytes") - 10 - 1 - 10 - 1 - 56) << summary;
    EXPECT_EQ(result["acknowledgedRecords"].get<long long>(), result["records"].get<long long>()) << result;

    // A refused connection is no contact, and the reason names the system's error.
    const int closed = sim.Port();
    sim.Proc().Wait(5000);
    auto refused = Start("exec \"$0\" \"$@\" </dev/null",
                         {"flash", "--model", "RT71", "--file", path, "--tcp", "127.0.0.1:" + std::to_string(closed),
                          "--json", "--lang", "en"});
    ASSERT_EQ(refused->Wait(30000), 1) << refused->Err();
    const std::string refusedOut = refused->Out();
    const nlohmann::json refusal = nlohmann::json::parse(refusedOut.substr(refusedOut.rfind("{\"schema\"")));
    EXPECT_EQ(refusal["contacted"], false) << refusal;
    EXPECT_NE(refusal["reason"].get<std::string>().find("Connection refused"), std::string::npos) << refusal;
}

}  // namespace

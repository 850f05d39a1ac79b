// The edges around the engine, tried as a hostile user would: a status file that is the
// update file or no file at all, closed standard streams, a flood on the disk prompt, a
// volume rewritten in place while it is sent. Each must end in its one clear outcome.

#include "SimulatorFixture.h"
#include "StatusTexts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using namespace testsupport;
namespace fs = std::filesystem;

namespace {

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class Edge : public ::testing::Test {
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

    TempDir dir;
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
    EXPECT_TRUE(EndsWith(cli->Out(), "Transfer completed.\n")) << cli->Out();
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
        EXPECT_EQ(cli->Wait(10000), 3) << closing;
        EXPECT_TRUE(EndsWith(ReadText(dir / "status.txt"), kAborted)) << closing;
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
        EXPECT_TRUE(EndsWith(ReadText(dir / "status.txt"), kAborted)) << feed;
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
    auto cli = Start("exec \"$0\" \"$@\" </dev/null", FlashArgs(sim.Port(), dir / "status.txt"));
    ASSERT_TRUE(cli->WaitFor("Sending START record...", 10000));
    std::this_thread::sleep_for(600ms);
    {
        // In place: the same inode, as an editor saving over it or a copy onto it does.
        std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
        out.write(reinterpret_cast<const char*>(newVersion.data()), static_cast<std::streamsize>(newVersion.size()));
    }
    ASSERT_EQ(cli->Wait(30000), 1) << cli->Err();
    EXPECT_TRUE(EndsWith(ReadText(dir / "status.txt"), "\r\nIncorrect input file.\r\n"))
        << ReadText(dir / "status.txt");
    const std::string summary = sim.Summaries(10000).at(0);
    EXPECT_NE(summary.find("sections=0 "), std::string::npos) << "END was sent: " << summary;
    EXPECT_EQ(summary.find("verdict=OK"), std::string::npos) << summary;
}

}  // namespace

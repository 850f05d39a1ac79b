#include "SimulatorFixture.h"
#include "StatusTexts.h"

#include <nlohmann/json.hpp>

using namespace testsupport;

namespace {

const std::string kOpened = std::string(kOpening) + kDetecting;

class Flash : public SimulatorTest {
protected:
    CliRun FlashTcp(SimServer& sim, const std::string& file, std::vector<std::string> extra = {},
                    const std::string& input = "")
    {
        std::vector<std::string> args = {"flash", "--model", "RT71", "--file", file, "--tcp",
                                         "127.0.0.1:" + std::to_string(sim.Port())};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunCli(dir, args, input);
    }

    void ExpectImageMatches(const std::string& file, int update = 1)
    {
        char name[32];
        std::snprintf(name, sizeof name, "update-%04d.img", update);
        Process verify({kSim, "verify", dir / ("images/" + std::string(name)), file});
        EXPECT_EQ(verify.Wait(20000), 0) << verify.Out() << verify.Err();
    }
};

TEST_F(Flash, MissingVolumeIsAskedForOnStdin)
{
    const std::string file = Sample("MAIN", 100, {"--volumes", "2", "--split-at", "50"});
    std::filesystem::rename(dir / "fw2.R71", dir / "later.R71");
    {
        SimServer sim(dir);
        const CliRun run = FlashTcp(sim, file, {}, "c\n");
        EXPECT_EQ(run.code, 3);
        EXPECT_NE(run.err.find("nsert Disk 2"), std::string::npos);
        EXPECT_EQ(run.status, std::string(kOpened) + kHeader + kStart + "Sending (1) Record" +
                                  "\r\nAborted according to instruction received.\r\n");
        EXPECT_NE(sim.Summary().find("closed-by-host"), std::string::npos);
    }
    {
        // OK after the disk appears: the same name is tried again.
        SimServer sim(dir);
        Process cli({kCli, "flash", "--model", "RT71", "--file", file, "--tcp",
                     "127.0.0.1:" + std::to_string(sim.Port())});
        ASSERT_TRUE(cli.WaitFor("nsert Disk 2", 10000, true));
        cli.Write("ok\n");  // still missing: asked again, on a line of its own (no terminal echoes the Enter)
        ASSERT_TRUE(cli.WaitFor("Cancel: c/cancel] \nnsert Disk 2", 10000, true)) << cli.Err();
        std::filesystem::rename(dir / "later.R71", dir / "fw2.R71");
        cli.Write("\n");
        EXPECT_EQ(cli.Wait(10000), 0) << cli.Err();
        ExpectImageMatches(file);
    }
}

// Wrong bytes, silence and a cut link at each reply point of the handshake and the
// sections are the fault matrix's (tests/reliability), file problems the job's own tests;
// these are the failures deeper in a record stream.
TEST_F(Flash, FailuresInTheRecordStreamEndWithTheirMessageAndExitOne)
{
    const struct {
        const char* name;
        std::vector<std::string> simArgs;
    } cases[] = {{"block NAK", {"--nak-at", "65"}}, {"dropped link", {"--fault", "record:65:drop"}}};
    const std::string file = Sample("MAIN", 150);
    for (const auto& c : cases) {
        SimServer sim(dir, c.simArgs);
        // Streamed as the desktop does: the file's own faults show where the update meets them.
        const CliRun run = FlashTcp(sim, file, {"--timeout", "500", "--no-precheck"});
        EXPECT_EQ(run.code, 1) << c.name << ": " << run.err;
        EXPECT_TRUE(run.status.ends_with(std::string("Sending (65) Record") + kCommError))
            << c.name << ": " << run.status;
        EXPECT_LT(run.seconds, 5.0) << c.name;
    }
}

// Each mistake ends with exit 2 and a line naming it, before any link.
TEST_F(Flash, UsageErrorsExitTwoAndNameTheMistake)
{
    const std::string file = Sample("MAIN", 5);
    const struct {
        const char* what;
        std::vector<std::string> args;
        const char* said;
    } cases[] = {
        {"a model without TCP", {"flash", "--model", "RT23", "--file", file, "--tcp", "127.0.0.1"}, "cannot be reached over TCP/IP"},
        {"an unknown model", {"flash", "--model", "XX99", "--file", file, "--usb"}, "unknown model 'XX99'"},
        {"no link", {"flash", "--model", "RT71", "--file", file}, "choose the link"},
        {"an address out of range", {"flash", "--model", "RT71", "--file", file, "--tcp", "300.1.1.1"}, "300.1.1.1"},
        {"an unknown command", {"bogus"}, "unknown command 'bogus'"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCli(dir, c.args);
        EXPECT_EQ(run.code, 2) << c.what << ": " << run.err;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << c.what << ": " << run.err;
    }
    EXPECT_EQ(RunCli(dir, {"--help"}).code, 0);
}

TEST_F(Flash, JapaneseStatusText)
{
    const std::string file = Sample("MAIN", 3);
    SimServer sim(dir);
    const CliRun run = FlashTcp(sim, file, {"--lang", "ja"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.status, "ファイルをオープンしています。\r\nターゲットを検出しています。\r\nヘッダーを送信しています。\r\n"
                          "スタートレコードを送信しています。\r\nレコード（1）を送信しています。\r\n転送が終了しました。\r\n");
}

// Ctrl+C, SIGTERM and SIGHUP end the run the same clean way: the link closed first, the
// status text kept as the engine wrote it and saved, and one line saying who ended it.
TEST_F(Flash, SignalsCloseTheLinkWriteTheStatusAndSayWhy)
{
    const std::string file = Sample("MAIN", 300);
    for (const auto& [sig, code] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}, std::pair{SIGHUP, 129}}) {
        SimServer sim(dir, {"--fault", "record:65:silent"});
        Process cli({kCli, "flash", "--model", "RT71", "--file", file, "--tcp",
                     "127.0.0.1:" + std::to_string(sim.Port()), "--status-file", dir / "status.txt"});
        ASSERT_TRUE(cli.WaitFor("Sending START record...", 10000));
        usleep(200000);
        cli.Signal(sig);
        EXPECT_EQ(cli.Wait(2000), code) << sig;
        EXPECT_NE(sim.Summary().find("closed-by-host"), std::string::npos) << sim.Summary();
        EXPECT_TRUE(cli.WaitFor("interrupted by the operator", 2000, true)) << sig << cli.Err();
        EXPECT_NE(cli.Err().find("during \"Sending (65) Record\""), std::string::npos) << sig << cli.Err();
        EXPECT_NE(cli.Err().find("the instrument holds an incomplete update"), std::string::npos) << cli.Err();
        EXPECT_EQ(ReadText(dir / "status.txt"), std::string(kOpened) + kHeader + kStart + "Sending (65) Record" +
                                                     kCommError) << sig;
    }
}

// A fault between two acknowledgements would never be met, and a test using it would pass
// without trying the failure it names; a record numbered otherwise than in the reports would
// spoil a neighbour of the record the test means.
TEST_F(Flash, SimulatorRefusesFaultsThatCannotFireAndNumbersRecordsAsTheReports)
{
    for (const std::vector<std::string>& fault : {std::vector<std::string>{"--nak-at", "64"},
                                                  std::vector<std::string>{"--fault", "record:1000:drop"}}) {
        std::vector<std::string> argv = {kSim, "serve", "--tcp", "127.0.0.1:0", "--max-updates", "1"};
        argv.insert(argv.end(), fault.begin(), fault.end());
        Process sim(argv);
        EXPECT_EQ(sim.Wait(5000), 2) << fault[1];
        EXPECT_NE(sim.Err().find("can never fire"), std::string::npos) << sim.Err();
        EXPECT_EQ(sim.Out().find("listening"), std::string::npos) << sim.Out();
    }
    const std::string bad = Sample("SUB", 40, {"--bad-checksum", "2:0"}, "badstart1.R71");
    const CliRun run = RunCli(dir, {"inspect", "--model", "RT71", bad});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.out.find("section 2, record 0"), std::string::npos) << run.out;
}

TEST_F(Flash, InspectReportsAndExitsOnlyForACompleteFile)
{
    const std::string good = Sample("SUB", 40, {"--volumes", "2", "--split-at", "60"});
    CliRun run = RunCli(dir, {"inspect", "--model", "RT71", good});
    EXPECT_EQ(run.code, 0) << run.out;
    EXPECT_NE(run.out.find("kind:     SUB"), std::string::npos);
    EXPECT_NE(run.out.find("section 2: 40 records"), std::string::npos);
    const std::string bad = Sample("MAIN", 40, {"--bad-checksum", "6"}, "bad1.R71");
    run = RunCli(dir, {"inspect", "--model", "RT71", bad});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.out.find("Incorrect Check Sum."), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("record 6"), std::string::npos) << run.out;
}

}  // namespace

namespace {

// The same updates over USB: the simulator's pseudo-terminal instruments answer the
// identification query with device numbers 3 and 0; the update must pick the second.
class UsbFlash : public Flash {
protected:
    std::string Devices(SimServer& sim)
    {
        const std::string key = "ZORFLASH_USB_DEVICES=";
        EXPECT_TRUE(sim.Proc().WaitFor(key, 5000));
        const std::string out = sim.Proc().Out();
        const size_t at = out.find(key);
        return at == std::string::npos ? "" : out.substr(at + key.size(), out.find('\n', at) - at - key.size());
    }
};

TEST_F(UsbFlash, FindsDeviceNumberZeroAndCompletes)
{
    const std::string file = Sample("SUB", 130);
    SimServer sim(dir, {"--usb", "2", "--usb-numbers", "3,0"});
    const std::string devices = Devices(sim);
    const CliRun run =
        RunCli(dir, {"flash", "--model", "RT71", "--file", file, "--usb"}, "", {{"ZORFLASH_USB_DEVICES", devices}});
    EXPECT_EQ(run.code, 0) << run.err << run.status;
    EXPECT_EQ(run.status, std::string(kOpened) + kHeader + kStart + "Sending (129) Record" + kStart +
                              "Sending (129) Record" + kDone);
    EXPECT_NE(sim.Summary().find("verdict=OK"), std::string::npos) << sim.Summary();
    ExpectImageMatches(file);
}

// A silent device listed first ends the run's search; the reason says what that search
// saw, and nothing else: no second search may find the instrument behind it and
// contradict the failure.
TEST_F(UsbFlash, TheReasonIsWhatTheRunsOwnSearchSaw)
{
    const std::string file = Sample("MAIN", 10);
    SimServer sim(dir, {"--usb", "1", "--usb-numbers", "0"});
    const std::string devices = Devices(sim);
    const int silent = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(silent, 0);
    grantpt(silent);
    unlockpt(silent);
    const std::string silentPath = ptsname(silent);
    const CliRun run = RunCli(dir, {"flash", "--model", "RT71", "--file", file, "--usb", "--timeout", "500"}, "",
                              {{"ZORFLASH_USB_DEVICES", silentPath + ":" + devices}});
    close(silent);
    EXPECT_EQ(run.code, 1) << run.err;
    EXPECT_NE(run.err.find(silentPath + ": no identification reply"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("answered \""), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(devices), std::string::npos) << "a device the search never asked: " << run.err;
}

}  // namespace

// probe marks the device an update would keep, by the update's own search rule, and says
// when a reply is another model's: an RT71 answers the query RT54 sends too.
TEST_F(UsbFlash, ProbeMarksTheDeviceAnUpdateUsesAndRepliesOfAnotherModel)
{
    SimServer sim(dir, {"--usb", "3", "--usb-numbers", "2,0,0"});
    const std::string devices = Devices(sim);
    const std::string second = devices.substr(devices.find(':') + 1, devices.rfind(':') - devices.find(':') - 1);
    const CliRun text = RunCli(dir, {"probe", "--model", "RT54"}, "", {{"ZORFLASH_USB_DEVICES", devices}});
    EXPECT_EQ(text.code, 0);
    std::istringstream lines(text.out);
    std::string line;
    int used = 0;
    int other = 0;
    while (std::getline(lines, line)) {
        used += line.find("an update with --usb uses this one") != std::string::npos;
        other += line.find("a reply of RT71, not of RT54") != std::string::npos;
        if (line.find("uses this one") != std::string::npos) {
            EXPECT_EQ(line.rfind(second, 0), 0u) << text.out;
        }
    }
    EXPECT_EQ(used, 1) << text.out;
    EXPECT_EQ(other, 3) << text.out;
    const nlohmann::json json =
        nlohmann::json::parse(RunCli(dir, {"probe", "--model", "RT71", "--json"}, "", {{"ZORFLASH_USB_DEVICES", devices}}).out);
    ASSERT_EQ(json["devices"].size(), 3u);
    EXPECT_EQ(json["devices"][1]["used"], true);
    EXPECT_EQ(json["devices"][2]["used"], false);
    EXPECT_FALSE(json["devices"][0].contains("otherModel"));
}

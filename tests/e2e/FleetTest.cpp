#include "PtyProcess.h"
#include "ScreenModel.h"
#include "SimulatorFixture.h"

#include <nlohmann/json.hpp>

#include <set>

using namespace testsupport;

namespace {

// The number after " KEY=" in a summary line, or -1.
double FieldOf(const std::string& line, const std::string& key)
{
    const size_t at = line.find(" " + key + "=");
    return at == std::string::npos ? -1 : std::atof(line.c_str() + at + key.size() + 2);
}

// The simulator's summary lines by instrument index, once it has ended.
std::map<int, std::string> SummariesByInstrument(SimServer& sim, int timeoutMs)
{
    std::map<int, std::string> byInstrument;
    for (const std::string& line : sim.Summaries(timeoutMs)) {
        const double instrument = FieldOf(line, "instrument");
        if (instrument >= 0)
            byInstrument[static_cast<int>(instrument)] = line;
    }
    return byInstrument;
}

std::string ImageOf(const std::string& summary)
{
    const size_t at = summary.find(" image=");
    return at == std::string::npos ? "" : summary.substr(at + 7, summary.find(' ', at + 7) - at - 7);
}

// A simulated subnet: four instruments on 127.0.0.1-4 and one port, two with faults of their
// own, each flashed by its own zorflash-cli at the same time.
TEST(SimulatedFleet, EachAddressIsItsOwnInstrumentWithItsOwnFaultsAndImage)
{
    TempDir dir;
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "MAIN", "--records", "300", dir / "fw1.R71"}));
    SimServer sim(dir, {"--fault", "1:header:wrong", "--fault", "2:record:65:drop"}, 4, "127.0.0.1-127.0.0.4:0");
    ASSERT_NE(sim.Port(), 0) << sim.Output();

    std::vector<std::unique_ptr<Process>> clis;
    for (int i = 0; i < 4; ++i)
        clis.push_back(std::make_unique<Process>(std::vector<std::string>{
            kCli, "flash", "--model", "RT71", "--file", dir / "fw1.R71", "--timeout", "3000", "--tcp",
            "127.0.0." + std::to_string(i + 1) + ":" + std::to_string(sim.Port())}));
    const std::vector<int> codes = {0, 1, 1, 0};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(clis[i]->Wait(20000), codes[i]) << "instrument " << i << ": " << clis[i]->Err();

    auto lines = SummariesByInstrument(sim, 10000);
    ASSERT_EQ(lines.size(), 4u) << sim.Output();
    const std::vector<std::string> verdicts = {"verdict=OK", "verdict=FAULT: wrong reply at header",
                                               "verdict=FAULT: link dropped at section 1 record 65", "verdict=OK"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NE(lines[i].find("tcp=127.0.0." + std::to_string(i + 1) + ":"), std::string::npos) << lines[i];
        EXPECT_NE(lines[i].find(verdicts[i]), std::string::npos) << lines[i];
    }
    for (int i : {0, 3}) {
        Process verify({kSim, "verify", ImageOf(lines[i]), dir / "fw1.R71"});
        EXPECT_EQ(verify.Wait(20000), 0) << lines[i] << verify.Out();
    }
}

// 16 instruments on 127.0.0.1-16 in one command: one refuses the header, one drops the
// link mid-transfer, one never answers. The other 13 get the whole file, the summary and
// the exit code say so, and the run is over within the time-out (plus a second) of the
// last healthy one, whether all run at once or four at a time.
class FleetFlash : public ::testing::TestWithParam<const char*> {};

TEST_P(FleetFlash, ThirteenOfSixteenCompleteAndTheVerdictSaysSo)
{
    TempDir dir;
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "SUB", "--records", "700", dir / "fw1.R71"}));
    SimServer sim(dir, {"--fault", "3:header:wrong", "--fault", "7:s2:record:65:drop", "--fault", "11:sync:silent"}, 16,
                  "127.0.0.1-127.0.0.16:0");
    ASSERT_NE(sim.Port(), 0) << sim.Output();
    const int timeoutMs = 2000;
    std::vector<std::string> args = {kCli, "flash", "--model", "RT71", "--file", dir / "fw1.R71", "--timeout",
                                     std::to_string(timeoutMs), "--status-file", dir / "status-{target}.txt"};
    // The first eight as the simulator was given them, as one range.
    args.push_back("--tcp=127.0.0.1-127.0.0.8:" + std::to_string(sim.Port()));
    for (int i = 9; i <= 16; ++i)
        args.push_back("--tcp=127.0.0." + std::to_string(i) + ":" + std::to_string(sim.Port()));
    if (*GetParam()) {
        args.push_back("--parallel");
        args.push_back(GetParam());
    }
    const auto started = std::chrono::steady_clock::now();
    Process cli(args);
    cli.CloseInput();
    const int code = cli.Wait(60000);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const std::string out = cli.Out();
    EXPECT_EQ(code, 1) << out << cli.Err();
    EXPECT_NE(out.find("16 targets: 13 completed, 3 failed"), std::string::npos) << out;

    auto lines = SummariesByInstrument(sim, 10000);
    ASSERT_EQ(lines.size(), 16u) << sim.Output();
    double slowestHealthy = 0;
    for (int i = 0; i < 16; ++i) {
        const std::string target = "127.0.0." + std::to_string(i + 1) + ":" + std::to_string(sim.Port());
        const bool healthy = i != 3 && i != 7 && i != 11;
        // Every target's status text, and its lines on stdout, prefixed with its name.
        const std::string status = ReadText(dir / ("status-127.0.0." + std::to_string(i + 1) + "-" +
                                                   std::to_string(sim.Port()) + ".txt"));
        EXPECT_EQ(status.find("Transfer completed.") != std::string::npos, healthy) << target << ": " << status;
        EXPECT_NE(out.find("[" + target + "] Opening File..."), std::string::npos) << target;
        EXPECT_EQ(lines[i].find("verdict=OK") != std::string::npos, healthy) << lines[i];
        if (healthy) {
            slowestHealthy = std::max(slowestHealthy, FieldOf(lines[i], "time"));
            Process verify({kSim, "verify", ImageOf(lines[i]), dir / "fw1.R71"});
            EXPECT_EQ(verify.Wait(20000), 0) << lines[i] << verify.Out();
        }
    }
    EXPECT_NE(lines[3].find("FAULT: wrong reply at header"), std::string::npos) << lines[3];
    EXPECT_NE(lines[7].find("FAULT: link dropped at section 2 record 65"), std::string::npos) << lines[7];
    EXPECT_NE(lines[11].find("FAULT: no reply at sync"), std::string::npos) << lines[11];
    EXPECT_LT(seconds, timeoutMs / 1000.0 + 1.0 + slowestHealthy) << out;
}

INSTANTIATE_TEST_SUITE_P(AllAtOnceAndFourAtATime, FleetFlash, ::testing::Values("", "4"),
                         [](const auto& info) { return std::string(*info.param ? "Parallel4" : "AllAtOnce"); });

// On a terminal of 60, 80 or 120 columns, in either language: one line per running target
// and an overall line, redrawn in place; never wider or higher than the terminal, also
// after it grows; afterwards only the result lines are left, one per target, completed
// ones green and the failed one red, then the summary table in the run's language.
struct TerminalCase {
    int width;
    const char* lang;
};

class FleetTerminal : public ::testing::TestWithParam<TerminalCase> {};

TEST_P(FleetTerminal, TheProgressBlockFitsTheTerminalAndLeavesOnlyTheResults)
{
    const bool ja = std::string(GetParam().lang) == "ja";
    TempDir dir;
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "MAIN", "--records", "3000", dir / "fw1.R71"}));
    // Acknowledgements 20 ms late: about a second per update, so the block is drawn often.
    SimServer sim(dir, {"--ack-delay-ms", "20", "--fault", "2:header:wrong"}, 8, "127.0.0.1-127.0.0.8:0");
    ASSERT_NE(sim.Port(), 0) << sim.Output();
    std::vector<std::string> argv = {kCli, "flash", "--model", "RT71", "--file", dir / "fw1.R71",
                                     "--lang", GetParam().lang, "--parallel", "4"};
    for (int i = 1; i <= 8; ++i)
        argv.push_back("--tcp=127.0.0." + std::to_string(i) + ":" + std::to_string(sim.Port()));
    const int width = GetParam().width;
    const int height = 8;
    PtyProcess cli(argv, width - 20, height);
    ASSERT_TRUE(cli.WaitFor("\033[J", 10000)) << cli.Output();
    // Grown while the block is up: the next draws use the room; nothing was drawn wider.
    const size_t beforeResize = cli.Output().size();
    cli.Resize(width, height + 4);
    ASSERT_EQ(cli.Wait(60000), 1) << cli.Output();

    const std::string output = cli.Output();
    const std::string count = ja ? "ターゲット 8 台: 完了 7、失敗 1" : "8 targets: 7 completed, 1 failed";
    const size_t end = output.find(count);
    ASSERT_NE(end, std::string::npos) << output;
    EXPECT_NE(output.find(ja ? "/8 終了、実行中 " : "/8 done, "), std::string::npos) << output;
    ScreenModel screen(width - 20, height);
    screen.Write(output.substr(0, beforeResize));
    screen.Resize(width, height + 4);
    screen.Write(output.substr(beforeResize, end + count.size() - beforeResize));
    EXPECT_EQ(screen.Overflows(), 0);
    EXPECT_TRUE(screen.Unknown().empty()) << screen.Unknown().front();
    const std::vector<std::string> lines = screen.Lines();
    const std::vector<int> colours = screen.Colours();
    ASSERT_EQ(lines.size(), 8u + 1 + 1 + 8 + 1) << output;
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(lines[i].rfind("127.0.0.", 0), 0u) << lines[i];
        EXPECT_EQ(colours[i], lines[i].find("127.0.0.3:") == 0 ? 31 : 32) << lines[i];
    }
    EXPECT_EQ(lines[9].rfind(ja ? "ターゲット" : "target", 0), 0u) << lines[9];
    // The outcome table's short labels, in the run's language, in the result lines and the table.
    for (size_t i : {0, 1, 2, 3, 4, 5, 6, 7, 10, 11, 12, 13, 14, 15, 16, 17}) {
        const bool failed = lines[i].find("127.0.0.3:") == 0;
        EXPECT_EQ(colours[i], failed ? 31 : 32) << lines[i];
        EXPECT_NE(lines[i].find(failed ? (ja ? "  失敗: ヘッダー  " : "  failed: header  ") : (ja ? "  完了  " : "  done  ")),
                  std::string::npos) << lines[i];
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, FleetTerminal,
                         ::testing::Values(TerminalCase{60, "en"}, TerminalCase{60, "ja"}, TerminalCase{80, "en"},
                                           TerminalCase{80, "ja"}, TerminalCase{120, "en"}, TerminalCase{120, "ja"}),
                         [](const auto& info) { return std::string(info.param.lang) + std::to_string(info.param.width); });

// USB instruments by device number, all searched for at once: each target finds its own
// instrument even while the others' searches hold theirs open, and a fault of one device
// stays with it.
TEST(FleetUsb, EveryDeviceNumberFindsItsOwnInstrument)
{
    TempDir dir;
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "MAIN", "--records", "400", dir / "fw1.R71"}));
    SimServer sim(dir, {"--usb", "6", "--usb-numbers", "5,4,3,2,1,0", "--fault", "2:header:wrong"}, 6);
    const std::string key = "ZORFLASH_USB_DEVICES=";
    ASSERT_TRUE(sim.Proc().WaitFor(key, 5000));
    const std::string said = sim.Proc().Out();
    const size_t at = said.find(key) + key.size();
    const std::string devices = said.substr(at, said.find('\n', at) - at);

    Process cli({kCli, "flash", "--model", "RT71", "--file", dir / "fw1.R71", "--timeout", "3000", "--usb-number",
                 "0,1,2,3,4,5"},
                {{"ZORFLASH_USB_DEVICES", devices}});
    cli.CloseInput();
    EXPECT_EQ(cli.Wait(60000), 1) << cli.Out() << cli.Err();
    EXPECT_NE(cli.Out().find("6 targets: 5 completed, 1 failed"), std::string::npos) << cli.Out();
    EXPECT_NE(cli.Out().find("[usb:3] Header transfer error."), std::string::npos) << cli.Out();

    const auto lines = sim.Summaries(10000);
    ASSERT_EQ(lines.size(), 6u) << sim.Output();
    for (const std::string& line : lines) {
        const bool faulty = line.find(" device=2 ") != std::string::npos;
        EXPECT_NE(line.find(faulty ? "verdict=FAULT: wrong reply at header" : "verdict=OK"), std::string::npos) << line;
    }
}

// All targets read one two-volume file, so all run out of volume 1 together: the operator
// is asked once, and the answer holds for every target waiting.
TEST(FleetDiskPrompt, AskedOnceForAllTargetsWaitingOnTheSameVolume)
{
    for (const bool ok : {true, false}) {
        TempDir dir;
        ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "MAIN", "--records", "300", "--volumes", "2",
                                "--split-at", "150", dir / "fw1.R71"}));
        std::filesystem::rename(dir / "fw2.R71", dir / "later.R71");
        SimServer sim(dir, {}, 3, "127.0.0.1-127.0.0.3:0");
        std::vector<std::string> argv = {kCli, "flash", "--model", "RT71", "--file", dir / "fw1.R71"};
        for (int i = 1; i <= 3; ++i)
            argv.push_back("--tcp=127.0.0." + std::to_string(i) + ":" + std::to_string(sim.Port()));
        Process cli(argv);
        ASSERT_TRUE(cli.WaitFor("nsert Disk 2", 10000, true)) << cli.Err();
        // Every target reaches the end of volume 1 within moments of the first.
        for (int i = 0; i < 200 && cli.Out().find("Sending (150) Record") == std::string::npos; ++i)
            usleep(5000);
        usleep(300000);
        if (ok)
            std::filesystem::rename(dir / "later.R71", dir / "fw2.R71");
        cli.Write(ok ? "ok\n" : "c\n");
        EXPECT_EQ(cli.Wait(30000), ok ? 0 : 3) << cli.Out() << cli.Err();
        EXPECT_EQ(CountOf(cli.Err(), "nsert Disk 2"), 1) << cli.Err();
        EXPECT_NE(cli.Out().find(ok ? "3 targets: 3 completed" : "3 targets: 0 completed, 3 cancelled"),
                  std::string::npos)
            << cli.Out();
    }
}

// Ctrl+C in the middle of a fleet: every link is closed at once (each instrument sees its
// host leave), targets not yet started never start, and the run ends with 130.
TEST(FleetInterrupt, CtrlCClosesEveryLinkAndEndsWith130)
{
    TempDir dir;
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "MAIN", "--records", "3000", dir / "fw1.R71"}));
    SimServer sim(dir, {"--ack-delay-ms", "50"}, 4, "127.0.0.1-127.0.0.6:0");
    std::vector<std::string> argv = {kCli, "flash", "--model", "RT71", "--file", dir / "fw1.R71", "--parallel", "4",
                                     "--status-file", dir / "s-{target}"};
    for (int i = 1; i <= 6; ++i)
        argv.push_back("--tcp=127.0.0." + std::to_string(i) + ":" + std::to_string(sim.Port()));
    Process cli(argv);
    cli.CloseInput();
    for (int i = 0; i < 1000 && CountOf(cli.Out(), "Sending START record") < 4; ++i)
        usleep(5000);
    cli.Signal(SIGINT);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(cli.Wait(10000), 130) << cli.Out() << cli.Err();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
    EXPECT_NE(cli.Out().find("6 targets: 0 completed, 6 interrupted"), std::string::npos) << cli.Out();
    const auto lines = sim.Summaries(5000);
    ASSERT_EQ(lines.size(), 4u) << sim.Output();
    for (const std::string& line : lines)
        EXPECT_TRUE(line.find("link=closed-by-host") != std::string::npos ||
                    line.find("link=reset-by-host") != std::string::npos)
            << line;
    // A target that was started leaves its whole status text; one never started, none.
    for (int i = 1; i <= 6; ++i) {
        const std::string status = dir / ("s-127.0.0." + std::to_string(i) + "-" + std::to_string(sim.Port()));
        EXPECT_EQ(std::filesystem::exists(status), i <= 4) << status;
        if (i <= 4) {
            EXPECT_NE(ReadText(status).find("Sending START record"), std::string::npos) << status;
        }
    }
}

// The JSON events of a run, one a line.
std::vector<nlohmann::json> EventsOf(const std::string& out)
{
    std::vector<nlohmann::json> events;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        events.push_back(nlohmann::json::parse(line, nullptr, false));
    return events;
}

// Volume 1 of a two-volume file sent to one instrument at a time, volume 2 missing: once
// the disk prompt is answered Cancel, or nobody answers it, or Ctrl+C comes while it
// waits, no target that had not started yet is contacted; each ends as not started with
// that answer's outcome (cancelled, prompt-unanswered, interrupted), and the result
// events, the summary's counts and the exit code agree. A piped answer ends the prompt's
// line, so the next stderr line starts on its own.
TEST(FleetDiskPrompt, AnAnswerThatEndsTheRunStartsNoFurtherTarget)
{
    struct Case {
        const char* name;
        const char* input;  // nullptr: SIGINT while the prompt waits
        int code;
        const char* outcome;  // of the targets never started
        const char* count;
    };
    for (const Case& c : {Case{"cancel", "c\n", 3, "cancelled", "cancelled"},
                          Case{"end of input", "", 1, "prompt-unanswered", "failed"},
                          Case{"Ctrl+C", nullptr, 130, "interrupted", "interrupted"}}) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "MAIN", "--records", "300", "--volumes", "2",
                                "--split-at", "150", dir / "fw1.R71"}));
        std::filesystem::remove(dir / "fw2.R71");
        SimServer sim(dir, {}, 0, "127.0.0.1-127.0.0.4:0");
        ASSERT_NE(sim.Port(), 0) << sim.Output();
        std::vector<std::string> argv = {kCli, "flash", "--model", "RT71", "--file", dir / "fw1.R71",
                                         "--parallel", "1", "--json"};
        for (int i = 1; i <= 4; ++i)
            argv.push_back("--tcp=127.0.0." + std::to_string(i) + ":" + std::to_string(sim.Port()));
        Process cli(argv);
        ASSERT_TRUE(cli.WaitFor("nsert Disk 2", 10000, true)) << cli.Err();
        if (c.input) {
            cli.Write(c.input);
            cli.CloseInput();
        } else {
            // As a script's harness does: the pipe closes right after the signal, and the
            // end of input read then must not pass for an unanswered prompt.
            cli.Signal(SIGINT);
            cli.CloseInput();
        }
        ASSERT_EQ(cli.Wait(20000), c.code) << cli.Out() << cli.Err();
        if (c.input) {
            EXPECT_NE(cli.Err().find("c/cancel] \nzorflash-cli: "), std::string::npos) << cli.Err();
        }

        // Only the first instrument was ever reached. The command ends as its last target
        // does, which may be before the simulator has logged the session it ended.
        sim.Summary(1);
        const std::string seen = sim.Output();
        EXPECT_NE(seen.find("tcp=127.0.0.1:"), std::string::npos) << seen;
        for (int i = 2; i <= 4; ++i)
            EXPECT_EQ(seen.find("tcp=127.0.0." + std::to_string(i) + ":"), std::string::npos) << seen;

        const std::vector<nlohmann::json> events = EventsOf(cli.Out());
        ASSERT_FALSE(events.empty());
        const nlohmann::json& summary = events.back();
        ASSERT_EQ(summary["event"], "summary") << summary;
        EXPECT_EQ(summary["exit"], c.code);
        EXPECT_EQ(summary[c.count].get<int>(), 4) << summary;
        int results = 0;
        for (const nlohmann::json& e : events) {
            if (e["event"] != "result")
                continue;
            ++results;
            EXPECT_EQ(e["exit"], c.code) << e;
            if (e["target"].get<std::string>().rfind("127.0.0.1:", 0) == 0)
                continue;
            EXPECT_EQ(e["outcome"], c.outcome) << e;
            EXPECT_EQ(e["contacted"], false) << e;
            EXPECT_EQ(e["bytes"], 0) << e;
        }
        EXPECT_EQ(results, 4);
    }
}

// With --json a script gets one event a line, each of one target naming it, and the
// summary last: per target the status events rebuild the status file byte for byte, and
// the result events, the summary and the exit code tell the same verdict. Every target's
// link is traced to a file of its own.
TEST(FleetJson, EveryEventNamesItsTargetAndTheSummaryComesLast)
{
    TempDir dir;
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "SUB", "--records", "400", dir / "fw1.R71"}));
    SimServer sim(dir, {"--fault", "2:header:wrong"}, 4, "127.0.0.1-127.0.0.4:0");
    ASSERT_NE(sim.Port(), 0) << sim.Output();
    const std::string port = std::to_string(sim.Port());
    std::vector<std::string> argv = {kCli, "flash", "--model", "RT71", "--file", dir / "fw1.R71", "--json",
                                     "--no-prompt", "--status-file", dir / "status-{target}", "--trace",
                                     dir / "trace-{target}"};
    for (int i = 1; i <= 4; ++i)
        argv.push_back("--tcp=127.0.0." + std::to_string(i) + ":" + port);
    Process cli(argv);
    cli.CloseInput();
    ASSERT_EQ(cli.Wait(30000), 1) << cli.Out() << cli.Err();

    std::vector<nlohmann::json> events;
    std::istringstream lines(cli.Out());
    for (std::string line; std::getline(lines, line);) {
        events.push_back(nlohmann::json::parse(line, nullptr, false));
        ASSERT_FALSE(events.back().is_discarded()) << line;
        ASSERT_EQ(events.back()["schema"], 1) << line;
    }
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events.front()["event"], "check");
    EXPECT_EQ(events.front()["complete"], true);
    const nlohmann::json& summary = events.back();
    ASSERT_EQ(summary["event"], "summary") << summary;
    EXPECT_EQ(summary["exit"], 1);
    EXPECT_EQ(summary["completed"], 3);
    EXPECT_EQ(summary["failed"], 1);

    std::map<std::string, std::string> rebuilt;
    std::map<std::string, nlohmann::json> results;
    for (std::size_t i = 1; i + 1 < events.size(); ++i) {
        const nlohmann::json& e = events[i];
        ASSERT_TRUE(e.contains("target")) << e;
        const std::string target = e["target"];
        EXPECT_EQ(results.count(target), 0u) << "an event after the target's result: " << e;
        if (e["event"] == "status") {
            std::string& text = rebuilt[target];
            if (e["op"] == "replace")
                text.erase(text.rfind("\r\n") == std::string::npos ? 0 : text.rfind("\r\n") + 2);
            text += e["text"].get<std::string>();
        } else if (e["event"] == "result") {
            results[target] = e;
        }
    }
    ASSERT_EQ(results.size(), 4u) << cli.Out();
    ASSERT_EQ(summary["results"].size(), 4u);
    for (const nlohmann::json& row : summary["results"]) {
        const std::string target = row["target"];
        const bool faulty = target == "127.0.0.3:" + port;
        const std::string name = "127.0.0." + target.substr(8, target.find(':') - 8) + "-" + port;
        EXPECT_EQ(rebuilt[target], ReadText(dir / ("status-" + name))) << target;
        EXPECT_EQ(row["outcome"], faulty ? "header-transfer-error" : "completed") << row;
        EXPECT_EQ(row["exit"], results[target]["exit"]);
        EXPECT_EQ(row["bytes"], results[target]["bytes"]);
        EXPECT_EQ(results[target]["contacted"], true);
        EXPECT_EQ(results[target]["reason"].get<std::string>().empty(), !faulty) << results[target];
        const std::string trace = ReadText(dir / ("trace-" + name));
        EXPECT_EQ(trace.rfind("# zorflash-cli trace of " + (dir / "fw1.R71") + " to " + target + ",", 0), 0u) << trace;
        EXPECT_NE(trace.find("link opened"), std::string::npos) << trace;
    }
    // The last line of stderr is the one to show: which targets did not complete.
    EXPECT_NE(cli.Err().find("1 of 4 targets did not complete: 127.0.0.3:" + port + " (failed: header)"),
              std::string::npos)
        << cli.Err();
}

// Nobody at the station to change disks: a missing volume 2 fails the run (exit 1), never
// the operator's cancel (3). With the pre-check that is known before any instrument is
// contacted, and the file is read once for all targets; a bad checksum is likewise refused
// before contact. Without the pre-check, each target finds out at the prompt.
TEST(FleetUnattended, AMissingVolumeOrABadFileFailsTheRunAndNobodyIsAsked)
{
    struct Case {
        const char* name;
        std::vector<std::string> sample;  // make-sample options beyond the model and kind
        std::vector<std::string> options;
        bool contacted;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"no prompt, pre-check", {"--volumes", "2", "--split-at", "150"}, {"--no-prompt"}, false,
         "--no-prompt asks nobody: volume 2 "},
        {"no prompt, no pre-check", {"--volumes", "2", "--split-at", "150"}, {"--no-prompt", "--no-precheck"}, true,
         "--no-prompt asks nobody: volume 2 "},
        {"end of input at the prompt", {"--volumes", "2", "--split-at", "150"}, {}, true,
         "nobody answered the disk prompt (end of input): volume 2 "},
        {"bad checksum", {"--bad-checksum", "99"}, {}, false, "Incorrect Check Sum. at section 1, record 99"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::vector<std::string> sample = {"--model", "RT71", "--kind", "MAIN", "--records", "300"};
        sample.insert(sample.end(), c.sample.begin(), c.sample.end());
        sample.push_back(dir / "fw1.R71");
        ASSERT_TRUE(MakeSample(sample));
        std::filesystem::remove(dir / "fw2.R71");
        SimServer sim(dir, {}, c.contacted ? 3 : 0, "127.0.0.1-127.0.0.3:0");
        std::vector<std::string> argv = {kCli, "flash", "--model", "RT71", "--file", dir / "fw1.R71",
                                         "--status-file", dir / "status-{target}"};
        argv.insert(argv.end(), c.options.begin(), c.options.end());
        for (int i = 1; i <= 3; ++i)
            argv.push_back("--tcp=127.0.0." + std::to_string(i) + ":" + std::to_string(sim.Port()));
        Process cli(argv);
        cli.CloseInput();
        EXPECT_EQ(cli.Wait(30000), 1) << cli.Out() << cli.Err();
        EXPECT_NE(cli.Out().find("3 targets: 0 completed, 3 failed"), std::string::npos) << cli.Out();
        EXPECT_NE(cli.Err().find(c.reason), std::string::npos) << cli.Err();
        const std::string err = cli.Err();
        EXPECT_EQ(err.find(c.reason), err.rfind(c.reason)) << "said once for all targets: " << err;
        if (!c.options.empty()) {
            EXPECT_EQ(err.find("nsert Disk"), std::string::npos) << err;
        }
        const std::string status = ReadText(dir / ("status-127.0.0.2-" + std::to_string(sim.Port())));
        EXPECT_EQ(status.rfind("Opening File...\r\n", 0), 0u) << status;
        if (c.contacted) {
            EXPECT_EQ(sim.Summaries(10000).size(), 3u) << sim.Output();
        } else {
            usleep(100000);
            EXPECT_EQ(sim.Output().find("update "), std::string::npos) << sim.Output();
            EXPECT_EQ(sim.Output().find("connection"), std::string::npos) << sim.Output();
        }
    }
}

// A status file that cannot be used is refused before any instrument is contacted: with
// several targets the name needs {target}, and every target's file is checked.
TEST(FleetStatusFile, AnUnusableNameStopsTheRunBeforeAnyInstrumentIsContacted)
{
    TempDir dir;
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "MAIN", "--records", "100", dir / "fw1.R71"}));
    SimServer sim(dir, {}, 0, "127.0.0.1-127.0.0.2:0");
    const std::string port = std::to_string(sim.Port());
    // The second target's name is taken by a folder; the first one's would be fine.
    std::filesystem::create_directory(dir / ("127.0.0.2-" + port));
    for (const std::string& pattern : {dir / "status.txt", dir / "missing-folder/{target}.txt", dir / "{target}"}) {
        Process cli({kCli, "flash", "--model", "RT71", "--file", dir / "fw1.R71", "--tcp", "127.0.0.1:" + port, "--tcp",
                     "127.0.0.2:" + port, "--status-file", pattern});
        cli.CloseInput();
        EXPECT_EQ(cli.Wait(10000), 2) << pattern << cli.Err();
        EXPECT_NE(cli.Err().find("status"), std::string::npos) << cli.Err();
        // The first target's file passed its check, but the run never began: no file.
        EXPECT_FALSE(std::filesystem::exists(dir / ("127.0.0.1-" + port))) << pattern;
    }
    EXPECT_EQ(sim.Output().find("update 1:"), std::string::npos) << sim.Output();
}

} // namespace

// zorflash-cli as operators and scripts meet it: the file checked before the instrument is
// touched, runs nobody answers, a reason on stderr for every failure, JSON for scripts and a
// trace of the link, each against the simulator.

#include "SimulatorFixture.h"
#include "StatusTexts.h"
#include "present/OutcomeTable.h"

#include <nlohmann/json.hpp>

#include <netinet/in.h>
#include <sys/socket.h>

using namespace testsupport;

namespace {

class Operator : public SimulatorTest {
protected:
    std::vector<std::string> Flash(const std::string& file, int port, std::vector<std::string> extra = {})
    {
        std::vector<std::string> args = {"flash", "--model", "RT71", "--file", file, "--tcp",
                                         "127.0.0.1:" + std::to_string(port)};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    // Whether the simulator saw an update begin; it prints a line for each one that ended.
    static bool Contacted(SimServer& sim)
    {
        usleep(300000);
        return sim.Output().find("update 1:") != std::string::npos;
    }
};

struct Refusal {
    const char* name;
    std::vector<std::string> sampleArgs;
    std::string status;
    std::string where;
};

TEST_F(Operator, PreCheckRefusesABadFileAndNeverContactsTheInstrument)
{
    const std::vector<Refusal> cases = {
        {"checksum", {"--bad-checksum", "99"}, std::string(kOpening) + kChecksum, "section 1, record 99 (volume 1, offset "},
        {"short header", {"--truncate-at", "52"}, std::string(kOpening) + "\r\nIncorrect input file.\r\n",
         "volume 1 is shorter than its 56-byte header"},
    };
    for (const Refusal& c : cases) {
        const std::string file = Sample("MAIN", 150, c.sampleArgs);
        SimServer sim(dir);
        const CliRun run = RunCli(dir, Flash(file, sim.Port()));
        EXPECT_EQ(run.code, 1) << c.name;
        EXPECT_EQ(run.status, c.status) << c.name;
        EXPECT_NE(run.err.find(c.where), std::string::npos) << c.name << ": " << run.err;
        EXPECT_NE(run.err.find("the instrument was not contacted"), std::string::npos) << run.err;
        EXPECT_FALSE(Contacted(sim)) << c.name << ": " << sim.Output();
    }
}

struct Unanswered {
    const char* name;
    std::vector<std::string> args;
    std::string input;
    int code;
    bool contacted;
    std::string reason;  // on stderr, after the volume's path
};

TEST_F(Operator, NonInteractiveRunsNeverWaitForAMissingVolume)
{
    const std::string file = Sample("MAIN", 100, {"--volumes", "2", "--split-at", "50"});
    std::filesystem::rename(dir / "fw2.R71", dir / "away.R71");
    const std::string missing = " " + (dir / "fw2.R71") + " is missing";
    const std::vector<Unanswered> cases = {
        {"no prompt", {"--no-prompt"}, "", 1, false, "--no-prompt asks nobody: volume 2" + missing},
        {"no prompt, streamed", {"--no-prompt", "--no-precheck"}, "", 1, true, "--no-prompt asks nobody: volume 2" + missing},
        {"end of input", {}, "", 1, true, "nobody answered the disk prompt (end of input): volume 2" + missing},
        {"operator cancels", {}, "c\n", 3, true, ""},
    };
    for (const Unanswered& c : cases) {
        SimServer sim(dir);
        const CliRun run = RunCli(dir, Flash(file, sim.Port(), c.args), c.input);
        EXPECT_EQ(run.code, c.code) << c.name << ": " << run.err;
        EXPECT_EQ(Contacted(sim), c.contacted) << c.name;
        EXPECT_EQ(run.status.substr(run.status.size() - std::string(kAborted).size()), kAborted) << c.name;
        // Whoever will be asked hears of the missing volume before the instrument is
        // contacted; past that, the operator's own Cancel is not repeated.
        const std::string notice = "zorflash-cli: volume 2 (" + (dir / "fw2.R71") +
                                   ") is not present yet: you will be asked for it after volume 1\n";
        const bool asked = c.args.empty();
        EXPECT_EQ(run.err.find(notice) == 0, asked) << c.name << ": " << run.err;
        if (c.reason.empty())  // volume 1's records went out: the one line left is the warning
            EXPECT_EQ(run.err.find("zorflash-cli:", asked ? notice.size() : 0),
                      run.err.find("zorflash-cli: next step: The instrument holds an incomplete update")) << run.err;
        else
            EXPECT_NE(run.err.find(c.reason), std::string::npos) << c.name << ": " << run.err;
    }
    // A file that is there but is volume 1 again: the prompt says so.
    std::filesystem::copy_file(file, dir / "fw2.R71");
    SimServer sim(dir);
    const CliRun run = RunCli(dir, Flash(file, sim.Port()));
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("looking for " + (dir / "fw2.R71") + ": wrong volume number: its header says "
                           "\"01\", not \"02\""),
              std::string::npos)
        << run.err;
}

struct Reason {
    const char* name;
    std::vector<std::string> simArgs;
    std::string reason;
};

TEST_F(Operator, EveryFailureSaysWhyOnStderr)
{
    const std::string file = Sample("MAIN", 150);
    const int closed = ClosedPort();
    const CliRun refused = RunCli(dir, Flash(file, closed));
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("cannot open target 127.0.0.1:" + std::to_string(closed) + ": Connection refused"),
              std::string::npos)
        << refused.err;

    const std::vector<Reason> cases = {
        {"wrong sync", {"--fault", "sync:wrong"},
         "setup-failure: after the sync byte 0x55 the instrument answered \"\\x00\" where 0xAA was expected"},
        {"short identification", {"--fault", "ident:short"},
         "no-identification: waiting for the reply to the identification MORVENAL: only \"MORV\" arrived, then "
         "nothing for 0.5 s"},
        {"block refused", {"--nak-at", "65"},
         "communication-error: after records 2..65 of section 1 the instrument answered \"N\" where 0x59 (Y) was "
         "expected"},
        {"silent", {"--fault", "record:65:silent"},
         "communication-error: waiting for the reply to records 2..65 of section 1: nothing arrived after 0.5 s"},
        {"dropped", {"--fault", "record:65:drop"},
         "communication-error: waiting for the reply to records 2..65 of section 1: the instrument closed the "
         "connection"},
    };
    for (const Reason& c : cases) {
        SimServer sim(dir, c.simArgs);
        const CliRun run = RunCli(dir, Flash(file, sim.Port(), {"--timeout", "500"}));
        EXPECT_EQ(run.code, 1) << c.name;
        EXPECT_NE(run.err.find("zorflash-cli: " + c.reason), std::string::npos) << c.name << ": " << run.err;
        EXPECT_EQ(run.out.find("zorflash-cli:"), std::string::npos) << "reasons belong on stderr";
    }
}

TEST_F(Operator, UsbSearchListsWhatEachInstrumentAnswered)
{
    const std::string file = Sample("MAIN", 10);
    SimServer sim(dir, {"--usb", "2", "--usb-numbers", "5,7"});
    const std::string key = "ZORFLASH_USB_DEVICES=";
    ASSERT_TRUE(sim.Proc().WaitFor(key, 5000));
    const std::string out = sim.Proc().Out();
    const size_t at = out.find(key) + key.size();
    const std::string devices = out.substr(at, out.find('\n', at) - at);
    const CliRun run = RunCli(dir, {"flash", "--model", "RT71", "--file", file, "--usb"}, "",
                              {{"ZORFLASH_USB_DEVICES", devices}});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("no USB instrument answered with device number 0; searched:"), std::string::npos) << run.err;
    for (const char* number : {"device number 5)", "device number 7)"})
        EXPECT_NE(run.err.find(number), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(devices.substr(0, devices.find(':')) + ": answered \""), std::string::npos) << run.err;
}

TEST_F(Operator, InspectNamesTheMissingVolumeAndTheNamingRule)
{
    CliRun run = RunCli(dir, {"inspect", "--model", "RT71", dir / "fw.R71"});
    EXPECT_EQ(run.code, 1);
    // The naming rule replaces the character before the extension: fw.R71 is looked for as f1.R71.
    EXPECT_NE(run.out.find("volume 1 not found: " + (dir / "f1.R71")), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("nsert Disk"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("the update opens volume 1 as " + (dir / "f1.R71") + ", not " +
                           (dir / "fw.R71")),
              std::string::npos)
        << run.out;
    Sample("MAIN", 5);
    run = RunCli(dir, {"inspect", "--model", "RT71", dir / "fw1.R71"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out.find("the update opens volume 1 as"), std::string::npos) << run.out;
}

// A script reads the exit code alone: --help (and the manual page made from it) must list
// exactly the codes the outcome table and the signals give, with the table's words.
TEST_F(Operator, HelpListsTheExitCodesOfTheOutcomeTable)
{
    const CliRun run = RunCli(dir, {"--help"});
    ASSERT_EQ(run.code, 0) << run.err;
    // The program's name, not the path it was started by (a build folder's, say).
    EXPECT_NE(run.out.find("\nUsage: zorflash-cli [OPTIONS] SUBCOMMAND\n"), std::string::npos) << run.out;
    EXPECT_NE(RunCli(dir, {"flash", "--help"}).out.find("\nUsage: zorflash-cli flash [OPTIONS]"), std::string::npos);
    std::istringstream help(run.out.substr(std::min(run.out.find("\nExit codes:\n"), run.out.size())));
    std::map<int, std::string> listed;
    for (std::string line; std::getline(help, line);) {
        std::istringstream fields(line);
        int code = -1;
        std::string meaning;
        if (fields >> code && std::getline(fields >> std::ws, meaning))
            listed[code] = meaning;
    }
    std::map<int, std::string> table;
    for (const zorflash::ExitCodeMeaning& exit : zorflash::COutcomeTable::ExitCodes())
        table[exit.code] = exit.meaning[0];
    EXPECT_EQ(listed, table);
    for (const zorflash::OutcomeRow& row : zorflash::COutcomeTable::Rows())
        EXPECT_TRUE(listed.count(row.exitCode)) << row.name << " ends with " << row.exitCode;
    using Reason = zorflash::CConsoleInterrupt::Reason;
    for (const Reason reason : {Reason::HangUp, Reason::Interrupt, Reason::Terminate})
        EXPECT_TRUE(listed.count(zorflash::COutcomeTable::InterruptionExitCode(reason)));
    EXPECT_EQ(listed.count(2), 1u) << "usage errors";

    // flash's examples use only options flash (or the program) has: a renamed option must not
    // leave one behind.
    const CliRun flash = RunCli(dir, {"flash", "--help"});
    std::istringstream lines(flash.out);
    int examples = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("    zorflash-cli flash ", 0) != 0)
            continue;
        ++examples;
        std::istringstream words(line);
        for (std::string word; words >> word;) {
            if (word.rfind("--", 0) == 0) {
                EXPECT_NE((flash.out + run.out).find("\n  " + word + " "), std::string::npos) << word << " in " << line;
            }
        }
    }
    EXPECT_EQ(examples, 3) << flash.out;
}

TEST_F(Operator, CommandLineMistakesSayWhatIsWrong)
{
    const std::string file = Sample("MAIN", 5, {"--bad-checksum", "2"});
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"flsh", "--model", "RT71"}, "unknown command 'flsh'; did you mean flash?"},
        {{"inspct", "--model", "RT71", file}, "did you mean inspect?"},
        {Flash(file, 8023, {"--timeout", "abc"}), "'abc' is not a number of milliseconds"},
        {{"flash", "--model", "RT71", "--file", file, "--tcp", "[::1]:8023"}, "IPv6 is not supported by the instruments"},
        {Flash(file, 8023, {"--trace", file}), "cannot write the trace file"},  // the firmware is never overwritten
    };
    for (const auto& [args, message] : cases) {
        const CliRun run = RunCli(dir, args);
        EXPECT_EQ(run.code, 2) << message;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    }
    // The language goes before or after the subcommand (the pre-check ends without a link,
    // and still finds the file as it was).
    for (bool before : {true, false}) {
        std::vector<std::string> args = Flash(file, ClosedPort());
        args.insert(before ? args.begin() : args.end(), {"--lang", "ja"});
        const CliRun run = RunCli(dir, args);
        EXPECT_EQ(run.code, 1);
        EXPECT_NE(run.out.find("ファイルをオープンしています。\n\nCheck Sumが不正です。\n"), std::string::npos) << before;
    }
}

// The status text a script rebuilds from the events, as the status box would show it.
void Apply(std::string& text, const nlohmann::json& event)
{
    const std::string op = event["op"];
    const std::string part = event["text"];
    if (op == "replace") {
        const size_t lineEnd = text.rfind("\r\n");
        text.erase(lineEnd == std::string::npos ? 0 : lineEnd + 2);
    } else if (op == "set") {
        text.clear();
    }
    text += part;
}

TEST_F(Operator, JsonIsOneEventPerLineAndNothingElse)
{
    const std::string file = Sample("SUB", 130);
    {
        SimServer sim(dir);
        const CliRun run = RunCli(dir, Flash(file, sim.Port(), {"--json"}));
        EXPECT_EQ(run.code, 0) << run.err;
        std::istringstream lines(run.out);
        std::vector<nlohmann::json> events;
        for (std::string line; std::getline(lines, line);)
            events.push_back(nlohmann::json::parse(line));  // anything that is not JSON throws here
        ASSERT_GE(events.size(), 3u);
        std::string status;
        for (const nlohmann::json& e : events) {
            EXPECT_EQ(e["schema"], 1);
            if (e["event"] == "status")
                Apply(status, e);
        }
        EXPECT_EQ(status, run.status);
        EXPECT_EQ(events.front()["event"], "check");
        const nlohmann::json& result = events.back();
        EXPECT_EQ(result["event"], "result");
        EXPECT_EQ(result["outcome"], "completed");
        EXPECT_EQ(result["exit"], 0);
        EXPECT_NE(sim.Summary().find("records=" + result["records"].dump() + " "), std::string::npos) << sim.Summary();
        EXPECT_EQ(events[events.size() - 2]["event"], "progress");
        EXPECT_EQ(events[events.size() - 2]["bytes"], events[events.size() - 2]["total"]);
    }
    {
        SimServer sim(dir, {"--nak-at", "65"});
        const CliRun run = RunCli(dir, Flash(file, sim.Port(), {"--json"}));
        EXPECT_EQ(run.code, 1);
        const nlohmann::json result = nlohmann::json::parse(run.out.substr(run.out.rfind('\n', run.out.size() - 2) + 1));
        EXPECT_EQ(result["outcome"], "communication-error");
        EXPECT_EQ(result["exit"], 1);
        EXPECT_NE(run.err.find(result["reason"].get<std::string>()), std::string::npos);  // the same words for people
    }
    // The other subcommands answer with one document each.
    const nlohmann::json models = nlohmann::json::parse(RunCli(dir, {"models", "--json"}).out);
    EXPECT_EQ(models["models"].size(), 7u);
    EXPECT_EQ(models["models"][0]["index"], 0);
    const CliRun inspected = RunCli(dir, {"--json", "inspect", "--model", "RT71", file});
    const nlohmann::json inspect = nlohmann::json::parse(inspected.out);
    EXPECT_EQ(inspect["kind"], "SUB");
    EXPECT_EQ(inspect["sections"].size(), 2u);
    EXPECT_EQ(inspect["complete"], true);
    const nlohmann::json probe =
        nlohmann::json::parse(RunCli(dir, {"probe", "--model", "RT71", "--json"}, "", {{"ZORFLASH_USB_DEVICES", dir / "none*"}}).out);
    EXPECT_EQ(probe["devices"].size(), 0u);
    EXPECT_EQ(probe["updatable"], false);
}

// What the trace says crossed the link: the bytes each way, in order, and the record
// counts of its block summaries.
struct TraceRead {
    std::string sent;
    std::string received;
    bool monotonic = true;
    uint64_t summarisedRecords = 0;
    int summaries = 0;
};

TraceRead ReadTrace(const std::string& path)
{
    TraceRead t;
    std::istringstream in(ReadText(path));
    std::string* into = nullptr;
    double last = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        if (line.size() > 16 && line[16] == '>' ) {
            const double at = std::stod(line.substr(0, 12));
            t.monotonic = t.monotonic && at >= last;
            last = at;
        }
        if (line.find("  >  ") == 12 || line.find("  <  ") == 12) {
            into = line[14] == '>' ? &t.sent : &t.received;
            if (line.find("summarised") != std::string::npos) {
                into = nullptr;  // only the first and last record are dumped
                ++t.summaries;
                const size_t records = line.find("records ");
                const size_t record = line.find(", record ");
                if (records != std::string::npos) {
                    const size_t open = line.find('(', records);
                    t.summarisedRecords += std::stoull(line.substr(open + 1));
                } else if (record != std::string::npos) {
                    t.summarisedRecords += 1;
                }
            }
            continue;
        }
        // A dump line: offset, sixteen hex columns, then the text between bars.
        const size_t bar = line.find('|');
        if (!into || line.compare(0, 14, std::string(14, ' ')) != 0 || bar == std::string::npos)
            continue;
        std::istringstream hex(line.substr(22, bar - 22));
        for (std::string byte; hex >> byte;)
            into->push_back(static_cast<char>(std::stoi(byte, nullptr, 16)));
    }
    return t;
}

std::string Field(const std::string& summary, const std::string& key)
{
    const size_t at = summary.find(key + "=");
    return summary.substr(at + key.size() + 1, summary.find(' ', at) - at - key.size() - 1);
}

TEST_F(Operator, TraceMatchesTheSimulatorsRecordOfTheExchange)
{
    const std::string file = Sample("SUB", 70, {"--record-len", "7"});
    for (bool all : {true, false}) {
        SimServer sim(dir);
        std::vector<std::string> args = Flash(file, sim.Port(), {"--trace", dir / "trace.txt", "--normal"});
        if (all)
            args.push_back("--trace-all");
        const CliRun run = RunCli(dir, args);
        ASSERT_EQ(run.code, 0) << run.err;
        const std::string summary = sim.Summary();
        const TraceRead t = ReadTrace(dir / "trace.txt");
        EXPECT_TRUE(t.monotonic);
        // The instrument's replies: 0xAA, the identification, the echo, then one 'Y' for the
        // header and one for each acknowledgement it counted.
        EXPECT_EQ(t.received, "\xaa" "MORVENAL\r\n" "8" + std::string(std::stoul(Field(summary, "acks")) + 1, 'Y'));
        if (all) {
            EXPECT_EQ(std::to_string(t.sent.size()), Field(summary, "bytes"));
            const std::string handshake = ":UP:EXEC\r\nUMORVENAL\r\n8";
            EXPECT_EQ(t.sent.substr(0, handshake.size()), handshake);
            EXPECT_EQ(t.sent.substr(handshake.size()), ReadText(dir / "images/update-0001.img"));
        } else {
            // Per section: START, record 1, records 2..65, the rest with END.
            EXPECT_EQ(t.summaries, 8);
            EXPECT_EQ(std::to_string(t.summarisedRecords), Field(summary, "records"));
        }
    }
}

}  // namespace

// A piped run, as a CI log keeps it: a progress line now and then while records go out,
// the summary of what was sent, and after a failure's reason one line with what to do,
// in the language of the run, warning of the incomplete update only when records went out.
TEST_F(Operator, PipedRunsLogTheirProgressAndEveryFailureItsNextStep)
{
    const std::string file = Sample("MAIN", 3000);
    {
        SimServer sim(dir);
        const CliRun run = RunCli(dir, Flash(file, sim.Port()));
        ASSERT_EQ(run.code, 0) << run.err;
        // stdout stays the status text; the log lines go to stderr.
        EXPECT_EQ(run.out.find("% "), std::string::npos) << run.out;
        std::istringstream lines(run.err);
        int last = -1;
        int progressLines = 0;
        for (std::string line; std::getline(lines, line);) {
            const size_t percent = line.find("% ");
            if (percent == std::string::npos || percent > 3 || line.find_first_not_of("0123456789") != percent)
                continue;
            const int value = std::stoi(line);
            EXPECT_GT(value, last) << run.out;
            EXPECT_LT(value, 100) << "100 % belongs to the status text's completion";
            last = value;
            ++progressLines;
        }
        EXPECT_GE(progressLines, 5) << run.err;
        EXPECT_LE(progressLines, 10) << run.err;
        EXPECT_NE(run.err.find("\nSent 757.7 KiB (3000 records) in "), std::string::npos) << run.err;
    }
    struct Failure {
        const char* lang;
        int port;  // 0: the simulator, which answers "N" after record 129
        std::string reason, next;
    };
    const std::vector<Failure> cases = {
        {"en", 0, "the instrument answered \"N\"",
         "zorflash-cli: next step: The instrument holds an incomplete update and must be updated again before use. "},
        {"ja", 0, "計器は \"N\" と応答しました", "zorflash-cli: 次の手順: 計器には不完全な更新が残っています。"},
        {"en", ClosedPort(), "Connection refused", "zorflash-cli: next step: Check the address and port"},
    };
    for (const Failure& c : cases) {
        SimServer sim(dir, {"--nak-at", "129"});
        std::vector<std::string> args = Flash(file, c.port ? c.port : sim.Port(), {"--lang", c.lang});
        const CliRun run = RunCli(dir, args);
        EXPECT_EQ(run.code, 1) << c.lang;
        const size_t reason = run.err.find(c.reason);
        ASSERT_NE(reason, std::string::npos) << run.err;
        EXPECT_EQ(run.err.find(c.next), run.err.find('\n', reason) + 1) << run.err;
        EXPECT_EQ(run.err.find("\n", run.err.find(c.next)) + 1, run.err.size()) << "one line, the last";
        // The summary of what went out, in the run's language, only when something did.
        const std::string sent = std::string(c.lang) == "ja" ? "レコード）を" : "Sent ";
        EXPECT_EQ(run.err.find(sent) != std::string::npos, c.port == 0) << run.err;
    }
}

// An operator who picked the wrong model hears which model the file is for, in a sentence,
// from inspect and from flash's pre-check alike.
TEST_F(Operator, AFileOfAnotherModelIsNamed)
{
    const std::string file = Sample("SUB", 20);
    const std::string sentence = "The file's first line is the SUB header line of RT71, not a header line of RT54";
    const CliRun inspected = RunCli(dir, {"inspect", "--model", "RT54", file});
    EXPECT_EQ(inspected.code, 1);
    EXPECT_NE(inspected.out.find("kind:     unknown (a SUB file of RT71)\n"), std::string::npos) << inspected.out;
    EXPECT_NE(inspected.out.find("where:    " + sentence), std::string::npos) << inspected.out;
    const nlohmann::json json = nlohmann::json::parse(RunCli(dir, {"--json", "inspect", "--model", "RT54", file}).out);
    EXPECT_EQ(json["fileOf"], nlohmann::json({{"model", "RT71"}, {"kind", "SUB"}}));
    const CliRun refused = RunCli(dir, {"flash", "--model", "RT54", "--file", file, "--tcp", "127.0.0.1:1"});
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("Invalid ROM Type. " + sentence + "; the instrument was not contacted"),
              std::string::npos) << refused.err;
}

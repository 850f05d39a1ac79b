// zorflash-cli under --lang ja, across the paths an operator meets: every line written for
// people reads in Japanese, while the JSON that scripts match keeps its English reason.

#include "SimulatorFixture.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

using namespace testsupport;

namespace {

// A line left in English where a Japanese text exists: all of it ASCII, and an English
// word still standing once everything that reads the same in both languages is taken
// out. What stays as typed or as sent: the program's name, a target ("127.0.0.1:8023: "
// or "[127.0.0.1:8023] "), machine words a script also reads (`communication-error:`,
// option names), quoted texts, paths, numbers with their units (KiB, MiB/s), the
// protocol's upper-case words and model names. Returns the offending line, or "".
std::string EnglishLine(const std::string& output)
{
    static const std::regex kept(
        R"(zorflash-cli|\[[^\]]*\]|"[^"]*"|'[^']*'|--?[a-z][a-z-]*|[^ ]*[/\\][^ ]*|[^ ]*[0-9][^ ]*|)"
        R"(\b[A-Z][A-Z0-9]+\b|\b(KiB|MiB|vol)\b|\b[a-z]+(-[a-z]+)+:)");
    static const std::regex word("[A-Za-z]{2,}");
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const bool ascii = std::all_of(line.begin(), line.end(), [](char c) { return (c & 0x80) == 0; });
        if (ascii && std::regex_search(std::regex_replace(line, kept, " "), word))
            return line;
    }
    return "";
}

class InJapanese : public ::testing::Test {
protected:
    std::string Sample(const std::string& name, std::vector<std::string> extra = {})
    {
        std::vector<std::string> args = {"--model", "RT71", "--kind", "MAIN", "--records", "300"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(dir / name);
        EXPECT_TRUE(MakeSample(args));
        return dir / name;
    }
    static std::vector<std::string> Flash(const std::string& file, std::vector<std::string> targets,
                                          std::vector<std::string> extra = {})
    {
        std::vector<std::string> args = {"--lang", "ja", "flash", "--model", "RT71", "--file", file};
        for (const std::string& target : targets)
            args.insert(args.end(), {"--tcp", target});
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    static std::string At(int port) { return "127.0.0.1:" + std::to_string(port); }
    TempDir dir;
};

}  // namespace

TEST(LanguageRule, TellsEnglishSentencesFromWhatStaysAsTyped)
{
    EXPECT_EQ(EnglishLine("zorflash-cli: cannot open target 127.0.0.1:1: Connection refused\n"),
              "zorflash-cli: cannot open target 127.0.0.1:1: Connection refused");
    EXPECT_EQ(EnglishLine("model:    RT71\n"), "model:    RT71");
    EXPECT_EQ(EnglishLine("22% 16.7 KiB/73.9 KiB, 14.4 MiB/s, 00:00 left\n"), "22% 16.7 KiB/73.9 KiB, 14.4 MiB/s, 00:00 left");
    EXPECT_EQ(EnglishLine("ターゲット 127.0.0.1:1 をオープンできません: Connection refused\n"), "");
    EXPECT_EQ(EnglishLine("  ボリューム 1: fw1.R71\nRT71 MAIN /dev/ttyACM0 \"MORVENAL\\r\\n\" 0x59\n"), "");
    EXPECT_EQ(EnglishLine("zorflash-cli: --tcp: '300.1.1.1'\n[127.0.0.1:8023] 73.9 KiB\n"), "");
}

TEST_F(InJapanese, EveryLineForPeopleFollowsTheLanguage)
{
    const std::string good = Sample("fw1.R71");
    const std::string bad = Sample("bad1.R71", {"--bad-checksum", "99"});
    const std::string two = Sample("two1.R71", {"--volumes", "2"});
    std::filesystem::remove(dir / "two2.R71");

    struct Case {
        const char* name;
        std::vector<std::string> args;
        int code;
        std::map<std::string, std::string> env = {};
    };
    SimServer sim(dir, {"--nak-at", "129"});
    SimServer clean(dir);
    const std::vector<Case> cases = {
        {"good update", Flash(good, {At(clean.Port())}), 0},
        {"refused connection", Flash(good, {At(ClosedPort())}), 1},
        {"a NAK", Flash(good, {At(sim.Port())}), 1},
        {"a fleet, one refused", Flash(good, {At(clean.Port()), At(ClosedPort())}), 1},
        {"a missing volume, --no-prompt", Flash(two, {At(clean.Port())}, {"--no-prompt"}), 1},
        {"a missing volume, nobody answers", Flash(two, {At(clean.Port())}), 1},
        {"a missing volume, no pre-check", Flash(two, {At(clean.Port())}, {"--no-precheck"}), 1},
        {"inspect, good", {"--lang", "ja", "inspect", "--model", "RT71", good}, 0},
        {"inspect, bad checksum", {"--lang", "ja", "inspect", "--model", "RT71", bad}, 1},
        {"inspect, another model", {"--lang", "ja", "inspect", "--model", "RT54", good}, 1},
        {"inspect, missing volume", {"--lang", "ja", "inspect", "--model", "RT71", two}, 1},
        {"probe, nothing found", {"--lang", "ja", "probe", "--model", "RT71"}, 1,
         {{"ZORFLASH_USB_DEVICES", dir / "nothing-here"}}},
        {"usage, unknown model", {"--lang", "ja", "flash", "--model", "RT99", "--file", good, "--tcp", At(1)}, 2},
        {"usage, no link", {"--lang", "ja", "flash", "--model", "RT71", "--file", good}, 2},
        {"usage, transport", {"--lang", "ja", "flash", "--model", "RT23", "--file", good, "--tcp", At(1)}, 2},
        {"usage, time-out", Flash(good, {At(1)}, {"--timeout", "x"}), 2},
        {"usage, address", Flash(good, {"300.1.1.1"}), 2},
        {"usage, range", Flash(good, {"127.0.0.9-127.0.0.1"}), 2},
        {"usage, unknown command", {"--lang", "ja", "flassh"}, 2},
    };
    for (const Case& c : cases) {
        const CliRun run = RunCli(dir, c.args, "", c.env);
        EXPECT_EQ(run.code, c.code) << c.name << "\n" << run.out << run.err;
        EXPECT_EQ(EnglishLine(run.out), "") << c.name << " (stdout)";
        EXPECT_EQ(EnglishLine(run.err), "") << c.name << " (stderr)";
        EXPECT_NE(run.out.size() + run.err.size(), 0u) << c.name;
    }
}

// Scripts match the reason in English whatever the operator reads; the words on stderr
// are the same reason in the run's language.
TEST_F(InJapanese, TheJsonReasonStaysEnglish)
{
    const std::string good = Sample("fw1.R71");
    SimServer sim(dir, {"--nak-at", "129"});
    for (const std::vector<std::string>& targets :
         {std::vector<std::string>{At(sim.Port())}, std::vector<std::string>{At(sim.Port()), At(ClosedPort())}}) {
        const CliRun english = RunCli(dir, {"flash", "--model", "RT71", "--file", good, "--tcp", targets[0]});
        const CliRun run = RunCli(dir, Flash(good, targets, {"--json"}));
        EXPECT_EQ(run.code, 1);
        std::istringstream events(run.out);
        int results = 0;
        for (std::string line; std::getline(events, line);) {
            const nlohmann::json event = nlohmann::json::parse(line);
            if (event["event"] != "result")
                continue;
            ++results;
            const std::string reason = event["reason"];
            EXPECT_EQ(EnglishLine(reason), reason) << "English, as for a run without --lang";
            if (event.value("target", targets[0]) == targets[0]) {
                EXPECT_NE(english.err.find(reason), std::string::npos) << reason << "\n" << english.err;
            }
        }
        EXPECT_EQ(results, static_cast<int>(targets.size())) << run.out;
        EXPECT_NE(run.err.find("の後、計器は \"N\" と応答しました"), std::string::npos) << run.err;
    }
}

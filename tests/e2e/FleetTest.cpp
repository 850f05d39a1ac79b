#include "SimulatorFixture.h"

#include <map>
#include <regex>

using namespace testsupport;

namespace {

// The simulator's summary lines by instrument index, once it has ended.
std::map<int, std::string> SummariesByInstrument(SimServer& sim, int timeoutMs)
{
    std::map<int, std::string> byInstrument;
    const std::regex instrument(" instrument=([0-9]+) ");
    for (const std::string& line : sim.Summaries(timeoutMs)) {
        std::smatch match;
        if (std::regex_search(line, match, instrument))
            byInstrument[std::stoi(match[1])] = line;
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

} // namespace

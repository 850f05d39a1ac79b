// Every reply point of a small two-section update, with the instrument (the simulator)
// dropping the link, answering a wrong byte or staying silent there. Each case runs the
// real zorflash-cli and checks the status text it ends with, its exit code, that the link
// was closed, and that it ended within its time-out plus a second.

#include "SimulatorFixture.h"
#include "StatusTexts.h"

#include <cctype>

using namespace testsupport;

namespace {

constexpr int kTimeoutMs = 400;  // the CLI's --timeout for every case

struct FaultCase {
    std::string fault;     // --fault of the simulator
    std::string ending;    // the status text ends with this
    const char* linkEnd;   // the simulator's view of how the link ended
};

std::ostream& operator<<(std::ostream& out, const FaultCase& c)
{
    return out << c.fault;
}

class FaultMatrix : public ::testing::TestWithParam<FaultCase> {
protected:
    // A SUB file of two sections of a START record and one more: every record of it is
    // followed by a reply point.
    void SetUp() override
    {
        ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "SUB", "--records", "2", dir / "fw1.R71"}));
    }

    TempDir dir;
};

TEST_P(FaultMatrix, EndsWithTheRightMessageTheLinkClosedAndInTime)
{
    const FaultCase& c = GetParam();
    SimServer sim(dir, {"--fault", c.fault}, 1);
    ASSERT_NE(sim.Port(), 0) << sim.Output();

    const CliRun run = RunCli(dir, {"flash", "--model", "RT71", "--file", dir / "fw1.R71", "--tcp",
                                    "127.0.0.1:" + std::to_string(sim.Port()), "--timeout",
                                    std::to_string(kTimeoutMs), "--quiet", "--lang", "en"},
                              "", {}, 20000);
    ASSERT_NE(run.code, -1) << "zorflash-cli still running after 20 s";
    // Each wait of the run is bounded by the time-out; one fault costs at most one wait.
    EXPECT_LE(run.seconds * 1000, kTimeoutMs + 1000) << "took " << run.seconds << " s";

    EXPECT_EQ(run.code, 1) << run.err;
    const std::string& status = run.status;
    ASSERT_GE(status.size(), c.ending.size()) << status;
    EXPECT_EQ(status.substr(status.size() - c.ending.size()), c.ending) << status;
    EXPECT_EQ(status.find("Transfer completed"), std::string::npos) << status;

    const std::vector<std::string> summaries = sim.Summaries(5000);
    ASSERT_EQ(summaries.size(), 1u) << sim.Output();
    EXPECT_NE(summaries[0].find(std::string("link=") + c.linkEnd), std::string::npos) << summaries[0];
    EXPECT_NE(summaries[0].find("verdict=FAULT"), std::string::npos) << summaries[0];
}

// Reply points in order: sync, identification, header size, header, then START and
// record 1 of each section.
const char* const kPoints[] = {"sync", "ident", "header-size", "header", "s1:record:0",
                               "s1:record:1", "s2:record:0", "s2:record:1"};

std::vector<FaultCase> AllCases()
{
    std::vector<FaultCase> cases;
    const std::string wrongEnding[] = {kSetupFailure, kNoIdent, kHeaderSize, kHeaderError,
                                       kCommError, kCommError, kCommError, kCommError};
    // A cut link or silence at the identification is still "no identification".
    const std::string missingEnding[] = {kCommError, kNoIdent, kCommError, kCommError,
                                         kCommError, kCommError, kCommError, kCommError};
    for (size_t i = 0; i < std::size(kPoints); ++i) {
        const std::string point = kPoints[i];
        cases.push_back({point + ":drop", missingEnding[i], "dropped-by-sim"});
        cases.push_back({point + ":wrong", wrongEnding[i], "closed-by-host"});
        cases.push_back({point + ":silent", missingEnding[i], "closed-by-host"});
    }
    // Half an identification, then nothing.
    cases.push_back({"ident:short", kNoIdent, "closed-by-host"});
    return cases;
}

std::string CaseName(const ::testing::TestParamInfo<FaultCase>& info)
{
    std::string name = info.param.fault;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(EveryReplyPoint, FaultMatrix, ::testing::ValuesIn(AllCases()), CaseName);

}  // namespace

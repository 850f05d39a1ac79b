// Many updates in one process: the fleet command run round after round against eight
// simulated instruments, a random third of the updates with a random fault (wrong reply,
// no reply, dropped or reset link, NAK, slow acknowledgements). Every outcome must match
// the simulator's verdict for that update, no status text may claim a completion the
// simulator did not see, and the process must hold no more descriptors, threads or memory
// after the last round than after the first.
//
// ZORFLASH_SOAK_ROUNDS sets the rounds (8 updates each): ctest runs a few, `make soak`
// runs 125 (1,000 updates) and prints the figures docs/RELIABILITY.md records.

#include "SimulatorFixture.h"

#include "cli/commands/FlashCommand.h"
#include "cli/run/TargetFiles.h"
#include "platform/OutputQueue.h"
#include "update/UpdateSettings.h"

#include <nlohmann/json.hpp>

#include <arpa/inet.h>

#include <cstddef>

using namespace testsupport;
using namespace zorflash;

namespace {

constexpr int kInstruments = 8;
constexpr long kMemoryAllowanceKiB = 8 * 1024;  // allocator arenas settle over the first rounds

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// A sanitizer keeps freed blocks in quarantine (ASan: up to 256 MiB) and maps shadow for
// them, so the resident set grows with the work done whether or not anything leaks. Its
// allocator's count of live bytes is the measure there, and a sharper one.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
constexpr const char* kMemoryName = "KiB of heap in use";
long MemoryKiB()
{
    return static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024);
}
#else
constexpr const char* kMemoryName = "KiB resident";
long MemoryKiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}
#endif

struct Usage {
    int descriptors = 0;
    int threads = 0;
    long memoryKiB = 0;
};

Usage Measure()
{
    Usage usage;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++usage.descriptors;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Threads:", 0) == 0)
            usage.threads = std::stoi(line.substr(8));
    }
    usage.memoryKiB = MemoryKiB();
    return usage;
}

// Runs `run` with stdout and stderr going to files, as a script would collect them.
template <typename Run>
int WithOutputTo(const std::string& out, const std::string& err, Run run)
{
    int saved[2] = {};
    for (const int fd : {1, 2}) {
        std::fflush(fd == 1 ? stdout : stderr);
        saved[fd - 1] = ::dup(fd);
        const int file = ::open((fd == 1 ? out : err).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ::dup2(file, fd);
        ::close(file);
    }
    const int code = run();
    for (const int fd : {1, 2}) {
        std::fflush(fd == 1 ? stdout : stderr);
        ::dup2(saved[fd - 1], fd);
        ::close(saved[fd - 1]);
    }
    return code;
}

// The simulator's verdict lines by the instrument's address, for updates first..last.
std::map<std::string, std::string> Verdicts(SimServer& sim, int first, int last)
{
    std::map<std::string, std::string> byAddress;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    for (;;) {
        byAddress.clear();
        std::istringstream out(sim.Proc().Out());
        for (std::string line; std::getline(out, line);) {
            int number = 0;
            if (std::sscanf(line.c_str(), "update %d:", &number) != 1 || number < first || number > last)
                continue;
            const size_t tcp = line.find(" tcp=");
            if (tcp != std::string::npos)
                byAddress[line.substr(tcp + 5, line.find(':', tcp + 5) - tcp - 5)] = line;
        }
        if (static_cast<int>(byAddress.size()) == last - first + 1 || std::chrono::steady_clock::now() > deadline)
            return byAddress;
        usleep(20000);
    }
}

TEST(Soak, RoundsOfFleetUpdatesLeaveNothingBehindAndNeverClaimAnUnverifiedImage)
{
    const char* roundsText = std::getenv("ZORFLASH_SOAK_ROUNDS");
    const int rounds = roundsText ? std::max(2, std::atoi(roundsText)) : 4;
    TempDir dir;
    ASSERT_TRUE(MakeSample({"--model", "RT71", "--kind", "MAIN", "--records", "200", "--record-len", "12",
                            dir / "fw1.R71"}));
    SimServer sim(dir, {"--random-faults", "0.3333", "--seed", "2026", "--idle-timeout-ms", "5000"}, 0,
                  "127.0.0.1-127.0.0.8:0");
    ASSERT_NE(sim.Port(), 0) << sim.Output();

    FlashOptions options;
    ApplyNewDocumentDefaults(options.settings);
    ApplyModelSelection(options.settings, 0);
    options.settings.filePath = dir / "fw1.R71";
    options.settings.fastMode = 1;
    options.json = true;
    options.timeoutMs = 1000;  // a silent instrument costs a second, not ten
    for (int i = 1; i <= kInstruments; ++i) {
        FleetTarget target;
        target.address = 0x7F000000u + static_cast<uint32_t>(i);  // 127.0.0.i, never another network
        target.port = sim.Port();
        options.targets.push_back(target);
    }

    const auto start = std::chrono::steady_clock::now();
    Usage afterFirst;
    int faulted = 0;
    int completed = 0;
    for (int round = 1; round <= rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string json = dir / "round.json";
        options.statusFile = dir / ("status-" + std::to_string(round) + "-{target}.txt");
        WithOutputTo(json, dir / "round.err", [&] {
            COutputQueue output;  // as zorflash-cli's main: everything written before the streams go back
            const int code = RunFlash(options, output);
            output.Flush(std::chrono::seconds(10));
            return code;
        });

        const std::map<std::string, std::string> verdicts =
            Verdicts(sim, (round - 1) * kInstruments + 1, round * kInstruments);
        ASSERT_EQ(verdicts.size(), static_cast<size_t>(kInstruments)) << sim.Output();
        int results = 0;
        std::istringstream events(ReadText(json));
        for (std::string line; std::getline(events, line);) {
            const nlohmann::json event = nlohmann::json::parse(line);
            if (event["event"] != "result")
                continue;
            ++results;
            const std::string name = event["target"];
            FleetTarget target;
            for (const FleetTarget& t : options.targets)
                target = t.Name() == name ? t : target;
            const std::string address = name.substr(0, name.find(':'));
            ASSERT_EQ(verdicts.count(address), 1u) << name;
            const std::string& verdict = verdicts.at(address);
            const bool verified = verdict.find(" verdict=OK") != std::string::npos;
            EXPECT_EQ(verdict.find(" verdict=ERROR"), std::string::npos) << verdict;
            EXPECT_EQ(event["outcome"] == "completed", verified) << line << "\n" << verdict;
            const std::string status = ReadText(FileForTarget(options.statusFile, target));
            EXPECT_TRUE(verified || status.find("Transfer completed.") == std::string::npos)
                << "completion claimed for an image the simulator did not verify: " << verdict;
            faulted += verdict.find("random-fault=") != std::string::npos ? 1 : 0;
            completed += verified ? 1 : 0;
        }
        EXPECT_EQ(results, kInstruments);
        if (round == 1)
            afterFirst = Measure();
        if (HasFatalFailure())
            return;
    }
    const Usage atEnd = Measure();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("soak: %d rounds, %d updates, %d with a random fault, %d completed, %.1f s; after round 1: "
                "%d descriptors, %d threads, %ld %s; after round %d: %d descriptors, %d threads, %ld %s\n",
                rounds, rounds * kInstruments, faulted, completed, seconds, afterFirst.descriptors,
                afterFirst.threads, afterFirst.memoryKiB, kMemoryName, rounds, atEnd.descriptors, atEnd.threads,
                atEnd.memoryKiB, kMemoryName);
    EXPECT_EQ(atEnd.descriptors, afterFirst.descriptors);
    EXPECT_EQ(atEnd.threads, afterFirst.threads);
    EXPECT_LE(atEnd.memoryKiB, afterFirst.memoryKiB + kMemoryAllowanceKiB);
}

}  // namespace

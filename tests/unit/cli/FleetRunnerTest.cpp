#include "cli/run/FleetRunner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <set>

using namespace zorflash;

namespace {

// How many targets ran at once, and on how many threads, for each bound.
struct ParallelCase {
    std::size_t targets;
    std::size_t parallel;
    int mostAtOnce;
};

class FleetRunnerTest : public ::testing::TestWithParam<ParallelCase> {};

TEST_P(FleetRunnerTest, NeverRunsMoreThanTheBoundAndRunsEveryTargetOnce)
{
    const ParallelCase& c = GetParam();
    std::mutex mutex;
    int running = 0;
    int most = 0;
    std::vector<int> runs(c.targets, 0);
    std::set<std::thread::id> threads;
    CFleetRunner runner(c.targets, c.parallel);
    runner.Start([&](std::size_t index) {
        {
            std::lock_guard lock(mutex);
            most = std::max(most, ++running);
            ++runs[index];
            threads.insert(std::this_thread::get_id());
        }
        // Long enough for every lane to have started its target, even on a loaded machine.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::lock_guard lock(mutex);
        --running;
    });
    runner.Join();
    EXPECT_TRUE(runner.Done());
    EXPECT_EQ(most, c.mostAtOnce);
    EXPECT_EQ(static_cast<int>(threads.size()), c.mostAtOnce);
    EXPECT_EQ(runs, std::vector<int>(c.targets, 1));
    for (std::size_t i = 0; i < c.targets; ++i)
        EXPECT_EQ(runner.StateOf(i), CFleetRunner::State::Finished);
}

INSTANTIATE_TEST_SUITE_P(Cases, FleetRunnerTest,
                         ::testing::Values(ParallelCase{16, 0, 16}, ParallelCase{16, 4, 4},
                                           ParallelCase{3, 8, 3}, ParallelCase{5, 1, 1}));

TEST(FleetRunnerStopTest, TargetsNotYetStartedNeverStartOnceStopped)
{
    CFleetRunner runner(6, 2);
    std::atomic<int> started{0};
    runner.Start([&](std::size_t) {
        if (started.fetch_add(1) == 0)
            runner.StopStarting();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    });
    runner.Join();
    EXPECT_TRUE(runner.Done());
    EXPECT_LE(started.load(), 2);
    int notStarted = 0;
    for (std::size_t i = 0; i < 6; ++i)
        notStarted += runner.StateOf(i) == CFleetRunner::State::NotStarted ? 1 : 0;
    EXPECT_EQ(notStarted, 6 - started.load());
}

} // namespace

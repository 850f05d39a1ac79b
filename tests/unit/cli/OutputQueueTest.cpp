#include "cli/output/JsonEvents.h"
#include "platform/OutputQueue.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <future>
#include <map>
#include <sstream>

using namespace zorflash;

namespace {

// Two targets' updates told as JSON events into a pipe that nobody reads while they run,
// as a script that stopped reading would: no event waits for the pipe, superseded status
// lines and progress fold once the queue is full, and what the reader finally gets still
// rebuilds each status text byte for byte, with every append and result kept.
TEST(OutputQueueTest, AStalledReaderNeverHoldsTheWriterAndTheEventsStillRebuildTheText)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::FILE* out = fdopen(fds[1], "w");
    ASSERT_NE(out, nullptr);
    const int blocks = 3000;
    std::string read;
    {
        COutputQueue output;
        CJsonEvents stream(output, out);
        std::vector<std::unique_ptr<CJsonEvents>> targets;
        for (const char* name : {"127.0.0.1:8023", "127.0.0.2:8023"})
            targets.push_back(std::make_unique<CJsonEvents>(stream, name));
        auto told = std::async(std::launch::async, [&] {
            for (auto& events : targets) {
                events->Status("append", "Opening File...\r\nSending START record...\r\n");
                events->Prompt("Insert Disk 2", 2, "f2.R71", "missing");
                events->Answer("ok");
            }
            for (int i = 1; i <= blocks; ++i)
                for (auto& events : targets) {
                    events->Status("replace", "Sending (" + std::to_string(i) + ") Record");
                    UpdateProgress progress;
                    progress.bytes = static_cast<uint64_t>(i) * 100;
                    progress.total = blocks * 100;
                    events->Progress(progress);
                    if (i % 1000 == 0)
                        events->Status("append", "Sending START record...\r\n");
                }
            for (auto& events : targets) {
                events->Status("append", "\r\nTransfer completed.\r\n");
                events->Emit("result", {{"outcome", "completed"}});
            }
            stream.Emit("summary", {{"exit", 0}});
        });
        ASSERT_EQ(told.wait_for(std::chrono::seconds(20)), std::future_status::ready)
            << "an event waited for the pipe";
        EXPECT_GT(output.Folded(), 0u);

        auto reader = std::async(std::launch::async, [&] {
            char block[65536];
            for (ssize_t n; (n = ::read(fds[0], block, sizeof block)) > 0;)
                read.append(block, static_cast<size_t>(n));
        });
        EXPECT_TRUE(output.Flush(std::chrono::seconds(20)));
        std::fclose(out);  // the writer is done with it: the reader meets the end
        reader.wait();
    }
    close(fds[0]);

    const std::string text = "Opening File...\r\nSending START record...\r\nSending (1000) RecordSending START record...\r\n"
           "Sending (2000) RecordSending START record...\r\nSending (3000) RecordSending START record...\r\n"
           "\r\nTransfer completed.\r\n";

    std::map<std::string, std::string> rebuilt;
    std::map<std::string, int> counts;
    std::istringstream lines(read);
    std::string last;
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json e = nlohmann::json::parse(line, nullptr, false);
        ASSERT_FALSE(e.is_discarded()) << line;
        last = e["event"];
        ++counts[last];
        if (last != "status")
            continue;
        std::string& status = rebuilt[e["target"]];
        if (e["op"] == "replace")
            status.erase(status.rfind("\r\n") == std::string::npos ? 0 : status.rfind("\r\n") + 2);
        status += e["text"].get<std::string>();
    }
    EXPECT_EQ(last, "summary");
    EXPECT_EQ(counts["result"], 2);
    EXPECT_EQ(counts["prompt"], 2);
    EXPECT_EQ(counts["answer"], 2);
    EXPECT_LT(counts["progress"], 2 * blocks);
    ASSERT_EQ(rebuilt.size(), 2u);
    for (const auto& [target, status] : rebuilt)
        EXPECT_EQ(status, text) << target;
}

}  // namespace

#include "platform/AbortSignal.h"
#include "platform/LastError.h"
#include "usb/UsbCandidates.h"
#include "usb/Vavuziz.h"

#include "PtyBench.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::string AllByteValues()
{
    std::string bytes;
    for (int value = 0; value < 256; ++value)
        bytes.push_back(static_cast<char>(value));
    return bytes;
}

// Our layer must put the port in raw mode itself: the instrument's terminal is left in
// the system's cooked mode, where CR, ^C, ^D, ^S, DEL and the rest would be eaten,
// translated or echoed.
TEST(UsbDevice, CarriesEveryByteValueUnchangedFromACookedTerminal)
{
    CPtyBench bench({""});
    bench.UseAsDevices();
    const int handle = VavUZIz_OpenDevice();
    ASSERT_NE(handle, -1) << GetLastError();
    const std::string bytes = AllByteValues();

    uint32_t written = 0;
    ASSERT_NE(VavUZIz_WriteDevice(handle, reinterpret_cast<const uint8_t*>(bytes.data()), 256, &written, 2000), 0);
    EXPECT_EQ(written, 256u);
    EXPECT_EQ(bench.AwaitReceived(0, 256), bytes);

    ASSERT_EQ(write(bench.Master(0), bytes.data(), bytes.size()), 256);
    std::string got;
    while (got.size() < 256) {
        uint8_t block[300];
        uint32_t read = 0;
        ASSERT_NE(VavUZIz_ReadDevice(handle, block, sizeof block, &read, 2000), 0) << GetLastError();
        ASSERT_GT(read, 0u);
        got.append(reinterpret_cast<char*>(block), read);
    }
    EXPECT_EQ(got, bytes);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(bench.Received(0).size(), 256u);  // nothing echoed back to the instrument
    EXPECT_NE(VavUZIz_CloseDevice(handle), 0);
}

TEST(UsbDevice, WalksTheCandidatesInOrderAndStartsOverWhenAllAreClosed)
{
    CPtyBench bench({"", ""});
    const auto dir = std::filesystem::temp_directory_path() / ("zorflash-usb-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::create_symlink(bench.SlavePath(0), dir / "b-port");
    std::filesystem::create_symlink(bench.SlavePath(1), dir / "a-port");
    // A missing path, a glob (matches sorted), and a second name of a port already listed.
    const std::string list = "/dev/zorflash-no-such-port::" + (dir / "*-port").string() + ":" + bench.SlavePath(0);
    setenv("ZORFLASH_USB_DEVICES", list.c_str(), 1);

    for (int walk = 0; walk < 2; ++walk) {
        const int first = VavUZIz_OpenDevice();
        const int second = VavUZIz_OpenDevice();
        ASSERT_NE(first, -1);
        ASSERT_NE(second, -1);
        EXPECT_EQ(std::string(VavUZIz_DevicePath(first)), (dir / "a-port").string());
        EXPECT_EQ(std::string(VavUZIz_DevicePath(second)), (dir / "b-port").string());
        EXPECT_EQ(VavUZIz_OpenDevice(), -1);  // the last item is b-port again
        EXPECT_NE(VavUZIz_CloseDevice(first), 0);
        EXPECT_NE(VavUZIz_CloseDevice(second), 0);
        EXPECT_EQ(VavUZIz_DevicePath(first), nullptr);
        EXPECT_EQ(bench.OpenCount(0) + bench.OpenCount(1), 0);
    }
    std::filesystem::remove_all(dir);
}

TEST(UsbDevice, CandidateListExpandsGlobsSortedAndKeepsTheOrderGiven)
{
    const auto dir = std::filesystem::temp_directory_path() / ("zorflash-list-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    for (const char* name : {"ttyACM2", "ttyACM10", "ttyACM1", "usbtmc0"})
        std::ofstream(dir / name).put('x');
    const std::string d = dir.string();
    const std::vector<std::string> expanded =
        ExpandUsbCandidates((d + "/usbtmc*::" + d + "/ttyACM*:/dev/none:" + d + "/nothing*").c_str());
    const std::vector<std::string> expected = {d + "/usbtmc0", d + "/ttyACM1", d + "/ttyACM10", d + "/ttyACM2",
                                               "/dev/none"};
    EXPECT_EQ(expanded, expected);
    EXPECT_TRUE(ExpandUsbCandidates("").empty());
    EXPECT_STREQ(kDefaultUsbDevices, "/dev/ttyACM*:/dev/usbtmc*");

    setenv("ZORFLASH_USB_DEVICES", "", 1);  // set but empty: no instrument at all
    EXPECT_TRUE(UsbCandidatePaths().empty());
    EXPECT_EQ(VavUZIz_OpenDevice(), -1);
    std::filesystem::remove_all(dir);
}

TEST(UsbDevice, ReadsTimeOutAndEveryWaitEndsOnAbort)
{
    CPtyBench bench({""});
    bench.UseAsDevices();
    const int handle = VavUZIz_OpenDevice();
    ASSERT_NE(handle, -1);
    uint8_t block[8];
    uint32_t read = 99;
    auto start = Clock::now();
    EXPECT_EQ(VavUZIz_ReadDevice(handle, block, sizeof block, &read, 150), 0);
    EXPECT_EQ(GetLastError(), kErrorTimeout);
    EXPECT_GE(MsSince(start), 150);
    EXPECT_EQ(read, 0u);

    CAbortSignal abort;
    ASSERT_NE(VavUZIz_SetAbortFd(handle, abort.Fd()), 0);
    std::thread ctrlC([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        abort.Trigger();
    });
    start = Clock::now();
    EXPECT_EQ(VavUZIz_ReadDevice(handle, block, sizeof block, &read, 10000), 0);
    EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ECANCELED));
    EXPECT_LT(MsSince(start), 200);
    ctrlC.join();
    uint32_t written = 0;
    EXPECT_EQ(VavUZIz_WriteDevice(handle, block, 1, &written, 10000), 0);
    EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ECANCELED));
    EXPECT_NE(VavUZIz_CloseDevice(handle), 0);

    // A closed handle is refused, not reused.
    EXPECT_EQ(VavUZIz_ReadDevice(handle, block, sizeof block, &read, 10), 0);
    EXPECT_EQ(GetLastError(), static_cast<uint32_t>(EBADF));
    EXPECT_EQ(VavUZIz_CloseDevice(handle), 0);
}

// Jobs on several threads search at once: no port may ever be handed to two of them.
TEST(UsbDevice, ThreadsNeverHoldTheSamePortAtOnce)
{
    CPtyBench bench({"", "", ""});
    bench.UseAsDevices();
    std::mutex lock;
    std::set<std::string> held;
    std::atomic<int> clashes{0};
    std::atomic<int> opens{0};
    auto job = [&] {
        for (int round = 0; round < 200; ++round) {
            const int handle = VavUZIz_OpenDevice();
            if (handle == -1)
                continue;
            ++opens;
            const std::string path = VavUZIz_DevicePath(handle);
            {
                std::lock_guard<std::mutex> guard(lock);
                if (!held.insert(path).second)
                    ++clashes;
            }
            std::this_thread::yield();
            {
                std::lock_guard<std::mutex> guard(lock);
                held.erase(path);
            }
            VavUZIz_CloseDevice(handle);
        }
    };
    std::thread a(job), b(job), c(job), d(job);
    a.join();
    b.join();
    c.join();
    d.join();
    EXPECT_EQ(clashes.load(), 0);
    EXPECT_GT(opens.load(), 0);
    for (size_t i = 0; i < bench.Size(); ++i)
        EXPECT_EQ(bench.OpenCount(i), 0);
}

}  // namespace

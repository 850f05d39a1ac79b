#include "link/DeviceLink.h"
#include "link/UsbChannel.h"
#include "platform/AbortSignal.h"
#include "platform/LastError.h"
#include "usb/UsbCandidates.h"
#include "usb/Vavuziz.h"

#include "LinkBench.h"

#include <gtest/gtest.h>

#include <termios.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

using namespace zorflash;

namespace {

using namespace std::chrono_literals;

constexpr const char* kQuery = ":IF:ID?";
const std::string kQueryOf61 = std::string(60, 'Q') + "?";
const std::string kQueryOf62(62, 'Q');

struct SearchCase {
    const char* name;
    std::vector<std::string> replies;  // one instrument each, in candidate order; "" silent
    int32_t wanted;
    int kept;      // index of the instrument kept, -1 for none
    size_t asked;  // how many instruments, from the first, got the query line
    uint32_t error;
    const char* query = kQuery;
};

void PrintTo(const SearchCase& c, std::ostream* os) { *os << c.name; }

class UsbSearch : public ::testing::TestWithParam<SearchCase> {};

// Whatever the outcome, only the instrument kept may remain open, and each instrument
// reached got exactly the query line.
TEST_P(UsbSearch, KeepsTheInstrumentWithTheWantedNumberAndClosesTheRest)
{
    const SearchCase& c = GetParam();
    CPtyBench bench(c.replies);
    CUsbChannel channel;
    channel.SetIdQuery(c.query);
    SetLastError(12345);
    EXPECT_EQ(channel.Open(c.wanted), c.kept >= 0);
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(channel.Handle() != -1, c.kept >= 0);
    for (size_t i = 0; i < bench.Size(); ++i) {
        EXPECT_EQ(bench.OpenCount(i), static_cast<int>(i) == c.kept ? 1 : 0) << i;
        EXPECT_EQ(bench.Received(i), i < c.asked ? std::string(c.query) + "\r\n" : "") << i;
    }
    channel.Close();
    for (size_t i = 0; i < bench.Size(); ++i)
        EXPECT_EQ(bench.OpenCount(i), 0) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, UsbSearch,
    ::testing::Values(
        SearchCase{"ThreeThenZero", {"MORVENAL3", "MORVENAL0"}, 0, 1, 2, 0},
        SearchCase{"NoneAttached", {}, 0, -1, 0, CUsbChannel::kErrorNoInstrument},
        SearchCase{"OnlyAnotherNumber", {"MORVENAL7"}, 0, -1, 1, CUsbChannel::kErrorNoInstrument},
        SearchCase{"SignAndBlanks", {"MORVENAL  -12,rev4"}, -12, 0, 1, 0},
        SearchCase{"CrDroppedBeforeCounting", {"MORV\rENAL\r2"}, 2, 0, 1, 0},
        // Shorter than nine characters: no number, so not even a wanted 0 matches it.
        SearchCase{"ShortReplyMatchesNothing", {"IDLE", "MORVENAL0"}, 0, 1, 2, 0},
        SearchCase{"LongReplyIsCutButParsed", {"MORVENAL0" + std::string(291, 'x')}, 0, 0, 1, 0},
        SearchCase{"SilentOneEndsTheSearch", {"MORVENAL3", "", "MORVENAL0"}, 0, -1, 2, CUsbChannel::kErrorNoReply},
        SearchCase{"MoreThanTheTableHolds", std::vector<std::string>(CUsbChannel::kMaxInstruments + 1, "MORVENAL5"),
                   0, -1, CUsbChannel::kMaxInstruments, CUsbChannel::kErrorNoInstrument},
        // The query line holds the query, CR, LF and a NUL in 64 bytes.
        SearchCase{"QueryOf61Fits", {"MORVENAL0"}, 0, 0, 1, 0, kQueryOf61.c_str()},
        SearchCase{"QueryOf62Refused", {"MORVENAL0"}, 0, -1, 0, CUsbChannel::kErrorQueryNotSent, kQueryOf62.c_str()},
        SearchCase{"NoQueryRefused", {"MORVENAL0"}, 0, -1, 0, CUsbChannel::kErrorQueryNotSent, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// Through the link: a second open first closes the instrument held, so the walk starts
// over and finds the same one; then the protocol both ways, a time-out, and the CLI's
// Ctrl+C ending a blocked wait at once.
TEST(UsbLink, OpensByIdentificationAndSpeaksTheProtocol)
{
    CPtyBench bench({"MORVENAL1", "MORVENAL0"});
    CDeviceLink link;
    ASSERT_TRUE(link.OpenUsb(kQuery, 0)) << GetLastError();
    ASSERT_TRUE(link.OpenUsb(kQuery, 0)) << GetLastError();
    EXPECT_EQ(bench.OpenCount(0), 0);
    EXPECT_EQ(bench.OpenCount(1), 1);
    EXPECT_EQ(link.SendCommand(":UP:EXEC"), 0u);
    EXPECT_EQ(bench.AwaitReceived(1, 28), ":IF:ID?\r\n:IF:ID?\r\n:UP:EXEC\r\n");
    ASSERT_EQ(write(bench.Master(1), "MORVENAL\r\n", 10), 10);
    uint8_t reply[10];
    uint32_t length = 10;
    EXPECT_EQ(link.ReceiveExact(reply, length, 2000), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), length), "MORVENAL\r\n");
    length = 1;
    auto start = Clock::now();
    EXPECT_EQ(link.Receive(reply, length, 150), kErrorTimeout);
    EXPECT_GE(MsSince(start), 150);
    EXPECT_EQ(length, 0u);

    CAbortSignal abort;
    link.SetAbortSignal(&abort);
    std::jthread ctrlC([&] {
        std::this_thread::sleep_for(100ms);
        abort.Trigger();
    });
    start = Clock::now();
    length = 1;
    EXPECT_EQ(link.ReceiveExact(reply, length, 10000), static_cast<uint32_t>(ECANCELED));
    EXPECT_LT(MsSince(start), 200);
    EXPECT_EQ(length, 0u);
    EXPECT_TRUE(link.Close());
    EXPECT_EQ(bench.OpenCount(1), 0);
}

TEST(UsbProbe, ReportsEveryInstrumentWithItsNumberAndClosesThemAll)
{
    CPtyBench bench({"MORVENAL3", "", "ID"});
    const std::vector<UsbInstrument> found = CUsbChannel::Probe(":OPT:ID?");
    ASSERT_EQ(found.size(), 3u);
    for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].path, bench.SlavePath(i));
        EXPECT_EQ(bench.Received(i), ":OPT:ID?\r\n");
        EXPECT_EQ(bench.OpenCount(i), 0);
    }
    EXPECT_EQ(found[0].reply, "MORVENAL3");
    EXPECT_TRUE(found[0].hasNumber);
    EXPECT_EQ(found[0].deviceNumber, 3);
    EXPECT_EQ(found[0].error, 0u);
    EXPECT_EQ(found[1].error, CUsbChannel::kErrorNoReply);
    EXPECT_EQ(found[2].error, 0u);
    EXPECT_FALSE(found[2].hasNumber);
}

// Our layer must put the port in raw mode itself: the instrument's terminal is left in
// the system's cooked mode, where CR, ^C, ^D, ^S, DEL and the rest would be eaten,
// translated or echoed.
TEST(UsbDevice, CarriesEveryByteValueUnchangedFromACookedTerminal)
{
    CPtyBench bench({""});
    const int handle = VavUZIz_OpenDevice();
    ASSERT_NE(handle, -1) << GetLastError();
    std::string bytes;
    for (int value = 0; value < 256; ++value)
        bytes.push_back(static_cast<char>(value));

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
        got.append(reinterpret_cast<char*>(block), read);
    }
    EXPECT_EQ(got, bytes);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(bench.Received(0).size(), 256u);  // nothing echoed back to the instrument
    EXPECT_NE(VavUZIz_CloseDevice(handle), 0);
}

// A missing path and an empty item are skipped, a glob's matches come sorted, a port
// already open under another name is passed over, and once all are closed the walk
// starts over. Set but empty means no instrument at all, not the system's default ports.
TEST(UsbDevice, WalksTheCandidatesInOrderAndStartsOverWhenAllAreClosed)
{
    CPtyBench bench({"", ""});
    const auto dir = std::filesystem::temp_directory_path() / ("zorflash-usb-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::create_symlink(bench.SlavePath(0), dir / "b-port");
    std::filesystem::create_symlink(bench.SlavePath(1), dir / "a-port");
    const std::string list = "/dev/zorflash-no-such-port::" + (dir / "*-port").string() + ":" + bench.SlavePath(0);
    setenv("ZORFLASH_USB_DEVICES", list.c_str(), 1);

    for (int walk = 0; walk < 2; ++walk) {
        const int first = VavUZIz_OpenDevice();
        const int second = VavUZIz_OpenDevice();
        ASSERT_NE(first, -1);
        ASSERT_NE(second, -1);
        EXPECT_EQ(std::string(VavUZIz_DevicePath(first)), (dir / "a-port").string());
        EXPECT_EQ(std::string(VavUZIz_DevicePath(second)), (dir / "b-port").string());
        EXPECT_EQ(VavUZIz_OpenDevice(), -1);
        EXPECT_NE(VavUZIz_CloseDevice(first), 0);
        EXPECT_NE(VavUZIz_CloseDevice(second), 0);
        EXPECT_EQ(VavUZIz_DevicePath(first), nullptr);
        EXPECT_EQ(bench.OpenCount(0) + bench.OpenCount(1), 0);
    }
    std::filesystem::remove_all(dir);
    setenv("ZORFLASH_USB_DEVICES", "", 1);
    EXPECT_EQ(VavUZIz_OpenDevice(), -1);
}

// Only character devices are instruments: a regular file in the list (a glob that matched
// the update file) is passed over unwritten, and the probe can say why.
TEST(UsbDevice, NeverWritesToAnythingButACharacterDevice)
{
    CPtyBench bench({"MORVENAL0"});
    const auto dir = std::filesystem::temp_directory_path() / ("zorflash-usb-file-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string victim = (dir / "victim.txt").string();
    { std::ofstream(victim) << "keep these bytes"; }
    setenv("ZORFLASH_USB_DEVICES", (victim + ":" + dir.string() + ":" + bench.SlavePath(0)).c_str(), 1);

    CUsbChannel channel;
    channel.SetIdQuery(kQuery);
    EXPECT_TRUE(channel.Open(0)) << GetLastError();
    EXPECT_EQ(std::string(VavUZIz_DevicePath(channel.Handle())), bench.SlavePath(0));
    channel.Close();
    std::ifstream in(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep these bytes");
    const std::vector<SkippedUsbCandidate> skipped = SkippedUsbCandidates();
    ASSERT_EQ(skipped.size(), 2u);
    EXPECT_EQ(skipped[0].path, victim);
    EXPECT_EQ(skipped[1].reason, "not a character device");
    std::filesystem::remove_all(dir);
}

// A terminal in the list gets its own mode back when the layer lets go of it: after a
// search that passed it over and after a close.
TEST(UsbDevice, GivesATerminalBackItsModeOnClose)
{
    CPtyBench bench({"MORVENAL3", "MORVENAL0"});
    termios before[2]{};
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(tcgetattr(bench.Master(i), &before[i]), 0);
    auto expectCooked = [&](int i) {
        termios now{};
        ASSERT_EQ(tcgetattr(bench.Master(i), &now), 0);
        EXPECT_EQ(now.c_lflag, before[i].c_lflag) << i;
        EXPECT_EQ(now.c_iflag, before[i].c_iflag) << i;
        EXPECT_EQ(now.c_oflag, before[i].c_oflag) << i;
    };
    CUsbChannel channel;
    channel.SetIdQuery(kQuery);
    ASSERT_TRUE(channel.Open(0));
    expectCooked(0);
    channel.Close();
    expectCooked(1);
}

// An instrument that trickles its identification a byte at a time is given up on as a
// silent one is: one deadline covers the whole reply, and --timeout lowers it.
TEST(UsbDevice, IdentificationHasOneDeadlineForTheWholeReply)
{
    for (const uint32_t limit : {CUsbChannel::kIdTimeoutMs, 300u}) {
        CPtyBench bench({""});
        std::atomic<bool> stop{false};
        std::jthread trickle([&] {
            for (const char c : std::string("MORVENAL0\r\n")) {
                for (int i = 0; i < 40 && !stop; ++i)
                    std::this_thread::sleep_for(10ms);
                if (stop || write(bench.Master(0), &c, 1) != 1)
                    return;
            }
        });
        CUsbChannel channel;
        channel.SetIdQuery(kQuery);
        channel.LimitIdentification(limit);
        const auto start = Clock::now();
        EXPECT_FALSE(channel.Open(0));
        EXPECT_EQ(GetLastError(), CUsbChannel::kErrorNoReply);
        EXPECT_GE(MsSince(start), static_cast<int64_t>(limit) - 20);
        EXPECT_LT(MsSince(start), static_cast<int64_t>(limit) + 500);
        stop = true;
    }
}

// The updates of a fleet search at once. A device one search is asking (here a silent one,
// for its whole identification bound) holds up no other search whose instrument answers
// elsewhere, and what a failed search saw is what it reports: only the silent device.
TEST(UsbSearches, ADeviceBeingAskedHoldsUpNoOtherSearch)
{
    CPtyBench bench({"", "MORVENAL1", "MORVENAL2"});
    std::jthread silent([&] {
        CUsbChannel channel;
        channel.SetIdQuery(kQuery);
        channel.LimitIdentification(1500);
        EXPECT_FALSE(channel.Open(0));
        EXPECT_EQ(GetLastError(), CUsbChannel::kErrorNoReply);
        ASSERT_EQ(channel.SearchReport().size(), 1u);
        EXPECT_EQ(channel.SearchReport()[0].path, bench.SlavePath(0));
        EXPECT_EQ(channel.SearchReport()[0].error, CUsbChannel::kErrorNoReply);
    });
    bench.AwaitReceived(0, std::strlen(kQuery) + 2);  // the silent one is being asked now
    std::atomic<int64_t> slowest{0};
    {
        std::vector<std::jthread> searches;
        for (const int number : {1, 2})
            searches.emplace_back([&, number] {
                const auto start = Clock::now();
                CUsbChannel channel;
                channel.SetIdQuery(kQuery);
                ASSERT_TRUE(channel.Open(number)) << number;
                EXPECT_EQ(std::string(VavUZIz_DevicePath(channel.Handle())), bench.SlavePath(number));
                const int64_t took = MsSince(start);
                for (int64_t seen = slowest; took > seen && !slowest.compare_exchange_weak(seen, took);) {
                }
            });
    }
    EXPECT_LT(slowest.load(), 750) << "a search waited for the silent device's bound";
}

// Jobs on several threads search at once: no port may ever be handed to two of them.
TEST(UsbDevice, ThreadsNeverHoldTheSamePortAtOnce)
{
    CPtyBench bench({"", "", ""});
    std::mutex lock;
    std::set<std::string> held;
    std::atomic<int> clashes{0};
    std::atomic<int> opens{0};
    {
        std::vector<std::jthread> jobs;
        for (int j = 0; j < 4; ++j)
            jobs.emplace_back([&] {
                for (int round = 0; round < 200; ++round) {
                    const int handle = VavUZIz_OpenDevice();
                    if (handle == -1)
                        continue;
                    ++opens;
                    const std::string path = VavUZIz_DevicePath(handle);
                    {
                        std::lock_guard<std::mutex> guard(lock);
                        clashes += held.insert(path).second ? 0 : 1;
                    }
                    std::this_thread::yield();
                    {
                        std::lock_guard<std::mutex> guard(lock);
                        held.erase(path);
                    }
                    VavUZIz_CloseDevice(handle);
                }
            });
    }
    EXPECT_EQ(clashes.load(), 0);
    EXPECT_GT(opens.load(), 0);
    for (size_t i = 0; i < bench.Size(); ++i)
        EXPECT_EQ(bench.OpenCount(i), 0);
}

}  // namespace

// A whole update run over a real loopback connection against an instrument whose replies
// are the fuzzer's bytes. Whatever the replies, the run must end with the one status
// message that the first wrong or missing reply calls for, report success only when every
// reply was right, and close the link.
//
// Input: byte 0 chooses the update file (bits 0-1: MAIN of 3 records, SUB of two sections
// of 3, MAIN of 67 records, PATTERN of a START record alone) and fast mode (bit 2); the
// rest are the instrument's replies, in order.

#include "RecordingHost.h"
#include "LoopbackListener.h"
#include "UpdateFileBuilder.h"

#include "platform/StringResource.h"
#include "update/DeviceModel.h"
#include "update/UpdateJob.h"
#include "update/UpdateProtocol.h"
#include "update/UpdateSettings.h"

#include <thread>

using namespace UpdateProtocol;

namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& text)
{
    std::fprintf(stderr, "update run: %s\nstatus text:\n%s\n", what.c_str(), text.c_str());
    std::abort();
}

// One connection of an instrument whose replies are given bytes: it sends them all, closes
// its sending side, then reads until the host closes the link. Nothing waits on the
// fuzzer's bytes, so a run ends as soon as the host has used up the replies. False if the
// host had not closed the link 2 s after the run was over.
bool ServeOneConnection(int listener, const std::vector<uint8_t>& replies, const std::atomic<bool>& runOver)
{
    int graceMs = 2000;
    const auto ready = [&](int fd) {
        pollfd p{fd, POLLIN, 0};
        while (poll(&p, 1, 50) <= 0) {
            if (runOver && (graceMs -= 50) <= 0)
                return false;
        }
        return true;
    };
    const int fd = ready(listener) ? accept4(listener, nullptr, nullptr, SOCK_CLOEXEC) : -1;
    if (fd < 0)
        return false;
    for (size_t sent = 0; sent < replies.size();) {
        const ssize_t n = send(fd, replies.data() + sent, replies.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += static_cast<size_t>(n);
    }
    shutdown(fd, SHUT_WR);
    uint8_t sink[4096];
    bool closed = false;
    while (!closed && ready(fd))
        closed = recv(fd, sink, sizeof sink, 0) <= 0;
    close(fd);
    return closed;
}

// One reply point: the bytes the host waits for, the message when they are wrong, and the
// message when they do not come.
struct ReplyPoint {
    std::string bytes;
    unsigned wrong;
    unsigned missing;
};

struct Variant {
    std::string file;
    std::vector<ReplyPoint> replies;
};

std::vector<Variant> MakeVariants(const testsupport::TempDir& scratch, const DeviceModel& model)
{
    struct Shape {
        RomKind kind;
        std::vector<int> sections;  // records of each, START included
    };
    const Shape shapes[4] = {{kRomMain, {3}}, {kRomSub, {3, 3}}, {kRomMain, {67}}, {kRomPattern, {1}}};
    const std::string ack(1, static_cast<char>(kAck));
    std::vector<Variant> variants;
    for (int i = 0; i < 4; ++i) {
        testsupport::Bytes bytes = testsupport::Header(HeaderLineOf(model, shapes[i].kind), 1);
        Variant variant{scratch / ("variant" + std::to_string(i) + "_1.bin"),
                        {{std::string(1, static_cast<char>(kSyncReply)), IDS_SETUP_FAILURE, IDS_COMMUNICATION_ERROR},
                         {kIdentReply, IDS_NO_MORVENAL, IDS_NO_MORVENAL},
                         {std::string(1, static_cast<char>(kHeaderSizeByte)), IDS_HEADER_SIZE_FAILURE, IDS_COMMUNICATION_ERROR},
                         {ack, IDS_HEADER_TRANSFER_ERROR, IDS_COMMUNICATION_ERROR}}};
        uint32_t seed = 17;
        for (int records : shapes[i].sections) {
            testsupport::Append(bytes, testsupport::Section(records, seed += 1000, 5));
            // Acknowledged: START, record 1 and every block of records after it.
            for (int index = 0; index < records; ++index) {
                if (index == 0 || (index - 1) % kBlockRecords == 0)
                    variant.replies.push_back({ack, IDS_COMMUNICATION_ERROR, IDS_COMMUNICATION_ERROR});
            }
        }
        testsupport::WriteFile(scratch / ("variant" + std::to_string(i) + "_1.bin"), bytes);
        variants.push_back(variant);
    }
    return variants;
}

// The message the run must end with, worked out from the replies alone.
std::string ExpectedEnding(const Variant& variant, const uint8_t* replies, size_t size)
{
    size_t pos = 0;
    for (const ReplyPoint& point : variant.replies) {
        if (size - pos < point.bytes.size())
            return "\r\n" + LoadStringResource(point.missing, Language::English);
        if (std::string(reinterpret_cast<const char*>(replies + pos), point.bytes.size()) != point.bytes)
            return "\r\n" + LoadStringResource(point.wrong, Language::English);
        pos += point.bytes.size();
    }
    return LoadStringResource(IDS_TRANSFER_COMPLETED, Language::English);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const testsupport::TempDir scratch(true);
    static CLoopbackListener listener(4);
    const int port = listener.Port();
    static const DeviceModel model = g_deviceModelTable[0];
    static const std::vector<Variant> variants = MakeVariants(scratch, model);
    if (size < 1 || size > 512)
        return 0;

    const Variant& variant = variants[data[0] & 3];
    UpdateSettings settings;
    ApplyNewDocumentDefaults(settings);
    ApplyModelSelection(settings, 0);
    settings.ipAddress = 0x7F000001;  // loopback only
    settings.port = port;
    settings.fastMode = (data[0] & 4) ? 1 : 0;
    settings.filePath = variant.file;

    const std::vector<uint8_t> replies(data + 1, data + size);
    std::atomic<bool> runOver{false};
    bool closed = false;
    std::thread instrument([&] { closed = ServeOneConnection(listener.Fd(), replies, runOver); });
    // Every disk prompt is cancelled (a fuzz input never waits for an operator), and the
    // time-out is short so that an input that makes the engine wait still ends quickly.
    testsupport::RecordingHost host(settings);
    host.timeoutMs = 200;
    CUpdateJob job(host);
    const UpdateResult result = job.Run();
    runOver = true;
    instrument.join();

    const std::string text = host.Text();
    if (!closed)
        Fail("the link was left open", text);
    const std::string expected = ExpectedEnding(variant, data + 1, size - 1);
    if (text.size() < expected.size() || text.compare(text.size() - expected.size(), expected.size(), expected) != 0)
        Fail("the run did not end with: " + expected, text);
    if (!host.errors.empty())
        Fail("a file or memory error was reported", text);
    if (result.Completed() != (expected == LoadStringResource(IDS_TRANSFER_COMPLETED, Language::English)))
        Fail("the outcome disagrees with the status text", text);
    return 0;
}

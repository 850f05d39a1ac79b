// A whole update run over a real loopback connection against an instrument whose replies
// are the fuzzer's bytes. Whatever the replies, the run must end with the one status
// message that the first wrong or missing reply calls for, report success only when every
// reply was right, and close the link.
//
// Input: byte 0 chooses the update file (bits 0-1: MAIN of 3 records, SUB of two sections
// of 3, MAIN of 67 records, PATTERN of a START record alone) and fast mode (bit 2); the
// rest are the instrument's replies, in order.

#include "FuzzHost.h"
#include "ReplyInstrument.h"
#include "ScratchDir.h"
#include "UpdateFileBuilder.h"

#include "platform/StringResource.h"
#include "update/DeviceModel.h"
#include "update/UpdateJob.h"
#include "update/UpdateProtocol.h"
#include "update/UpdateSettings.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace UpdateProtocol;

namespace {

[[noreturn]] void Fail(const char* what, const std::string& text)
{
    std::fprintf(stderr, "update run: %s\nstatus text:\n%s\n", what, text.c_str());
    std::abort();
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

std::vector<ReplyPoint> Handshake()
{
    return {
        {std::string(1, static_cast<char>(kSyncReply)), IDS_SETUP_FAILURE, IDS_COMMUNICATION_ERROR},
        {kIdentReply, IDS_NO_MORVENAL, IDS_NO_MORVENAL},
        {std::string(1, static_cast<char>(kHeaderSizeByte)), IDS_HEADER_SIZE_FAILURE, IDS_COMMUNICATION_ERROR},
        {std::string(1, static_cast<char>(kAck)), IDS_HEADER_TRANSFER_ERROR, IDS_COMMUNICATION_ERROR},
    };
}

// The acknowledgements a section of `records` records (START included) asks for.
void AddSectionAcks(std::vector<ReplyPoint>& replies, int records)
{
    for (int index = 0; index < records; ++index) {
        if (index == 0 || (index - 1) % kBlockRecords == 0)
            replies.push_back({std::string(1, static_cast<char>(kAck)), IDS_COMMUNICATION_ERROR, IDS_COMMUNICATION_ERROR});
    }
}

std::vector<Variant> MakeVariants(const CScratchDir& scratch, const DeviceModel& model)
{
    struct Shape {
        RomKind kind;
        std::vector<int> sections;
    };
    const Shape shapes[4] = {{kRomMain, {3}}, {kRomSub, {3, 3}}, {kRomMain, {67}}, {kRomPattern, {1}}};
    std::vector<Variant> variants;
    for (int i = 0; i < 4; ++i) {
        testsupport::Bytes bytes = testsupport::Header(HeaderLineOf(model, shapes[i].kind), 1);
        Variant variant;
        variant.replies = Handshake();
        uint32_t seed = 17;
        for (int records : shapes[i].sections) {
            testsupport::Append(bytes, testsupport::Section(records, seed += 1000, 5));
            AddSectionAcks(variant.replies, records);
        }
        variant.file = scratch.File("variant" + std::to_string(i) + "_1.bin");
        scratch.Write("variant" + std::to_string(i) + "_1.bin", bytes.data(), bytes.size());
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
            return "\r\n" + LoadStringResource(point.missing);
        if (std::string(reinterpret_cast<const char*>(replies + pos), point.bytes.size()) != point.bytes)
            return "\r\n" + LoadStringResource(point.wrong);
        pos += point.bytes.size();
    }
    return LoadStringResource(IDS_TRANSFER_COMPLETED);
}

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CScratchDir scratch;
    static CReplyInstrument instrument;
    static const DeviceModel model = g_deviceModelTable[0];
    static const std::vector<Variant> variants = MakeVariants(scratch, model);
    if (size < 1 || size > 512)
        return 0;
    SetResourceLanguage(Language::English);

    const Variant& variant = variants[data[0] & 3];
    UpdateSettings settings;
    ApplyNewDocumentDefaults(settings);
    ApplyModelSelection(settings, 0);
    settings.ipAddress = 0x7F000001;  // loopback only
    settings.port = instrument.Port();
    settings.fastMode = (data[0] & 4) ? 1 : 0;
    settings.filePath = variant.file;

    instrument.Arm(std::vector<uint8_t>(data + 1, data + size));
    CFuzzHost host(settings, 200);
    CUpdateJob job;
    job.m_pView = &host;
    job.Run();

    const std::string& text = host.Text();
    if (!instrument.WaitClosed(2000))
        Fail("the link was left open", text);
    const std::string expected = ExpectedEnding(variant, data + 1, size - 1);
    if (!EndsWith(text, expected))
        Fail(("the run did not end with: " + expected).c_str(), text);
    if (!host.Errors().empty())
        Fail("a file or memory error was reported", text);
    return 0;
}

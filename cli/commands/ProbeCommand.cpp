#include "cli/commands/ProbeCommand.h"

#include "cli/output/CliStringIds.h"
#include "present/DisplayTexts.h"
#include "present/DisplayWidth.h"
#include "present/OutcomeTable.h"
#include "cli/output/JsonEvents.h"
#include "present/PrintableText.h"
#include "update/StatusText.h"
#include "link/UsbChannel.h"
#include "platform/LastError.h"
#include "platform/StringResource.h"
#include "update/UpdateProtocol.h"
#include "update/DeviceModel.h"
#include "usb/UsbCandidates.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace zorflash {

namespace {
// The model word of a header line ("MORVENAL RT71 MAIN ROM"), which replies begin with too.
std::string ModelToken(const DeviceModel& model)
{
    const std::string line = model.mainHeaderLine;
    const std::size_t from = line.find(' ') + 1;
    return line.substr(from, line.find(' ', from) - from);
}

// The model whose word a reply begins with, when it is another than `chosen`; else null.
const char* OtherModelOf(const std::string& reply, const DeviceModel& chosen)
{
    std::size_t end = 0;
    while (end < reply.size() && std::isalnum(static_cast<unsigned char>(reply[end])))
        ++end;
    const std::string word = reply.substr(0, end);
    if (word.empty() || word == ModelToken(chosen))
        return nullptr;
    for (int i = 0; g_deviceModelTable[i].displayName; ++i)
        if (word == ModelToken(g_deviceModelTable[i]))
            return g_deviceModelTable[i].displayName;
    return nullptr;
}

// A column of the table, filled to `columns` as the terminal counts them: a Japanese
// heading takes two columns a character.
std::string Padded(const std::string& text, int columns)
{
    return text + std::string(static_cast<std::size_t>(std::max(0, columns - CDisplayWidth::Of(text))), ' ');
}
}  // namespace

int RunProbe(int modelIndex, bool json, Language language)
{
    using Id = CDisplayTexts::Id;
    const auto say = [language](Id id, std::initializer_list<std::string> values = {}) {
        return CDisplayTexts::Format(id, language, values);
    };
    const DeviceModel& model = g_deviceModelTable[modelIndex];
    // The search passes over what it cannot open; the operator learns why from that very
    // search, not from a second look that could find the devices otherwise.
    std::vector<SkippedUsbCandidate> skipped;
    const std::vector<UsbInstrument> found = CUsbChannel::Probe(model.idQuery, nullptr, &skipped);
    for (const SkippedUsbCandidate& candidate : skipped)
        std::fprintf(stderr, "zorflash-cli: %s\n",
                     say(Id::ProbeSkipped, {PrintableText(candidate.path), PrintableText(candidate.reason)}).c_str());
    const std::string searched = UsbCandidatesDescription();
    // The update's own search keeps the first device answering with number 0 and gives up
    // at the first that does not answer: a device behind that one is never reached.
    std::size_t used = found.size();
    for (std::size_t i = 0; i < found.size() && !found[i].error; ++i)
        if (found[i].hasNumber && found[i].deviceNumber == 0) {
            used = i;
            break;
        }
    const bool updatable = used < found.size();
    // One pass makes both forms; the one asked for is printed.
    nlohmann::ordered_json devices = nlohmann::ordered_json::array();
    std::string table = Padded(say(Id::ProbeDevice), 24) + "  " + Padded(say(Id::ProbeNumber), 6) + "  " +
                        say(Id::ProbeReply) + "\n";
    for (std::size_t n = 0; n < found.size(); ++n) {
        const UsbInstrument& i = found[n];
        const char* other = i.error ? nullptr : OtherModelOf(i.reply, model);
        nlohmann::ordered_json d = {{"path", i.path}};
        if (i.error)
            d["error"] = DescribeError(i.error);
        else
            d["reply"] = i.reply;
        const bool numbered = !i.error && i.hasNumber;
        d["number"] = numbered ? nlohmann::ordered_json(i.deviceNumber) : nlohmann::ordered_json(nullptr);
        d["used"] = n == used;
        if (other)
            d["otherModel"] = other;
        devices.push_back(d);
        const std::string number = i.error ? "-" : numbered ? std::to_string(i.deviceNumber) : say(Id::ProbeNoNumber);
        const std::string reply = i.error ? std::string("(") + DescribeError(i.error) + ")" : i.reply;
        std::string notes = n == used ? LoadStringResource(kIdsProbeUsed, language) : std::string();
        if (other)
            notes += (notes.empty() ? "" : "; ") +
                     FormatStringResource(language, kIdsProbeOtherModel, other, model.displayName);
        // The reply comes from the device: it must not drive the terminal.
        table += Padded(PrintableText(i.path), 24) + "  " + Padded(number, 6) + "  " + PrintableText(reply) +
                 (notes.empty() ? "" : "  <- " + notes) + "\n";
    }
    if (json) {
        const nlohmann::ordered_json document = {{"schema", CJsonEvents::kSchema}, {"model", model.displayName},
                                                 {"searched", searched},           {"devices", devices},
                                                 {"updatable", updatable}};
        std::printf("%s\n", CJsonEvents::Dump(document).c_str());
    } else if (found.empty()) {
        std::printf("%s\n", say(Id::ProbeNone, {PrintableText(searched)}).c_str());
    } else if (!updatable) {
        table += say(Id::ProbeNoZero, {WithoutLineEnds(LoadStringResource(IDS_CANNOT_OPEN_TARGET, language))});
        std::printf("%s\n", table.c_str());
    } else {
        std::fputs(table.c_str(), stdout);
    }
    return updatable ? kExitCompleted : kExitFailed;
}

}  // namespace zorflash

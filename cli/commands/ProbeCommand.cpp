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
    const DeviceModel& model = g_deviceModelTable[modelIndex];
    // The search passes over what it cannot open; the operator learns why from that very
    // search, not from a second look that could find the devices otherwise.
    std::vector<SkippedUsbCandidate> skipped;
    const std::vector<UsbInstrument> found = CUsbChannel::Probe(model.idQuery, nullptr, &skipped);
    for (const SkippedUsbCandidate& candidate : skipped)
        std::fprintf(stderr, "zorflash-cli: %s\n",
                     CDisplayTexts::Format(CDisplayTexts::Id::ProbeSkipped, language,
                                           {PrintableText(candidate.path), PrintableText(candidate.reason)})
                         .c_str());
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
    if (json) {
        nlohmann::ordered_json devices = nlohmann::ordered_json::array();
        for (std::size_t n = 0; n < found.size(); ++n) {
            const UsbInstrument& i = found[n];
            nlohmann::ordered_json d = {{"path", i.path}};
            if (i.error)
                d["error"] = DescribeError(i.error);
            else
                d["reply"] = i.reply;
            d["number"] = !i.error && i.hasNumber ? nlohmann::ordered_json(i.deviceNumber) : nlohmann::ordered_json(nullptr);
            d["used"] = n == used;
            if (const char* other = i.error ? nullptr : OtherModelOf(i.reply, model))
                d["otherModel"] = other;
            devices.push_back(d);
        }
        const nlohmann::ordered_json document = {{"schema", CJsonEvents::kSchema}, {"model", model.displayName},
                                         {"searched", searched},           {"devices", devices},
                                         {"updatable", updatable}};
        std::printf("%s\n", CJsonEvents::Dump(document).c_str());
        return updatable ? kExitCompleted : kExitFailed;
    }
    if (found.empty()) {
        std::printf("%s\n",
                    CDisplayTexts::Format(CDisplayTexts::Id::ProbeNone, language, {PrintableText(searched)}).c_str());
        return kExitFailed;
    }
    std::printf("%s  %s  %s\n", Padded(CDisplayTexts::Text(CDisplayTexts::Id::ProbeDevice, language), 24).c_str(),
                Padded(CDisplayTexts::Text(CDisplayTexts::Id::ProbeNumber, language), 6).c_str(),
                CDisplayTexts::Text(CDisplayTexts::Id::ProbeReply, language));
    for (std::size_t n = 0; n < found.size(); ++n) {
        const UsbInstrument& i = found[n];
        std::string number = i.error ? "-" : (i.hasNumber ? std::to_string(i.deviceNumber)
                                                                    : CDisplayTexts::Text(CDisplayTexts::Id::ProbeNoNumber, language));
        std::string reply = i.error ? std::string("(") + DescribeError(i.error) + ")" : i.reply;
        std::string notes;
        if (n == used)
            notes = LoadStringResource(kIdsProbeUsed, language);
        if (const char* other = i.error ? nullptr : OtherModelOf(i.reply, model))
            notes += (notes.empty() ? "" : "; ") +
                     FormatStringResource(language, kIdsProbeOtherModel, other, model.displayName);
        // The reply comes from the device: it must not drive the terminal.
        std::printf("%s  %s  %s%s\n", Padded(PrintableText(i.path), 24).c_str(), Padded(number, 6).c_str(),
                    PrintableText(reply).c_str(), notes.empty() ? "" : ("  <- " + notes).c_str());
    }
    if (!updatable)
        std::printf("%s\n", CDisplayTexts::Format(CDisplayTexts::Id::ProbeNoZero, language,
                                                  {WithoutLineEnds(LoadStringResource(IDS_CANNOT_OPEN_TARGET, language))})
                                 .c_str());
    return updatable ? kExitCompleted : kExitFailed;
}

}  // namespace zorflash

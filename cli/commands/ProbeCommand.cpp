#include "cli/commands/ProbeCommand.h"

#include "present/OutcomeTable.h"
#include "cli/output/JsonEvents.h"
#include "cli/output/PrintableText.h"
#include "link/UsbChannel.h"
#include "platform/LastError.h"
#include "update/DeviceModel.h"
#include "usb/UsbCandidates.h"

#include <cstdio>

namespace zorflash {

int RunProbe(int modelIndex, bool json)
{
    const DeviceModel& model = g_deviceModelTable[modelIndex];
    // The search passes over what it cannot open; the operator learns why from that very
    // search, not from a second look that could find the devices otherwise.
    std::vector<SkippedUsbCandidate> skipped;
    const std::vector<UsbInstrument> found = CUsbChannel::Probe(model.idQuery, nullptr, &skipped);
    for (const SkippedUsbCandidate& candidate : skipped)
        std::fprintf(stderr, "zorflash-cli: skipped %s: %s\n", PrintableText(candidate.path).c_str(),
                     PrintableText(candidate.reason).c_str());
    const std::string searched = UsbCandidatesDescription();
    bool updatable = false;
    for (const UsbInstrument& i : found)
        updatable = updatable || (!i.error && i.hasNumber && i.deviceNumber == 0);
    if (json) {
        nlohmann::ordered_json devices = nlohmann::ordered_json::array();
        for (const UsbInstrument& i : found) {
            nlohmann::ordered_json d = {{"path", i.path}};
            if (i.error)
                d["error"] = DescribeError(i.error);
            else
                d["reply"] = i.reply;
            d["number"] = !i.error && i.hasNumber ? nlohmann::ordered_json(i.deviceNumber) : nlohmann::ordered_json(nullptr);
            devices.push_back(d);
        }
        const nlohmann::ordered_json document = {{"schema", CJsonEvents::kSchema}, {"model", model.displayName},
                                         {"searched", searched},           {"devices", devices},
                                         {"updatable", updatable}};
        std::printf("%s\n", CJsonEvents::Dump(document).c_str());
        return updatable ? kExitCompleted : kExitFailed;
    }
    if (found.empty()) {
        std::printf("No USB instrument found (looked at %s).\n", UsbCandidatesDescription().c_str());
        return kExitFailed;
    }
    std::printf("%-24s  %-6s  %s\n", "device", "number", "identification reply");
    for (const UsbInstrument& i : found) {
        std::string number = i.error ? "-" : (i.hasNumber ? std::to_string(i.deviceNumber) : "none");
        std::string reply = i.error ? std::string("(") + DescribeError(i.error) + ")" : i.reply;
        // The reply comes from the device: it must not drive the terminal.
        std::printf("%-24s  %-6s  %s\n", PrintableText(i.path).c_str(), number.c_str(),
                    PrintableText(reply).c_str());
    }
    if (!updatable)
        std::printf("No instrument answers with device number 0: an update would report \"Cannot open target.\"\n");
    return updatable ? kExitCompleted : kExitFailed;
}

}  // namespace zorflash

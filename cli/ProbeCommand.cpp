#include "cli/ProbeCommand.h"

#include "cli/ExitCodes.h"
#include "link/UsbChannel.h"
#include "platform/LastError.h"
#include "update/DeviceModel.h"
#include "usb/UsbCandidates.h"

#include <cstdio>

int RunProbe(int modelIndex)
{
    const DeviceModel& model = g_deviceModelTable[modelIndex];
    const std::vector<UsbInstrument> found = CUsbChannel::Probe(model.idQuery);
    if (found.empty()) {
        std::printf("No USB instrument found (looked at %s).\n", UsbCandidatesDescription().c_str());
        return kExitFailed;
    }
    std::printf("%-24s  %-6s  %s\n", "device", "number", "identification reply");
    bool updatable = false;
    for (const UsbInstrument& i : found) {
        std::string number = i.error ? "-" : (i.hasNumber ? std::to_string(i.deviceNumber) : "none");
        std::string reply = i.error ? std::string("(") + DescribeError(i.error) + ")" : i.reply;
        std::printf("%-24s  %-6s  %s\n", i.path.c_str(), number.c_str(), reply.c_str());
        updatable = updatable || (!i.error && i.hasNumber && i.deviceNumber == 0);
    }
    if (!updatable)
        std::printf("No instrument answers with device number 0: an update would report \"Cannot open target.\"\n");
    return updatable ? kExitCompleted : kExitFailed;
}

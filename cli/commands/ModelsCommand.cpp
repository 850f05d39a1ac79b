#include "cli/commands/ModelsCommand.h"

#include "cli/output/JsonEvents.h"
#include "present/OutcomeTable.h"
#include "update/DeviceModel.h"

#include <cstdio>
#include <string>

namespace zorflash {

int ListModels(bool json)
{
    nlohmann::ordered_json models = nlohmann::ordered_json::array();
    if (!json)
        std::printf("%-5s  %-12s  %-9s  %s\n", "index", "model", "extension", "transports");
    for (int i = 0; g_deviceModelTable[i].displayName; ++i) {
        const DeviceModel& m = g_deviceModelTable[i];
        models.push_back({{"index", i}, {"model", m.displayName}, {"extension", m.fileExtension},
                          {"tcp", m.tcpAllowed != 0}, {"usb", m.usbAllowed != 0}});
        std::string transports;
        if (m.tcpAllowed)
            transports += "tcp";
        if (m.usbAllowed)
            transports += transports.empty() ? "usb" : ",usb";
        if (!json)
            std::printf("%-5d  %-12s  %-9s  %s\n", i, m.displayName, m.fileExtension, transports.c_str());
    }
    if (json)
        std::printf("%s\n", CJsonEvents::Dump({{"schema", CJsonEvents::kSchema}, {"models", models}}).c_str());
    return kExitCompleted;
}

}  // namespace zorflash

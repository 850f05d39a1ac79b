#include "update/UpdateSettings.h"

namespace zorflash {

void ApplyNewDocumentDefaults(UpdateSettings& settings)
{
    settings.ipAddress = kDefaultIpAddress;
    settings.port = kDefaultPort;
    settings.useUsb = 0;
    settings.fastMode = 1;
    settings.fileName.clear();
}

void ApplyModelSelection(UpdateSettings& settings, int index)
{
    if (index < 0 || index >= kDeviceModelCount)
        return;
    settings.modelIndex = index;
    settings.model = g_deviceModelTable[index];
    if (settings.model.tcpAllowed)
        settings.useUsb = 0;
    else if (settings.model.usbAllowed)
        settings.useUsb = 1;
    else
        settings.useUsb = 0;
}

}  // namespace zorflash

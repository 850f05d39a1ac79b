#include "ui/CommSettingsRules.h"

#include "platform/DecimalText.h"

#include <algorithm>
#include <limits>

namespace zorflash {

CommSettingsControls LoadCommSettings(const UpdateSettings& settings)
{
    CommSettingsControls c;
    c.tcpChecked = settings.useUsb == 0;
    c.usbChecked = !c.tcpChecked;
    c.addressEnabled = c.tcpChecked;
    c.tcpEnabled = settings.model.tcpAllowed != 0;
    c.usbEnabled = settings.model.usbAllowed != 0;
    c.address = settings.ipAddress;
    c.portText = std::to_string(settings.port);
    c.fastChecked = settings.fastMode == 1;
    return c;
}

void StoreCommSettings(const CommSettingsControls& controls, UpdateSettings& settings)
{
    settings.useUsb = controls.tcpChecked ? 0 : 1;
    settings.ipAddress = controls.address;
    settings.port = ParsePortText(controls.portText);
    settings.fastMode = controls.fastChecked ? 1 : 0;
}

int32_t ParsePortText(const std::string& text)
{
    const int64_t value = ReadDecimalPrefix(text).value;
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace zorflash

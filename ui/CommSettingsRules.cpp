#include "ui/CommSettingsRules.h"

#include <cctype>
#include <limits>

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
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
    int64_t value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kMax + 1)
            break;
    }
    if (negative)
        value = -value;
    if (value > kMax)
        return static_cast<int32_t>(kMax);
    if (value < kMin)
        return static_cast<int32_t>(kMin);
    return static_cast<int32_t>(value);
}

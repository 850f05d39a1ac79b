#include "usb/UsbCandidates.h"

#include "platform/LastError.h"
#include "usb/win32/ComPortName.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

namespace zorflash {

// On Windows an instrument on USB is a COM port (its CDC-ACM driver makes one). The
// device path of a port is \\.\COMn, which also reaches ports above COM9.

namespace {

constexpr const char* kDevicePrefix = "\\\\.\\";

std::string Trimmed(const std::string& text)
{
    size_t start = 0;
    size_t end = text.size();
    while (start < end && std::isspace(static_cast<unsigned char>(text[start])))
        ++start;
    while (end > start && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(start, end - start);
}

}  // namespace

long ComPortNumber(const std::string& path)
{
    const std::string name = path.rfind(kDevicePrefix, 0) == 0 ? path.substr(4) : path;
    if (name.size() < 4 || name.size() > 8)
        return -1;
    if (std::toupper(static_cast<unsigned char>(name[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(name[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(name[2])) != 'M')
        return -1;
    long number = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return -1;
        number = number * 10 + (name[i] - '0');
    }
    return number;
}

namespace {

// The ports the serial drivers have announced (the registry's SERIALCOMM key).
void AddRegisteredPorts(std::vector<long>& numbers)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0; index < 4096; ++index) {
        char valueName[256];
        DWORD nameSize = sizeof valueName;
        char data[64] = {};
        DWORD dataSize = sizeof data - 1;
        DWORD type = 0;
        const LONG result = RegEnumValueA(key, index, valueName, &nameSize, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        data[std::min<DWORD>(dataSize, sizeof data - 1)] = '\0';
        const long number = ComPortNumber(Trimmed(data));
        if (number >= 0)
            numbers.push_back(number);
    }
    RegCloseKey(key);
}

// Every COMn name the object manager knows, when the registry lists none.
void AddDosDevicePorts(std::vector<long>& numbers)
{
    std::vector<char> names(65536);
    const DWORD length = QueryDosDeviceA(nullptr, names.data(), static_cast<DWORD>(names.size()));
    for (DWORD at = 0; at < length && names[at] != '\0';) {
        const std::string name(names.data() + at);
        const long number = ComPortNumber(name);
        if (number >= 0)
            numbers.push_back(number);
        at += static_cast<DWORD>(name.size()) + 1;
    }
}

std::vector<std::string> PresentComPorts()
{
    std::vector<long> numbers;
    AddRegisteredPorts(numbers);
    if (numbers.empty())
        AddDosDevicePorts(numbers);
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    std::vector<std::string> paths;
    for (long number : numbers)
        paths.push_back(std::string(kDevicePrefix) + "COM" + std::to_string(number));
    return paths;
}

}  // namespace

std::vector<std::string> ExpandUsbCandidates(const char* list)
{
    std::vector<std::string> paths;
    const std::string rest = list ? list : "";
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find(';', start);
        if (end == std::string::npos)
            end = rest.size();
        const std::string item = Trimmed(rest.substr(start, end - start));
        start = end + 1;
        if (item.empty())
            continue;
        paths.push_back(item.rfind(kDevicePrefix, 0) == 0 ? item : kDevicePrefix + item);
    }
    return paths;
}

std::vector<std::string> UsbCandidatePaths()
{
    const char* list = std::getenv("ZORFLASH_USB_DEVICES");
    return list ? ExpandUsbCandidates(list) : PresentComPorts();
}

std::string UsbCandidatesDescription()
{
    const char* list = std::getenv("ZORFLASH_USB_DEVICES");
    return list && *list ? list : "every COM port";
}

std::string UsbDeviceKey(const std::string& path)
{
    std::string key = path.rfind(kDevicePrefix, 0) == 0 ? path.substr(4) : path;
    for (char& c : key)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

std::string UsbSkipReason(uint32_t code)
{
    // The device layer's reasons for a name that is no COM port, and for a port that is
    // not there.
    if (code == ERROR_BAD_DEVICE)
        return "not a COM port";
    if (code == ERROR_FILE_NOT_FOUND)
        return "no such port";
    return DescribeError(code);
}

}  // namespace zorflash

#include "usb/UsbCandidates.h"

#include "platform/LastError.h"

#include <glob.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace zorflash {

std::vector<std::string> ExpandUsbCandidates(const char* list)
{
    std::vector<std::string> paths;
    std::string rest = list ? list : "";
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find(':', start);
        if (end == std::string::npos)
            end = rest.size();
        const std::string item = rest.substr(start, end - start);
        start = end + 1;
        if (item.empty())
            continue;
        if (item.find_first_of("*?[") == std::string::npos) {
            paths.push_back(item);
            continue;
        }
        glob_t matches{};
        if (glob(item.c_str(), 0, nullptr, &matches) == 0) {
            std::vector<std::string> found(matches.gl_pathv, matches.gl_pathv + matches.gl_pathc);
            std::sort(found.begin(), found.end());
            paths.insert(paths.end(), found.begin(), found.end());
        }
        globfree(&matches);
    }
    return paths;
}

std::vector<std::string> UsbCandidatePaths()
{
    const char* list = std::getenv("ZORFLASH_USB_DEVICES");
    return ExpandUsbCandidates(list ? list : kDefaultUsbDevices);
}

std::string UsbCandidatesDescription()
{
    const char* list = std::getenv("ZORFLASH_USB_DEVICES");
    return list && *list ? list : kDefaultUsbDevices;
}

std::string UsbDeviceKey(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return "path:" + path;
    if (S_ISCHR(info.st_mode))
        return "device:" + std::to_string(static_cast<unsigned long long>(info.st_rdev));
    return "file:" + std::to_string(static_cast<unsigned long long>(info.st_dev)) + ":" +
           std::to_string(static_cast<unsigned long long>(info.st_ino));
}

std::string UsbSkipReason(uint32_t code)
{
    // The device layer's reason for a name that is there but no character device (a
    // folder already fails to open for writing).
    return code == ENOTTY || code == EISDIR ? "not a character device" : DescribeError(code);
}

}  // namespace zorflash

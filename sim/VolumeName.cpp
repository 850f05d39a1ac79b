#include "sim/VolumeName.h"

namespace zorflash {

std::string VolumeFileName(const std::string& path, int volume)
{
    std::string name = path;
    if (name.empty())
        return name;
    const char digit = static_cast<char>((volume & 15) + '0');
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        name.back() = digit;
    else if (dot > 0)
        name[dot - 1] = digit;
    return name;
}

}  // namespace zorflash

#include "update/DeviceModel.h"

#include <cctype>
#include <cstring>
#include <string>

namespace zorflash {

// Header lines are written out in full so that what an instrument file must begin with can
// be read here byte for byte; the model tests check their shape.
const DeviceModel g_deviceModelTable[kDeviceModelCount + 1] = {
    {"RT71", "R71", "MORVENAL RT71 MAIN ROM        \r\n", "MORVENAL RT71 SUB ROM         \r\n",
     "MORVENAL RT71 PATTERN ROM     \r\n", ":IF:ID?", 1, 1},
    {"RT23", "R23", "MORVENAL RT23 MAIN ROM        \r\n", "MORVENAL RT23 SUB ROM         \r\n",
     "MORVENAL RT23 PATTERN ROM     \r\n", ":IF:ID?", 0, 1},
    {"RT54", "R54", "MORVENAL RT54 MAIN ROM        \r\n", "MORVENAL RT54 SUB ROM         \r\n",
     "MORVENAL RT54 PATTERN ROM     \r\n", ":IF:ID?", 1, 1},
    {"RT36/38/39", "R38", "MORVENAL RT38 MAIN ROM        \r\n", "MORVENAL RT38 SUB ROM         \r\n",
     "MORVENAL RT38 PATTERN ROM     \r\n", ":IF:ID?", 1, 1},
    {"KP90", "K90", "MORVENAL KP90 MAIN ROM        \r\n", "MORVENAL KP90 SUB ROM         \r\n",
     "MORVENAL KP90 PATTERN ROM     \r\n", ":OPT:ID?", 1, 1},
    {"NB61/63", "N60", "MORVENAL NB60 MAIN ROM        \r\n", "MORVENAL NB60 SUB ROM         \r\n",
     "MORVENAL NB60 PATTERN ROM     \r\n", ":OPT:ID?", 1, 1},
    {"RT85/86", "R85", "MORVENAL RT85 MAIN ROM        \r\n", "MORVENAL RT85 SUB ROM         \r\n",
     "MORVENAL RT85 PATTERN ROM     \r\n", ":OPT:ID?", 1, 1},
    {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0},
};

const char* HeaderLineOf(const DeviceModel& model, RomKind kind)
{
    switch (kind) {
    case kRomMain:
        return model.mainHeaderLine;
    case kRomSub:
        return model.subHeaderLine;
    case kRomPattern:
        return model.patternHeaderLine;
    default:
        return nullptr;
    }
}

int FindDeviceModel(const char* nameOrIndex)
{
    if (!nameOrIndex)
        return -1;
    std::string wanted(nameOrIndex);
    if (wanted.size() == 1 && wanted[0] >= '0' && wanted[0] < '0' + kDeviceModelCount)
        return wanted[0] - '0';
    for (int i = 0; g_deviceModelTable[i].displayName; ++i) {
        const char* name = g_deviceModelTable[i].displayName;
        if (std::strlen(name) != wanted.size())
            continue;
        bool same = true;
        for (size_t k = 0; k < wanted.size() && same; ++k)
            same = std::tolower(static_cast<unsigned char>(name[k])) ==
                   std::tolower(static_cast<unsigned char>(wanted[k]));
        if (same)
            return i;
    }
    return -1;
}

}  // namespace zorflash

#pragma once

#include "resources/strings/Language.h"
#include "update/UpdateSettings.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zorflash {

// Reads a whole update file, every volume, with the engine's own record stream, and says
// what an update would make of it, without any link. A missing volume is not
// asked for: the prompt the update would show is the problem reported.
class CFileCheck {
public:
    struct Section {
        uint64_t records = 0;  // START record and the records behind it, END not counted
        uint64_t bytes = 0;    // what goes on the wire for the section, END byte included
    };
    struct Report {
        std::string kind;                      // MAIN, SUB or PATTERN; empty if unknown
        std::vector<std::string> volumePaths;  // the volumes read
        std::vector<Section> sections;
        bool complete = false;                 // an update would send everything
        std::string problem;                   // the first problem, as the update would word it
        std::string where;                     // where it lies
    };

    static Report Inspect(const UpdateSettings& settings, Language language);
};

}  // namespace zorflash

#pragma once

#include "update/UpdateSettings.h"

#include <string>

namespace zorflash {

// Why a volume of the chosen file would not be accepted by the update's volume opener,
// in the operator's terms: the prompt only says "insert disk N", while an operator at a
// terminal, or a script reading stderr, needs the file looked for and what is wrong with it.
class CVolumeProblem {
public:
    enum Kind { kNone, kMissing, kUnreadable, kWrongVolume, kWrongModelOrKind };

    struct Finding {
        int volume = 1;
        std::string path;    // the volume's file, by the naming rule
        Kind kind = kNone;
        std::string reason;  // empty when the volume would be accepted
    };

    // Volume `volume` checked as the update checks it; volume 2 against the ROM kind that
    // volume 1's first line names, as the update does.
    static Finding Check(const UpdateSettings& settings, int volume);
    // The volume a disk prompt of the update is asking for: the update asks for volume 2
    // only once volume 1 was accepted.
    static Finding Asked(const UpdateSettings& settings);
    // "volume 2 not found: PATH", or "volume 2 PATH: wrong volume number ...".
    static std::string Describe(const Finding& finding);
};

}  // namespace zorflash

#pragma once

#include <cstdint>
#include <string>

namespace zorflash {

// Why the record stream did not take a volume, as it found it at that moment. The disk
// prompt that follows says only "insert disk N": with this value beside it a front end
// names the file and what is wrong with it without opening the file a second time, and
// so cannot disagree with what the update actually saw.
struct VolumeRefusal {
    enum class Kind {
        Missing,          // no file of that name
        Unreadable,       // it exists but could not be opened (systemError says why)
        WrongNumber,      // its header carries another volume number, or none
        WrongHeaderLine,  // volume 2 whose first line is not the one of volume 1's kind
    };

    int volume = 1;
    std::string path;          // the volume's file, by the naming rule
    Kind kind = Kind::Missing;
    uint32_t systemError = 0;  // the last-error value of a failed open; 0 otherwise
    std::string numberText;    // WrongNumber: the bytes found where the two digits belong
};

}  // namespace zorflash

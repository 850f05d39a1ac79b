#pragma once

namespace zorflash {

// Which ROM of an instrument an update file carries; selects one of a model's header
// lines. A negative kind asks the volume opener not to test the header line.
enum RomKind : int {
    kRomKindUnchecked = -1,
    kRomMain = 0,
    kRomSub = 1,
    kRomPattern = 2,
};

}  // namespace zorflash

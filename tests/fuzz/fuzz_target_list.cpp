// What a person or a script may pass as --targets FILE: any bytes, as the file's text.
// (The file's own size limit is a test of its own; a file per input would slow the
// fuzzer a hundredfold.) A file that is accepted holds no line over the length limit and
// no more targets than a command takes, and its targets, printed one a line under their
// names and read back, are the same targets in the same order; a refused file says why.
//
// Input: the file's contents.

#include "FuzzCheck.h"
#include "cli/run/TargetList.h"

#include <algorithm>
#include <cstdint>
#include <tuple>

using namespace zorflash;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    CTargetList list;
    std::string error;
    if (!list.AddLines(text, "targets.txt", error)) {
        if (error.empty())
            FuzzFail("a refused file without a reason");
        return 0;
    }
    const auto& targets = list.Targets();
    if (!error.empty() || targets.size() > CTargetList::kMaxTargets)
        FuzzFail("an accepted file with an error or more targets than a command takes", error);
    // A byte-order mark an editor put first is no part of the first line.
    for (std::size_t begin = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0; begin < text.size();) {
        const std::size_t end = std::min(text.find('\n', begin), text.size());
        if (end - begin > 256)
            FuzzFail("a line over the length limit was accepted", text.substr(begin, end - begin));
        begin = end + 1;
    }

    std::string printed;
    for (const FleetTarget& target : targets)
        printed += target.Name() + "\n";
    CTargetList again;
    if (!again.AddLines(printed, "printed", error) || again.Targets().size() != targets.size())
        FuzzFail("the printed list does not read back", printed + error);
    const auto fields = [](const FleetTarget& t) { return std::tuple(t.kind, t.usbNumber, t.address, t.port); };
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (fields(targets[i]) != fields(again.Targets()[i]))
            FuzzFail("the printed list reads back with other targets", printed);
    }
    return 0;
}

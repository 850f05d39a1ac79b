// What a person or a script may pass as --targets FILE: any bytes, as the file's text.
// (The file's own size limit is a test of its own; a file per input would slow the
// fuzzer a hundredfold.) A file that is accepted holds no line over the length
// limit and no more targets than a command takes, and each of its targets, printed under
// its name and read back, is the same target; a file that is refused says why.
//
// Input: the file's contents.

#include "cli/TargetList.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace zorflash;

namespace {

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "target list: %s\n", what);
    std::abort();
}

constexpr std::size_t kMaxLineLength = 256;

bool Same(const FleetTarget& a, const FleetTarget& b)
{
    if (a.kind != b.kind)
        return false;
    return a.kind == FleetTarget::Kind::Usb ? a.usbNumber == b.usbNumber
                                            : a.address == b.address && a.port == b.port;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    CTargetList list;
    std::string error;
    if (!list.AddLines(text, "targets.txt", error)) {
        if (error.empty())
            Fail("a refused file without a reason");
        return 0;
    }
    if (!error.empty())
        Fail("an accepted file with an error");

    const auto& targets = list.Targets();
    if (targets.size() > CTargetList::kMaxTargets)
        Fail("more targets than a command takes");
    // A byte-order mark an editor put first is no part of the first line.
    for (std::size_t begin = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0; begin < text.size();) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            end = text.size();
        if (end - begin > kMaxLineLength)
            Fail("a line over the length limit was accepted");
        begin = end + 1;
    }

    // Printed one a line, as a person would write them back, the list reads the same.
    std::string printed;
    for (const FleetTarget& target : targets) {
        CTargetList one;
        if (!one.AddLines(target.Name(), "name", error) || one.Targets().size() != 1)
            Fail("a target's name does not read back");
        if (!Same(one.Targets()[0], target))
            Fail("a target's name reads back as another target");
        printed += target.Name() + "\n";
    }
    CTargetList again;
    if (!again.AddLines(printed, "printed", error) || again.Targets().size() != targets.size())
        Fail("the printed list does not read back");
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (!Same(again.Targets()[i], targets[i]))
            Fail("the printed list reads back in another order or with other targets");
    }
    return 0;
}

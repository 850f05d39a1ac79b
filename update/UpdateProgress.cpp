#include "update/UpdateProgress.h"

#include <algorithm>

namespace zorflash {

int UpdateProgress::Percent() const
{
    if (finished)
        return 100;
    if (total == 0)
        return 0;
    // The bytes may reach the total of the volumes known while another is still to come,
    // and a volume may hold bytes behind its last END.
    return static_cast<int>(std::min<uint64_t>(99, std::min(bytes, total) * 100 / total));
}

double UpdateProgress::Rate() const
{
    return seconds > 0 ? static_cast<double>(bytes) / seconds : 0.0;
}

double UpdateProgress::SecondsLeft() const
{
    if (finished)
        return 0.0;
    // With every byte known sent and no END yet, what is left lies in a volume whose size
    // is not known.
    const double rate = Rate();
    if (waiting || rate <= 0 || bytes >= total)
        return -1.0;
    return static_cast<double>(total - bytes) / rate;
}

bool UpdateProgress::NewStageSince(const UpdateProgress& last) const
{
    return volume != last.volume || volumes != last.volumes || section != last.section ||
           waiting != last.waiting || total != last.total;
}

}  // namespace zorflash

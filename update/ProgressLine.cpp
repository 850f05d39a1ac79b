#include "update/ProgressLine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zorflash {

std::string CProgressLine::FormatBytes(double bytes)
{
    char text[32];
    if (bytes < 1024.0)
        std::snprintf(text, sizeof text, "%.0f B", bytes);
    else if (bytes < 1024.0 * 1024.0)
        std::snprintf(text, sizeof text, "%.1f KiB", bytes / 1024.0);
    else
        std::snprintf(text, sizeof text, "%.1f MiB", bytes / (1024.0 * 1024.0));
    return text;
}

std::string CProgressLine::FormatDuration(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0)
        return "--:--";
    const long total = static_cast<long>(seconds + 0.5);
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, (total / 60) % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%02ld:%02ld", total / 60, total % 60);
    return text;
}

std::string CProgressLine::Format(uint64_t sent, uint64_t total, double elapsedSeconds, int width)
{
    // The total comes from the volumes' sizes, which may hold bytes behind the last END;
    // the bar never runs past full.
    const double fraction = total == 0 ? 0.0 : std::min(1.0, static_cast<double>(sent) / static_cast<double>(total));
    const int filled = static_cast<int>(fraction * width);
    std::string bar = "[" + std::string(static_cast<size_t>(filled), '#') +
                      std::string(static_cast<size_t>(width - filled), '.') + "]";
    const double rate = elapsedSeconds > 0 ? static_cast<double>(sent) / elapsedSeconds : 0.0;
    const double left = rate > 0 && total > sent ? static_cast<double>(total - sent) / rate : (total <= sent ? 0.0 : -1.0);
    char text[160];
    std::snprintf(text, sizeof text, "%s %3d%% %s/%s %s/s %s left", bar.c_str(), static_cast<int>(fraction * 100.0),
                  FormatBytes(static_cast<double>(sent)).c_str(), FormatBytes(static_cast<double>(total)).c_str(),
                  FormatBytes(rate).c_str(), FormatDuration(left).c_str());
    return text;
}

}  // namespace zorflash

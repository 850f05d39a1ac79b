#include "present/ProgressLine.h"

#include "present/DisplayTexts.h"
#include "present/DisplayWidth.h"

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

std::string CProgressLine::FormatSeconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

std::string CProgressLine::VolumeText(const UpdateProgress& progress)
{
    if (progress.volumes < 2)
        return {};
    return " vol " + std::to_string(progress.volume) + "/" + std::to_string(progress.volumes);
}

std::string CProgressLine::Fit(const std::string& status, const UpdateProgress& progress, int columns, Language language)
{
    const int budget = std::max(1, columns - 1);
    const int percentValue = progress.Percent();
    const double fraction = percentValue / 100.0;
    char percentText[8];
    std::snprintf(percentText, sizeof percentText, "%3d%%", percentValue);
    const std::string percent = percentText + VolumeText(progress);
    const std::string amounts = FormatBytes(static_cast<double>(progress.bytes)) + "/" +
                                FormatBytes(static_cast<double>(progress.total));
    const std::string speed = FormatBytes(progress.Rate()) + "/s " +
                              CDisplayTexts::Format(CDisplayTexts::Id::TimeLeft, language, {FormatDuration(progress.SecondsLeft())});

    // What goes first when the terminal is narrow: the rate, then the amounts, then the bar;
    // the percentage stays, and the status text is cut last.
    const int statusWidth = CDisplayWidth::Of(status);
    for (int drop = 0; drop < 4; ++drop) {
        std::string tail = " " + std::string(percent);
        if (drop < 2)
            tail += " " + amounts;
        if (drop < 1)
            tail += " " + speed;
        const int room = budget - statusWidth - 2 - CDisplayWidth::Of(tail);
        const int bar = drop < 3 ? std::min(30, room - 2) : 0;
        if (drop < 3 && bar < 8)
            continue;
        if (drop == 3 && room < 0)
            break;
        std::string line = status + "  ";
        if (bar > 0) {
            const int filled = static_cast<int>(fraction * bar);
            line += "[" + std::string(static_cast<size_t>(filled), '#') + std::string(static_cast<size_t>(bar - filled), '.') +
                    "]";
        }
        return line + (bar > 0 ? tail : tail.substr(1));
    }
    return CDisplayWidth::TruncateWords(status, budget);
}

std::string CProgressLine::Summary(uint64_t bytes, uint64_t records, double seconds, Language language)
{
    const double rate = seconds > 0 ? static_cast<double>(bytes) / seconds : 0.0;
    char time[32];
    std::snprintf(time, sizeof time, "%.1f", seconds);
    return CDisplayTexts::Format(CDisplayTexts::Id::SentSummary, language,
                                 {FormatBytes(static_cast<double>(bytes)), std::to_string(records), time,
                                  FormatBytes(rate)});
}

}  // namespace zorflash

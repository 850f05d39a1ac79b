#include "cli/output/PipeProgress.h"

#include "present/DisplayTexts.h"
#include "present/ProgressLine.h"

#include <algorithm>

namespace zorflash {

namespace {
constexpr std::chrono::seconds kQuietLimit{10};
}

std::string CPipeProgress::Next(const UpdateProgress& progress, Clock::time_point now, Language language)
{
    // Nothing is said before the first record goes out or while the operator is asked for
    // a volume: the status lines tell those. The last END is the status text's to tell.
    if (progress.bytes == 0 || progress.total == 0 || progress.waiting || progress.finished)
        return {};
    if (!m_started) {
        m_started = true;
        m_lastLine = now;
    }
    const int tenth = progress.Percent() / 10;
    if (tenth <= m_lastTenth && now - m_lastLine < kQuietLimit)
        return {};
    m_lastTenth = std::max(m_lastTenth, tenth);
    m_lastLine = now;
    // "40% 25.6 KiB/64.0 KiB vol 2/2, 12.3 KiB/s, 00:05 left", as the terminal's line words it.
    std::string line = std::to_string(progress.Percent()) + "% " +
                       CProgressLine::FormatBytes(static_cast<double>(progress.bytes)) + "/" +
                       CProgressLine::FormatBytes(static_cast<double>(progress.total)) +
                       CProgressLine::VolumeText(progress) + ", " + CProgressLine::FormatBytes(progress.Rate()) + "/s";
    const double left = progress.SecondsLeft();
    if (left >= 0)
        line += ", " + CDisplayTexts::Format(CDisplayTexts::Id::TimeLeft, language, {CProgressLine::FormatDuration(left)});
    return line;
}

}  // namespace zorflash

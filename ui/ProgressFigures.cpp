#include "ui/ProgressFigures.h"

#include "platform/StringResource.h"
#include "present/ProgressLine.h"

#include <algorithm>

namespace zorflash {

CProgressFigures::CProgressFigures(const UpdateProgress& progress, Language language)
    : m_progress(progress)
    , m_language(language)
{
}

std::string CProgressFigures::Figures() const
{
    return FormatStringResource(m_language, kIdsProgressFigures,
                                CProgressLine::FormatBytes(static_cast<double>(m_progress.bytes)).c_str(),
                                CProgressLine::FormatBytes(static_cast<double>(m_progress.total)).c_str(),
                                CProgressLine::FormatBytes(m_progress.Rate()).c_str(),
                                CProgressLine::FormatDuration(m_progress.SecondsLeft()).c_str());
}

std::string CProgressFigures::Place() const
{
    if (m_progress.volumes >= 2)
        return FormatStringResource(m_language, kIdsProgressVolume, m_progress.volume, m_progress.volumes);
    if (m_progress.sections >= 2)
        return FormatStringResource(m_language, kIdsProgressSection,
                                    std::clamp(m_progress.section, 1, m_progress.sections), m_progress.sections);
    return {};
}

std::string CProgressFigures::Title(int percent, const std::string& title)
{
    if (percent < 0)
        return title;
    return std::to_string(percent) + "% - " + title;
}

}  // namespace zorflash

#pragma once

#include "resources/strings/Language.h"
#include "update/UpdateProgress.h"

#include <string>

namespace zorflash {

constexpr unsigned kIdsProgressSection = 61334;
constexpr unsigned kIdsProgressFigures = 61335;
constexpr unsigned kIdsProgressVolume = 61350;

// What the status bar and the window title say about a running update, in the operator's
// language, from the values the engine hands over. No toolkit: every desktop view shows
// these texts as they are, so none can show 100 % while a volume is still to come.
class CProgressFigures {
public:
    CProgressFigures(const UpdateProgress& progress, Language language);

    // The bar's and the title's percent: 100 only after the last END.
    int Percent() const { return m_progress.Percent(); }
    // "1.5 MiB/3.0 MiB, 1.2 MiB/s, 00:02 left": the bytes of the volumes known, the rate
    // without the time the disk prompt waited, and the time left ("--:--" while unknown).
    std::string Figures() const;
    // Where in the file the update is: "Volume 2/2" for a file of two volumes (the one
    // being sent or asked for), else "Section 2/2" for a file of two sections, else empty.
    // One of them: the status bar has room for the widest figures and one such label.
    std::string Place() const;

    // "42% - Zorflash" while an update runs (percent 0..100), the title alone otherwise.
    static std::string Title(int percent, const std::string& title);

private:
    UpdateProgress m_progress;
    Language m_language;
};

}  // namespace zorflash

#include "cli/output/NextStep.h"

#include "cli/output/CliStringIds.h"
#include "platform/StringResource.h"

namespace zorflash {

std::string NextStepLine(const OutcomeRow& row, bool leftIncomplete, Language language)
{
    std::string step = row.NextStep(language);
    if (leftIncomplete)
        step = std::string(COutcomeTable::IncompleteNote(language)) + (language == Language::Japanese ? "" : " ") + step;
    return FormatStringResource(language, kIdsNextStep, step.c_str());
}

}  // namespace zorflash

#include "present/OutcomeTable.h"

#include "platform/StringResource.h"
#include "present/DisplayWidth.h"
#include "update/UpdateProtocol.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace zorflash {
namespace {

TEST(OutcomeTable, EveryOutcomeHasItsCodeNameWordsAndNextStep)
{
    std::set<std::string> names;
    for (const OutcomeRow& row : COutcomeTable::Rows()) {
        SCOPED_TRACE(row.name);
        EXPECT_TRUE(names.insert(row.name).second) << "JSON names tell outcomes apart";
        for (Language language : {Language::English, Language::Japanese}) {
            EXPECT_GT(std::string(row.NextStep(language)).size(), 4u);
            const int width = CDisplayWidth::Of(row.Label(language));
            EXPECT_TRUE(width > 0 && width <= 20) << "a table column, not a sentence: " << row.Label(language);
        }
        EXPECT_STRNE(row.Label(Language::English), row.Label(Language::Japanese));
        EXPECT_STRNE(row.NextStep(Language::English), row.NextStep(Language::Japanese));
        // OutcomeVerdict, exit code and colour must tell one story.
        switch (row.verdict) {
        case OutcomeVerdict::Completed:
            EXPECT_TRUE(row.exitCode == kExitCompleted || row.exitCode == kExitStatusFileLost);
            EXPECT_NE(row.colour, OutcomeColour::Red);
            break;
        case OutcomeVerdict::Failed:
            EXPECT_EQ(row.exitCode, kExitFailed);
            EXPECT_EQ(row.colour, OutcomeColour::Red);
            break;
        case OutcomeVerdict::Cancelled:
            EXPECT_EQ(row.exitCode, kExitCancelled);
            break;
        case OutcomeVerdict::Interrupted:
            EXPECT_EQ(row.exitCode, kExitInterrupted);
            break;
        }
    }
    // Scripts compare these names: the engine's own must come through byte for byte.
    for (int i = 0; i <= static_cast<int>(UpdateOutcome::Interrupted); ++i) {
        const auto outcome = static_cast<UpdateOutcome>(i);
        EXPECT_STREQ(COutcomeTable::Of(outcome).name, OutcomeName(outcome));
    }
    EXPECT_EQ(COutcomeTable::Of(UpdateOutcome::Completed).colour, OutcomeColour::Green);
    EXPECT_STREQ(COutcomeTable::PromptUnanswered().name, "prompt-unanswered");
    EXPECT_EQ(COutcomeTable::PromptUnanswered().exitCode, kExitFailed) << "no operator chose to cancel";
    EXPECT_EQ(COutcomeTable::StatusFileLost().exitCode, kExitStatusFileLost);
    EXPECT_EQ(COutcomeTable::Named("prompt-unanswered"), &COutcomeTable::PromptUnanswered());
    EXPECT_EQ(COutcomeTable::Named("no-such-outcome"), nullptr);
    // --help lists every code a run can end with.
    std::set<int> documented;
    for (const ExitCodeMeaning& code : COutcomeTable::ExitCodes())
        documented.insert(code.code);
    for (const OutcomeRow& row : COutcomeTable::Rows())
        EXPECT_TRUE(documented.count(row.exitCode)) << row.name;
}

TEST(OutcomeTable, FleetEndsWithItsGravestTargetsCode)
{
    struct Case {
        std::vector<int> targets;
        int fleet;
    };
    for (const Case& c : {Case{{}, kExitFailed}, Case{{0, 0}, 0}, Case{{0, 4, 0}, 4}, Case{{4, 3}, 3},
                          Case{{3, 1, 0}, 1}, Case{{1, 143, 3}, 143}, Case{{130, 1}, 130}})
        EXPECT_EQ(COutcomeTable::FleetExitCode(c.targets), c.fleet) << ::testing::PrintToString(c.targets);
}

TEST(OutcomeTable, OnlyAnUnfinishedUpdateThatSentRecordsLeavesTheInstrumentIncomplete)
{
    UpdateResult result;
    result.records = 3;
    result.bytes = 900;
    EXPECT_FALSE(COutcomeTable::LeftIncomplete(result)) << "completed";
    result.outcome = UpdateOutcome::CommunicationError;
    EXPECT_TRUE(COutcomeTable::LeftIncomplete(result));
    result.records = 0;  // the first block's write broke off halfway
    EXPECT_TRUE(COutcomeTable::LeftIncomplete(result));
    result.bytes = 0;
    result.outcome = UpdateOutcome::HeaderTransferError;
    EXPECT_FALSE(COutcomeTable::LeftIncomplete(result)) << "refused before any record";
}

// README's operator tables: the last cell of each row, keyed by its first cell, as a
// reader sees them (without the code marks).
std::map<std::string, std::string> ReadmeWhatYouDo()
{
    std::ifstream file(ZORFLASH_README);
    std::map<std::string, std::string> cells;
    std::string line;
    while (std::getline(file, line)) {
        if (line.rfind("| ", 0) != 0)
            continue;
        std::erase(line, '`');
        const std::size_t firstEnd = line.find(" |");
        const std::size_t lastStart = line.rfind("| ", line.size() - 3);
        if (firstEnd != std::string::npos && lastStart > firstEnd)
            cells[line.substr(2, firstEnd - 2)] = line.substr(lastStart + 2, line.size() - lastStart - 4);
    }
    return cells;
}

TEST(OutcomeTable, ReadmeTellsTheOperatorTheSameNextSteps)
{
    const std::map<std::string, std::string> readme = ReadmeWhatYouDo();
    ASSERT_FALSE(readme.empty()) << ZORFLASH_README;
    // The rows of the status messages, found by the message an outcome leaves.
    const std::map<std::string, unsigned> messages = {
        {"completed", IDS_TRANSFER_COMPLETED}, {"cancelled", IDS_ABORTED_BY_INSTRUCTION},
        {"invalid-rom-type", IDS_INVALID_ROM_TYPE}, {"incorrect-input-file", IDS_INCORRECT_INPUT_FILE},
        {"incorrect-checksum", IDS_INCORRECT_CHECKSUM}, {"no-end-record", IDS_NO_END_RECORD},
        {"target-not-opened", IDS_CANNOT_OPEN_TARGET}, {"communication-error", IDS_COMMUNICATION_ERROR},
        {"setup-failure", IDS_SETUP_FAILURE}, {"no-identification", IDS_NO_MORVENAL},
        {"header-size-failure", IDS_HEADER_SIZE_FAILURE}, {"header-transfer-error", IDS_HEADER_TRANSFER_ERROR}};
    for (const OutcomeRow& row : COutcomeTable::Rows()) {
        const auto message = messages.find(row.name);
        std::string key = row.name;
        if (message != messages.end()) {
            key = LoadStringResource(message->second, Language::English);
            key = key.substr(key.find_first_not_of("\r\n"));
            key = key.substr(0, key.find_last_not_of("\r\n") + 1);
        }
        const auto cell = readme.find(key);
        ASSERT_NE(cell, readme.end()) << "README has no row for " << key;
        EXPECT_EQ(cell->second, row.NextStep(Language::English)) << key;
    }
    std::stringstream text;
    text << std::ifstream(ZORFLASH_README).rdbuf();
    EXPECT_NE(text.str().find(COutcomeTable::IncompleteNote(Language::English)), std::string::npos);
}

}  // namespace
}  // namespace zorflash

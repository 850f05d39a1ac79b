// What zorflash-cli tells an operator beside the status text: the piped progress lines and
// the next step after a failure.

#include "cli/output/NextStep.h"
#include "cli/output/PipeProgress.h"

#include <gtest/gtest.h>

using namespace zorflash;

TEST(PipeProgress, ALineEveryTenthOrEveryTenSecondsAndNoneThatCouldMislead)
{
    CPipeProgress pipe;
    UpdateProgress p;
    p.total = 1000;
    const auto t0 = CPipeProgress::Clock::now();
    EXPECT_EQ(pipe.Next(p, t0), "") << "nothing sent yet";
    p.bytes = 50;
    EXPECT_EQ(pipe.Next(p, t0), "");
    p.bytes = 99;
    EXPECT_EQ(pipe.Next(p, t0 + std::chrono::seconds(9)), "");
    EXPECT_EQ(pipe.Next(p, t0 + std::chrono::seconds(10)).rfind("9% ", 0), 0u) << "a slow link still shows life";
    p.bytes = 100;
    EXPECT_EQ(pipe.Next(p, t0 + std::chrono::seconds(10)).rfind("10% 100 B/1000 B", 0), 0u);
    p.bytes = 190;
    EXPECT_EQ(pipe.Next(p, t0 + std::chrono::seconds(11)), "");
    p.bytes = 450;  // a large block skips tenths: one line, not one per tenth
    EXPECT_EQ(pipe.Next(p, t0 + std::chrono::seconds(11)).rfind("45% ", 0), 0u);
    p.waiting = true;
    EXPECT_EQ(pipe.Next(p, t0 + std::chrono::seconds(60)), "") << "the disk prompt speaks for itself";
    p.waiting = false;
    p.bytes = p.total = 1000;
    EXPECT_EQ(pipe.Next(p, t0 + std::chrono::seconds(61)).rfind("99% ", 0), 0u)
        << "100 % only with the last END";
    p.finished = true;
    EXPECT_EQ(pipe.Next(p, t0 + std::chrono::seconds(90)), "");
}

TEST(NextStep, OneLinePerOutcomeInBothLanguagesWarningOfAnIncompleteUpdateOnlyWhenAsked)
{
    for (const OutcomeRow& row : COutcomeTable::Rows()) {
        for (Language language : {Language::English, Language::Japanese}) {
            const std::string plain = NextStepLine(row, false, language);
            const std::string warned = NextStepLine(row, true, language);
            const std::string note = COutcomeTable::IncompleteNote(language);
            EXPECT_EQ(plain.find('\n'), std::string::npos) << row.name;
            EXPECT_EQ(plain.find(note), std::string::npos) << row.name;
            EXPECT_NE(plain.find(row.NextStep(language)), std::string::npos) << row.name;
            EXPECT_LT(warned.find(note), warned.find(row.NextStep(language))) << row.name;
            EXPECT_EQ(plain.rfind(language == Language::English ? "next step: " : "次の手順: ", 0), 0u) << row.name;
        }
    }
}

// The about box's version line is the one text that states the version outside the
// generated header: a release that moves the project's version must move it too.
#include "resources/ui/DialogTemplate.h"

#include "ZorflashVersion.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace zorflash;

TEST(AboutVersionTest, AboutBoxShowsTheProjectVersionInBothLanguages)
{
    // The about box writes the version as major.minor with two digits: 1.0.0 is "1.00".
    char number[16];
    std::snprintf(number, sizeof number, "%d.%02d", kZorflashVersionMajor, kZorflashVersionMinor);
    const struct {
        Language language;
        std::string expected;
    } cases[] = {{Language::English, std::string("Zorflash Ver. ") + number},
                 {Language::Japanese, std::string("Zorflash Ver.") + number}};
    for (const auto& c : cases) {
        const DialogTemplate* about = FindDialogTemplate(kIddAboutBox, c.language);
        ASSERT_NE(about, nullptr);
        ASSERT_GT(about->itemCount, 0u);
        EXPECT_EQ(about->items[0].text, c.expected);
    }
}

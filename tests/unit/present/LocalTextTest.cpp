// The words around the figures and the reasons, in both languages: a translation that
// drops or adds a place would put a value in the wrong sentence or lose it.

#include "present/DisplayTexts.h"
#include "present/LocalText.h"

#include <gtest/gtest.h>

using namespace zorflash;

namespace {
int Places(const std::string& text)
{
    int places = 0;
    for (std::size_t at = text.find("{}"); at != std::string::npos; at = text.find("{}", at + 2))
        ++places;
    return places;
}
}  // namespace

TEST(DisplayTexts, EveryTextHasBothLanguagesWithTheSamePlaces)
{
    for (int i = 0; i <= static_cast<int>(CDisplayTexts::Id::UsageRunHelp); ++i) {
        const auto id = static_cast<CDisplayTexts::Id>(i);
        const std::string english = CDisplayTexts::Text(id, Language::English);
        const std::string japanese = CDisplayTexts::Text(id, Language::Japanese);
        EXPECT_FALSE(japanese.empty()) << english;
        EXPECT_EQ(Places(english), Places(japanese)) << english << " / " << japanese;
        // A sentence only of places reads the same in both; any other must be translated.
        EXPECT_TRUE(english.find_first_not_of("{}: ") == std::string::npos || english != japanese) << english;
    }
}

TEST(LocalText, ValuesAreWordedInTheLanguageOfTheSentenceAndNeverReadAsPlaces)
{
    using Id = CDisplayTexts::Id;
    const CLocalText reason =
        CLocalText::Say(Id::ReasonTcpError, {"10.0.0.1:8023", "Connection refused"}) + " / " +
        CLocalText::Say(Id::ReasonNoPromptAsks, {CLocalText::Say(Id::VolumeIs, {"2", "a{}b.R71",
                                                                               CLocalText::Say(Id::VolumeMissingWord)})});
    EXPECT_EQ(reason.Text(Language::English), "cannot open target 10.0.0.1:8023: Connection refused / "
                                              "--no-prompt asks nobody: volume 2 a{}b.R71 is missing");
    EXPECT_EQ(reason.Text(Language::Japanese), "ターゲット 10.0.0.1:8023 をオープンできません: Connection refused / "
                                               "--no-prompt のため誰にも尋ねません: ボリューム 2（a{}b.R71）は見つかりません");
    EXPECT_EQ(CLocalText::Both("one", "一").Text(Language::Japanese), "一");
    EXPECT_TRUE(CLocalText(std::string()).Empty());
}

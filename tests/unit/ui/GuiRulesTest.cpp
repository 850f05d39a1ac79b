// The form's rules that need no window. Loading and storing the settings dialog, the
// header preview and the document are shown through the window in the GUI tests.
#include "platform/StringResource.h"
#include "ui/CommSettingsRules.h"
#include "ui/EditLines.h"
#include "ui/FileFilter.h"
#include "ui/LinkSummary.h"
#include "ui/ProgressFigures.h"

#include <gtest/gtest.h>

#include <limits>

using namespace zorflash;

namespace {
struct SummaryCase {
    uint32_t address;
    int32_t port;
    uint8_t useUsb;
    uint8_t fastMode;
    const char* expected;
};

class LinkSummaryTest : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(LinkSummaryTest, ShowsTransportAddressAndMode)
{
    UpdateSettings s;
    ApplyNewDocumentDefaults(s);
    s.ipAddress = GetParam().address;
    s.port = GetParam().port;
    s.useUsb = GetParam().useUsb;
    s.fastMode = GetParam().fastMode;
    EXPECT_EQ(FormatLinkSummary(s), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Summaries, LinkSummaryTest,
    ::testing::Values(SummaryCase{0x0A000019, 80, 0, 0, "TCP/IP:  10.  0.  0. 25  Port 80"},
                      SummaryCase{0xFFFFFFFF, 99999, 0, 1, "TCP/IP: 255.255.255.255  Port 99999"},
                      SummaryCase{0, 0, 0, 1, "TCP/IP:   0.  0.  0.  0  Port 0"},
                      SummaryCase{0xC0A80001, 8023, 1, 0, "USB: Normal Mode"}));

TEST(FileFilterTest, UpdateFileFilterNamesTheModelsExtensionInBothLanguages)
{
    EXPECT_EQ(ConvertFilterToQt(BuildUpdateFileFilter("R71", Language::English)), "Update File (*.R71);;All Files (*)");
    // A model row without an extension must not bring printf a null pointer.
    EXPECT_EQ(BuildUpdateFileFilter(nullptr, Language::English), "Update File (*.)|*.|All Files (*.*)|*.*||");
    EXPECT_EQ(ConvertFilterToQt(BuildUpdateFileFilter("N60", Language::Japanese)),
              "アップデートファイル (*.N60);;全てのファイル (*)");
}

struct FilterCase {
    const char* filter;
    const char* expected;
};

class FilterConversionTest : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilterConversionTest, ConvertsToQtsForm)
{
    EXPECT_EQ(ConvertFilterToQt(GetParam().filter), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, FilterConversionTest,
    // "*.*" would show only names with a dot; Qt's "*" shows every file.
    ::testing::Values(FilterCase{"All|*.*||", "All (*)"},
                      FilterCase{"Images (*.png)|*.png;*.bmp||", "Images (*.png *.bmp)"},
                      FilterCase{"Only name|||", "Only name (*)"},
                      // Anything behind the terminating "||" is not a filter entry.
                      FilterCase{"A|*.a||B|*.b|", "A (*.a)"}, FilterCase{"", ""},
                      FilterCase{"No end|*.x", "No end (*.x)"}));

struct LinesCase {
    const char* text;
    std::vector<std::string> lines;
};

class EditLinesTest : public ::testing::TestWithParam<LinesCase> {};

TEST_P(EditLinesTest, BreaksOnlyAtCrLf)
{
    EXPECT_EQ(SplitEditLines(GetParam().text), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Lines, EditLinesTest,
                         ::testing::Values(LinesCase{"", {""}}, LinesCase{"a\r\n", {"a", ""}},
                                           LinesCase{"a\nb\rc", {"a b c"}}, LinesCase{"a\r\r\nb", {"a ", "b"}}));

struct PortCase {
    const char* text;
    int32_t port;
};

class PortTextTest : public ::testing::TestWithParam<PortCase> {};

TEST_P(PortTextTest, ReadsTheLeadingDecimalNumber)
{
    EXPECT_EQ(ParsePortText(GetParam().text), GetParam().port);
}

INSTANTIATE_TEST_SUITE_P(
    Ports, PortTextTest,
    ::testing::Values(PortCase{"", 0}, PortCase{"  42", 42}, PortCase{"-5", -5}, PortCase{"12ab3", 12},
                      PortCase{"-", 0}, PortCase{"0008023", 8023},
                      // Too long for the field: held at its limit, never wrapped to another port.
                      PortCase{"99999999999999999999", std::numeric_limits<int32_t>::max()},
                      PortCase{"-99999999999999999999", std::numeric_limits<int32_t>::min()},
                      PortCase{"2147483648", std::numeric_limits<int32_t>::max()}));
}  // namespace

// The status bar and the title while volume 2 of a SUB file is asked for: which volume
// (in the section's place), no time left, never 100 % before the last END.
TEST(ProgressFiguresTest, SayWhichVolumeAndAreNeverFullBeforeTheLastEnd)
{
    UpdateProgress p;
    p.bytes = p.total = 775884;
    p.seconds = 2.0;
    p.section = p.sections = p.volume = p.volumes = 2;
    p.waiting = true;
    const CProgressFigures asked(p, Language::English);
    EXPECT_EQ(asked.Place(), "Volume 2/2");
    EXPECT_EQ(asked.Figures(), "757.7 KiB/757.7 KiB, 378.8 KiB/s, --:-- left");
    EXPECT_EQ(CProgressFigures::Title(asked.Percent(), "Zorflash"), "99% - Zorflash");
    EXPECT_EQ(CProgressFigures(p, Language::Japanese).Place(), "ﾎﾞﾘｭｰﾑ 2/2");
    p.volumes = 1;
    EXPECT_EQ(CProgressFigures(p, Language::English).Place(), "Section 2/2");
    EXPECT_EQ(CProgressFigures::Title(-1, "fw1.R71 - Zorflash"), "fw1.R71 - Zorflash");
}

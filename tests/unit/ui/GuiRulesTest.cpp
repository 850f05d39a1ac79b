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
TEST(LinkSummaryTest, ShowsTransportAddressAndMode)
{
    const struct {
        uint32_t address;
        int32_t port;
        uint8_t useUsb;
        uint8_t fastMode;
        const char* expected;
    } cases[] = {{0x0A000019, 80, 0, 0, "TCP/IP:  10.  0.  0. 25  Port 80"},
                 {0xFFFFFFFF, 99999, 0, 1, "TCP/IP: 255.255.255.255  Port 99999"},
                 {0, 0, 0, 1, "TCP/IP:   0.  0.  0.  0  Port 0"},
                 {0xC0A80001, 8023, 1, 0, "USB: Normal Mode"}};
    for (const auto& c : cases) {
        UpdateSettings s;
        ApplyNewDocumentDefaults(s);
        s.ipAddress = c.address;
        s.port = c.port;
        s.useUsb = c.useUsb;
        s.fastMode = c.fastMode;
        EXPECT_EQ(FormatLinkSummary(s), c.expected);
    }
}

TEST(FileFilterTest, NamesTheModelsExtensionInBothLanguagesAndConvertsToQtsForm)
{
    EXPECT_EQ(ConvertFilterToQt(BuildUpdateFileFilter("R71", Language::English)), "Update File (*.R71);;All Files (*)");
    // A model row without an extension must not bring printf a null pointer.
    EXPECT_EQ(BuildUpdateFileFilter(nullptr, Language::English), "Update File (*.)|*.|All Files (*.*)|*.*||");
    EXPECT_EQ(ConvertFilterToQt(BuildUpdateFileFilter("N60", Language::Japanese)),
              "アップデートファイル (*.N60);;全てのファイル (*)");
    const std::pair<const char*, const char*> cases[] = {
        // "*.*" would show only names with a dot; Qt's "*" shows every file.
        {"All|*.*||", "All (*)"},
        {"Images (*.png)|*.png;*.bmp||", "Images (*.png *.bmp)"},
        {"Only name|||", "Only name (*)"},
        // Anything behind the terminating "||" is not a filter entry.
        {"A|*.a||B|*.b|", "A (*.a)"},
        {"", ""},
        {"No end|*.x", "No end (*.x)"}};
    for (const auto& [filter, expected] : cases)
        EXPECT_EQ(ConvertFilterToQt(filter), expected) << filter;
}

TEST(EditLinesTest, BreaksOnlyAtCrLf)
{
    EXPECT_EQ(SplitEditLines(""), std::vector<std::string>{""});
    EXPECT_EQ(SplitEditLines("a\r\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(SplitEditLines("a\nb\rc"), std::vector<std::string>{"a b c"});
    EXPECT_EQ(SplitEditLines("a\r\r\nb"), (std::vector<std::string>{"a ", "b"}));
}

TEST(PortTextTest, ReadsTheLeadingDecimalNumber)
{
    const std::pair<const char*, int32_t> cases[] = {
        {"", 0}, {"  42", 42}, {"-5", -5}, {"12ab3", 12}, {"-", 0}, {"0008023", 8023},
        // Too long for the field: held at its limit, never wrapped to another port.
        {"99999999999999999999", std::numeric_limits<int32_t>::max()},
        {"-99999999999999999999", std::numeric_limits<int32_t>::min()},
        {"2147483648", std::numeric_limits<int32_t>::max()}};
    for (const auto& [text, port] : cases)
        EXPECT_EQ(ParsePortText(text), port) << '"' << text << '"';
}
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

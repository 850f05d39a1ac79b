#include "platform/StringResource.h"
#include "ui/CommSettingsRules.h"
#include "ui/EditLines.h"
#include "ui/FileFilter.h"
#include "ui/LinkSummary.h"

#include <gtest/gtest.h>

#include <limits>

namespace {
UpdateSettings StartedSettings(int model = 0)
{
    UpdateSettings s;
    ApplyNewDocumentDefaults(s);
    ApplyModelSelection(s, model);
    return s;
}

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
    const SummaryCase& c = GetParam();
    UpdateSettings s = StartedSettings();
    s.ipAddress = c.address;
    s.port = c.port;
    s.useUsb = c.useUsb;
    s.fastMode = c.fastMode;
    EXPECT_EQ(FormatLinkSummary(s), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Summaries, LinkSummaryTest,
    ::testing::Values(SummaryCase{0xC0A80001, 8023, 0, 1, "TCP/IP: 192.168.  0.  1  Port 8023"},
                      SummaryCase{0x0A000019, 80, 0, 0, "TCP/IP:  10.  0.  0. 25  Port 80"},
                      SummaryCase{0xFFFFFFFF, 99999, 0, 1, "TCP/IP: 255.255.255.255  Port 99999"},
                      SummaryCase{0, 0, 0, 1, "TCP/IP:   0.  0.  0.  0  Port 0"},
                      SummaryCase{0x7F000001, -1, 0, 1, "TCP/IP: 127.  0.  0.  1  Port -1"},
                      // Over USB the address is not shown, whatever it holds.
                      SummaryCase{0xC0A80001, 8023, 1, 1, "USB: Fast Mode"},
                      SummaryCase{0xC0A80001, 8023, 1, 0, "USB: Normal Mode"}));

TEST(FileFilterTest, UpdateFileFilterNamesTheModelsExtensionInBothLanguages)
{
    SetResourceLanguage(Language::English);
    EXPECT_EQ(BuildUpdateFileFilter("R71"), "Update File (*.R71)|*.R71|All Files (*.*)|*.*||");
    EXPECT_EQ(ConvertFilterToQt(BuildUpdateFileFilter("R71")), "Update File (*.R71);;All Files (*)");
    SetResourceLanguage(Language::Japanese);
    EXPECT_EQ(ConvertFilterToQt(BuildUpdateFileFilter("N60")),
              "アップデートファイル (*.N60);;全てのファイル (*)");
    SetResourceLanguage(Language::English);
    // A model row without an extension must not bring printf a null pointer.
    EXPECT_EQ(BuildUpdateFileFilter(nullptr), "Update File (*.)|*.|All Files (*.*)|*.*||");
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
    ::testing::Values(FilterCase{"Text|*.txt||", "Text (*.txt)"},
                      FilterCase{"Images (*.png)|*.png;*.bmp||", "Images (*.png *.bmp)"},
                      FilterCase{"All|*.*||", "All (*)"},
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

INSTANTIATE_TEST_SUITE_P(
    Lines, EditLinesTest,
    ::testing::Values(LinesCase{"", {""}}, LinesCase{"a\r\n", {"a", ""}}, LinesCase{"a\r\nb", {"a", "b"}},
                      LinesCase{"\r\n\r\n", {"", "", ""}}, LinesCase{"a\nb\rc", {"a b c"}},
                      LinesCase{"a\r\r\nb", {"a ", "b"}},
                      LinesCase{"Sending START record...\r\nSending (65) Record",
                                {"Sending START record...", "Sending (65) Record"}}));

TEST(CommSettingsRulesTest, LoadFollowsTheRecordAndTheModelsPermissions)
{
    CommSettingsControls c = LoadCommSettings(StartedSettings(0));
    EXPECT_TRUE(c.tcpChecked);
    EXPECT_FALSE(c.usbChecked);
    EXPECT_TRUE(c.tcpEnabled && c.usbEnabled && c.addressEnabled);
    EXPECT_EQ(c.address, 0xC0A80001u);
    EXPECT_EQ(c.portText, "8023");
    EXPECT_TRUE(c.fastChecked);

    // The model whose row forbids TCP/IP.
    c = LoadCommSettings(StartedSettings(1));
    EXPECT_FALSE(c.tcpChecked);
    EXPECT_TRUE(c.usbChecked);
    EXPECT_FALSE(c.tcpEnabled);
    EXPECT_TRUE(c.usbEnabled);
    EXPECT_FALSE(c.addressEnabled);

    UpdateSettings s = StartedSettings(0);
    s.fastMode = 0;
    s.port = -7;
    c = LoadCommSettings(s);
    EXPECT_FALSE(c.fastChecked);
    EXPECT_EQ(c.portText, "-7");
}

TEST(CommSettingsRulesTest, StoreTakesEveryFieldAndKeepsTheRest)
{
    UpdateSettings s = StartedSettings(0);
    s.filePath = "/data/fw1.R71";
    CommSettingsControls c = LoadCommSettings(s);
    c.tcpChecked = false;
    c.usbChecked = true;
    c.addressEnabled = false;
    c.address = 0x0A000019;
    c.portText = "";
    c.fastChecked = false;
    StoreCommSettings(c, s);
    EXPECT_EQ(s.useUsb, 1);
    // Stored although their controls were disabled.
    EXPECT_EQ(s.ipAddress, 0x0A000019u);
    EXPECT_EQ(s.port, 0);
    EXPECT_EQ(s.fastMode, 0);
    EXPECT_EQ(s.filePath, "/data/fw1.R71");
    EXPECT_EQ(s.modelIndex, 0);

    // Only the TCP/IP button is read: neither checked means USB.
    c.tcpChecked = false;
    c.usbChecked = false;
    StoreCommSettings(c, s);
    EXPECT_EQ(s.useUsb, 1);
}

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
    ::testing::Values(PortCase{"8023", 8023}, PortCase{"", 0}, PortCase{"99999", 99999}, PortCase{"  42", 42},
                      PortCase{"+17", 17}, PortCase{"-5", -5}, PortCase{"12ab3", 12}, PortCase{"abc", 0},
                      PortCase{"-", 0}, PortCase{"0008023", 8023},
                      // Too long for the field: held at its limit, never wrapped to another port.
                      PortCase{"99999999999999999999", std::numeric_limits<int32_t>::max()},
                      PortCase{"-99999999999999999999", std::numeric_limits<int32_t>::min()},
                      PortCase{"2147483648", std::numeric_limits<int32_t>::max()}));
}  // namespace

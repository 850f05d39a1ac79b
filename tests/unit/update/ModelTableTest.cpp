#include "UpdateFileBuilder.h"

#include "update/DeviceModel.h"
#include "update/UpdateSettings.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Row {
    const char* name;
    const char* extension;
    const char* token;
    const char* query;
    bool tcp;
};

const Row kRows[] = {
    {"RT71", "R71", "RT71", ":IF:ID?", true},          {"RT23", "R23", "RT23", ":IF:ID?", false},
    {"RT54", "R54", "RT54", ":IF:ID?", true},          {"RT36/38/39", "R38", "RT38", ":IF:ID?", true},
    {"KP90", "K90", "KP90", ":OPT:ID?", true},         {"NB61/63", "N60", "NB60", ":OPT:ID?", true},
    {"RT85/86", "R85", "RT85", ":OPT:ID?", true},
};

TEST(ModelTable, RowsAndHeaderLinesAreExact)
{
    for (int i = 0; i < kDeviceModelCount; ++i) {
        const DeviceModel& m = g_deviceModelTable[i];
        const Row& r = kRows[i];
        SCOPED_TRACE(r.name);
        EXPECT_STREQ(m.displayName, r.name);
        EXPECT_STREQ(m.fileExtension, r.extension);
        EXPECT_STREQ(m.idQuery, r.query);
        EXPECT_EQ(m.tcpAllowed != 0, r.tcp);
        EXPECT_NE(m.usbAllowed, 0);
        const std::pair<const char*, RomKind> kinds[] = {{"MAIN", kRomMain}, {"SUB", kRomSub}, {"PATTERN", kRomPattern}};
        for (const auto& [word, kind] : kinds) {
            const char* line = HeaderLineOf(m, kind);
            ASSERT_NE(line, nullptr);
            EXPECT_EQ(std::strlen(line), 32u);
            EXPECT_EQ(std::string(line), testsupport::HeaderLine(r.token, word));
        }
    }
    const DeviceModel& end = g_deviceModelTable[kDeviceModelCount];
    EXPECT_EQ(end.displayName, nullptr);
    EXPECT_EQ(end.mainHeaderLine, nullptr);
    EXPECT_EQ(end.tcpAllowed | end.usbAllowed, 0);
    EXPECT_EQ(HeaderLineOf(g_deviceModelTable[0], kRomKindUnchecked), nullptr);
}

TEST(ModelTable, FoundByNameInAnyCaseOrByIndex)
{
    EXPECT_EQ(FindDeviceModel("RT71"), 0);
    EXPECT_EQ(FindDeviceModel("rt36/38/39"), 3);
    EXPECT_EQ(FindDeviceModel("6"), 6);
    EXPECT_EQ(FindDeviceModel("7"), -1);
    EXPECT_EQ(FindDeviceModel("RT38"), -1);  // a header token is not a model name
    EXPECT_EQ(FindDeviceModel(""), -1);
}

TEST(Settings, NewDocumentAndModelSelection)
{
    UpdateSettings s;
    s.filePath = "/fw/a1.R71";
    s.fileName = "a1.R71";
    s.ipAddress = 0x0A000019;
    s.port = 80;
    s.useUsb = 1;
    s.fastMode = 0;
    ApplyNewDocumentDefaults(s);
    EXPECT_EQ(s.ipAddress, 0xC0A80001u);
    EXPECT_EQ(s.port, 8023);
    EXPECT_EQ(s.useUsb, 0);
    EXPECT_EQ(s.fastMode, 1);
    EXPECT_EQ(s.fileName, "");
    EXPECT_EQ(s.filePath, "/fw/a1.R71");  // the path survives a new document

    ApplyModelSelection(s, 1);  // RT23 is USB only
    EXPECT_EQ(s.modelIndex, 1);
    EXPECT_EQ(s.useUsb, 1);
    EXPECT_EQ(s.model.idQuery, g_deviceModelTable[1].idQuery);  // the same static text
    s.port = 99999;
    ApplyModelSelection(s, 4);
    EXPECT_EQ(s.useUsb, 0);
    EXPECT_EQ(s.port, 99999);  // address, port and fast mode are kept
    EXPECT_EQ(s.fastMode, 1);
    ApplyModelSelection(s, 7);  // no such row: nothing changes
    EXPECT_EQ(s.modelIndex, 4);
}

}  // namespace

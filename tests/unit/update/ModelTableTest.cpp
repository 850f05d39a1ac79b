#include "UpdateFileBuilder.h"

#include "update/DeviceModel.h"
#include "update/UpdateSettings.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace zorflash;

namespace {

// What the code relies on, not the table's values: three header lines of 32 bytes per
// model (the volume opener compares them whole) and the end row.
TEST(ModelTable, EveryRowHasItsThreeHeaderLinesAndTheTableEnds)
{
    for (int i = 0; i < kDeviceModelCount; ++i) {
        const DeviceModel& m = g_deviceModelTable[i];
        SCOPED_TRACE(m.displayName);
        for (RomKind kind : {kRomMain, kRomSub, kRomPattern}) {
            ASSERT_NE(HeaderLineOf(m, kind), nullptr);
            EXPECT_EQ(std::strlen(HeaderLineOf(m, kind)), 32u);
        }
    }
    EXPECT_EQ(g_deviceModelTable[kDeviceModelCount].displayName, nullptr);
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

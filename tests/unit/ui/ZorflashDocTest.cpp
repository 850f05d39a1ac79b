#include "app/ZorflashDoc.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {
TEST(ZorflashDocTest, NewDocumentRestoresTheLinkAndKeepsTheChosenPath)
{
    CZorflashDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    UpdateSettings& s = doc.GetSettings();
    EXPECT_EQ(s.ipAddress, 0xC0A80001u);
    EXPECT_EQ(s.port, 8023);
    EXPECT_EQ(s.useUsb, 0);
    EXPECT_EQ(s.fastMode, 1);
    EXPECT_TRUE(s.filePath.empty());
    EXPECT_TRUE(s.fileName.empty());

    ApplyModelSelection(s, 1);
    s.ipAddress = 0x7F000001;
    s.port = 1;
    s.fastMode = 0;
    s.filePath = "/tmp/fw1.R23";
    s.fileName = "fw1.R23";
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(s.ipAddress, 0xC0A80001u);
    EXPECT_EQ(s.port, 8023);
    EXPECT_EQ(s.useUsb, 0);
    EXPECT_EQ(s.fastMode, 1);
    EXPECT_EQ(s.filePath, "/tmp/fw1.R23");
    EXPECT_TRUE(s.fileName.empty());
}

TEST(ZorflashDocTest, SaveWritesAnEmptyFileOrNamesTheFileThatFailed)
{
    CZorflashDoc doc;
    const std::string path = ::testing::TempDir() + "doc_" + std::to_string(::getpid()) + ".zorfl";
    std::ofstream(path) << "old contents";
    std::string error;
    ASSERT_TRUE(doc.OnSaveDocument(path, error)) << error;
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
    std::remove(path.c_str());

    const std::string missing = ::testing::TempDir() + "no_such_dir_" + std::to_string(::getpid()) + "/x.zorfl";
    EXPECT_FALSE(doc.OnSaveDocument(missing, error));
    EXPECT_NE(error.find(missing), std::string::npos) << error;
}
}  // namespace

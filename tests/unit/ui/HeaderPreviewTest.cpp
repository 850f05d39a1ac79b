#include "platform/File.h"
#include "platform/FileException.h"
#include "ui/HeaderPreview.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {
class HeaderPreviewTest : public ::testing::TestWithParam<std::pair<std::string, std::string>> {
protected:
    std::string WriteFile(const std::string& bytes)
    {
        m_path = ::testing::TempDir() + "preview_" + std::to_string(::getpid()) + ".R71";
        std::ofstream(m_path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return m_path;
    }
    void TearDown() override { std::remove(m_path.c_str()); }
    std::string m_path;
};

const std::string kHeaderLine = "MORVENAL RT71 MAIN ROM        \r\n";

TEST_P(HeaderPreviewTest, ShowsTheFirstFourLines)
{
    CFile file;
    ASSERT_TRUE(file.Open(WriteFile(GetParam().first)));
    EXPECT_EQ(ReadHeaderPreview(file), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(
    Files, HeaderPreviewTest,
    ::testing::Values(
        std::make_pair(std::string(), std::string()),
        std::make_pair(kHeaderLine + "line two\r\n", kHeaderLine + "line two\r\n"),
        std::make_pair(kHeaderLine + "b\r\nc\r\nd\r\ne\r\n", kHeaderLine + "b\r\nc\r\nd\r\n"),
        // A 70-byte first line takes two reads: its first 64 bytes, then the rest.
        std::make_pair(std::string(68, 'x') + "\r\nb\r\nc\r\nd\r\n", std::string(68, 'x') + "\r\nb\r\nc\r\n"),
        // A line is shown up to its first NUL byte; binary records after the header
        // never run past the read buffer.
        std::make_pair(std::string("ab\0cd\r\n", 7) + "next\r\n", "ab" + std::string("next\r\n")),
        std::make_pair(std::string(300, '\x7f'), std::string(256, '\x7f')),
        std::make_pair(std::string("one\ntwo\n"), std::string("one\ntwo\n"))));

TEST(HeaderPreviewFileTest, ADirectoryIsNoUpdateFile)
{
    CFile file;
    EXPECT_FALSE(file.Open(::testing::TempDir()));
}
}  // namespace

#include "sim/ImageVerifier.h"
#include "sim/ModelFacts.h"
#include "sim/SampleWriter.h"
#include "sim/VolumeName.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

class SampleFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path()
                / ("zorflash-sim-test-" + std::to_string(::getpid()) + "-"
                   + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Write(SampleOptions options, const std::string& name = "fw1.R71")
    {
        CSampleWriter writer(options);
        std::string error;
        EXPECT_TRUE(writer.Write((m_dir / name).string(), error)) << error;
        return (m_dir / name).string();
    }

    std::string WriteFails(SampleOptions options)
    {
        CSampleWriter writer(options);
        std::string error;
        EXPECT_FALSE(writer.Write((m_dir / "fw1.R71").string(), error));
        return error;
    }

    fs::path m_dir;
};

SampleOptions Options(SimKind kind, long long records)
{
    SampleOptions options;
    options.model = 5;  // its header token differs from its display name
    options.kind = kind;
    options.recordsPerSection = records;
    return options;
}

TEST(VolumeFileNameTest, ReplacesTheCharacterBeforeTheLastDot)
{
    EXPECT_EQ(VolumeFileName("C:\\fw\\ABC1.R71", 2), "C:\\fw\\ABC2.R71");
    EXPECT_EQ(VolumeFileName("C:\\fw\\ABC2.R71", 1), "C:\\fw\\ABC1.R71");
    EXPECT_EQ(VolumeFileName("C:\\fw\\ABC1", 2), "C:\\fw\\ABC2");
    EXPECT_EQ(VolumeFileName(".R71", 2), ".R71");
    EXPECT_EQ(VolumeFileName("C:\\fw.x\\ABC1", 2), "C:\\f2.x\\ABC1");
    EXPECT_EQ(VolumeFileName("out/fw.R71", 1), "out/f1.R71");
}

TEST_F(SampleFileTest, OneVolumeFileIsItsOwnExpectedImage)
{
    const std::string path = Write(Options(SimKind::Pattern, 70));
    const Bytes file = ReadFile(path);
    ASSERT_GE(file.size(), 56u);
    const auto match = ClassifyHeaderLine(file.data());
    ASSERT_TRUE(match.has_value());
    EXPECT_EQ(match->model, 5);
    EXPECT_EQ(match->kind, SimKind::Pattern);
    EXPECT_EQ(std::string(file.begin() + 48, file.begin() + 50), "01");

    Bytes expected;
    std::string error;
    ASSERT_TRUE(CImageVerifier::ExpectedImage(path, expected, error)) << error;
    EXPECT_EQ(expected, file);
    EXPECT_EQ(file.back(), 0x00);
}

// Where volume 1 may end: inside a section, right after the first END of a SUB file, and
// before the first record.
class SplitTest : public SampleFileTest, public ::testing::WithParamInterface<long long> {};

TEST_P(SplitTest, VolumesJoinIntoOneStream)
{
    SampleOptions options = Options(SimKind::Sub, 5);
    options.volumes = 2;
    options.splitAt = GetParam();
    const std::string path = Write(options);
    const Bytes one = ReadFile(VolumeFileName(path, 1));
    const Bytes two = ReadFile(VolumeFileName(path, 2));
    ASSERT_GE(two.size(), 56u);
    EXPECT_EQ(std::string(two.begin() + 48, two.begin() + 50), "02");
    EXPECT_TRUE(std::equal(one.begin(), one.begin() + 32, two.begin()));

    Bytes joined = one;
    joined.insert(joined.end(), two.begin() + 56, two.end());
    Bytes expected;
    std::string error;
    ASSERT_TRUE(CImageVerifier::ExpectedImage(path, expected, error)) << error;
    EXPECT_EQ(expected, joined);
    if (GetParam() == 6) {
        EXPECT_EQ(one.back(), 0x00) << "volume 1 should end with the first END";
    }
}

INSTANTIATE_TEST_SUITE_P(Points, SplitTest, ::testing::Values(0LL, 2LL, 6LL, 11LL));

TEST_F(SampleFileTest, CorruptionsAreFoundWhereTheyWereMade)
{
    SampleOptions bad = Options(SimKind::Sub, 3);
    bad.badChecksum = 6;  // 1 2 3 END(4) 5 6: section 2, record 1
    std::string error;
    Bytes image;
    EXPECT_FALSE(CImageVerifier::ExpectedImage(Write(bad), image, error));
    EXPECT_NE(error.find("bad checksum in section 2 record 1"), std::string::npos) << error;

    SampleOptions cut = Options(SimKind::Main, 3);
    cut.truncateAt = 57;  // inside the START record, whatever its length
    EXPECT_FALSE(CImageVerifier::ExpectedImage(Write(cut, "cut1.R71"), image, error));
    EXPECT_NE(error.find("cut short"), std::string::npos) << error;

    bad.badChecksum = 4;
    EXPECT_NE(WriteFails(bad).find("not an END record"), std::string::npos);
    SampleOptions split = Options(SimKind::Main, 3);
    split.volumes = 2;
    split.splitAt = 5;
    EXPECT_NE(WriteFails(split).find("--split-at"), std::string::npos);
}

TEST_F(SampleFileTest, SameSeedSameFileOtherSeedOtherData)
{
    SampleOptions options = Options(SimKind::Main, 40);
    const Bytes first = ReadFile(Write(options, "a1.R71"));
    EXPECT_EQ(ReadFile(Write(options, "b1.R71")), first);
    options.seed = 2;
    EXPECT_NE(ReadFile(Write(options, "c1.R71")), first);
}

TEST_F(SampleFileTest, SizeTargetWithFixedRecordLength)
{
    SampleOptions options = Options(SimKind::Sub, 0);
    options.recordsPerSection.reset();
    options.streamBytes = 100000;
    options.recordLength = 255;
    const Bytes file = ReadFile(Write(options));
    EXPECT_GE(file.size(), 56u + 100000u);
    EXPECT_LT(file.size(), 56u + 100000u + 2 * 512u);
    EXPECT_EQ(file[56], 255);
    EXPECT_EQ(file[56 + 512], 255);
}

TEST_F(SampleFileTest, VerifyNamesTheFirstDifference)
{
    const std::string path = Write(Options(SimKind::Main, 4));
    Bytes image = ReadFile(path);
    const std::string imagePath = (m_dir / "got.img").string();
    std::string report;

    WriteFile(imagePath, image);
    EXPECT_TRUE(CImageVerifier::Verify(imagePath, path, report)) << report;

    image[100] ^= 0x01;
    WriteFile(imagePath, image);
    EXPECT_FALSE(CImageVerifier::Verify(imagePath, path, report));
    EXPECT_EQ(report.rfind("differ at offset 100: ", 0), 0u) << report;

    image[100] ^= 0x01;
    image.pop_back();
    WriteFile(imagePath, image);
    EXPECT_FALSE(CImageVerifier::Verify(imagePath, path, report));
    EXPECT_NE(report.find("differ at offset " + std::to_string(image.size())), std::string::npos) << report;
}

} // namespace

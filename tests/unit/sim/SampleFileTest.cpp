#include "sim/ImageVerifier.h"
#include "sim/ModelFacts.h"
#include "sim/SampleWriter.h"
#include "sim/VolumeName.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

using namespace zorflash;

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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

SampleOptions Options(SimKind kind, long long records)
{
    SampleOptions options;
    options.model = 5;  // its header token differs from its display name
    options.kind = kind;
    options.recordsPerSection = records;
    return options;
}

class SampleFileTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(m_dir); }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    // Writes the sample; the writer's reason if it refuses, else empty.
    std::string Write(const SampleOptions& options, const std::string& name = "fw1.R71")
    {
        std::string error;
        CSampleWriter(options).Write(Path(name), error);
        return error;
    }

    // The verifier's reading of the file: the expected image, or its reason for refusing.
    std::string Expected(const std::string& name, Bytes& image)
    {
        std::string error;
        return CImageVerifier::ExpectedImage(Path(name), image, error) ? std::string() : error;
    }

    fs::path m_dir = fs::temp_directory_path() / ("zorflash-sim-test-" + std::to_string(::getpid()));
};

TEST_F(SampleFileTest, CorruptionsAreFoundWhereTheyWereMade)
{
    SampleOptions bad = Options(SimKind::Sub, 3);
    bad.badChecksum = RecordPlace{2, 1};
    Bytes image;
    ASSERT_EQ(Write(bad), "");
    EXPECT_NE(Expected("fw1.R71", image).find("bad checksum in section 2 record 1"), std::string::npos);

    SampleOptions cut = Options(SimKind::Main, 3);
    cut.truncateAt = 57;  // inside the START record, whatever its length
    ASSERT_EQ(Write(cut, "cut1.R71"), "");
    EXPECT_NE(Expected("cut1.R71", image).find("cut short"), std::string::npos);

    bad.badChecksum = RecordPlace{1, 3};  // the END record has no checksum
    EXPECT_NE(Write(bad).find("records 0 (START) to 2, not a record 3"), std::string::npos);
    bad.badChecksum = RecordPlace{3, 0};
    EXPECT_NE(Write(bad).find("not a section 3"), std::string::npos);
    SampleOptions split = Options(SimKind::Main, 3);
    split.volumes = 2;
    split.splitAt = 5;
    EXPECT_NE(Write(split).find("--split-at"), std::string::npos);
}

TEST_F(SampleFileTest, VerifyNamesTheFirstDifference)
{
    ASSERT_EQ(Write(Options(SimKind::Main, 4)), "");
    Bytes image = ReadFile(Path("fw1.R71"));
    std::string report;
    auto verify = [&] {
        std::ofstream(Path("got.img"), std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        return CImageVerifier::Verify(Path("got.img"), Path("fw1.R71"), report);
    };
    EXPECT_TRUE(verify()) << report;
    image[100] ^= 0x01;
    EXPECT_FALSE(verify());
    EXPECT_EQ(report.rfind("differ at offset 100: ", 0), 0u) << report;
    image[100] ^= 0x01;
    image.pop_back();
    EXPECT_FALSE(verify());
    EXPECT_NE(report.find("differ at offset " + std::to_string(image.size())), std::string::npos) << report;
}

} // namespace

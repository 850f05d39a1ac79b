#include "RecordingHost.h"
#include "UpdateFileBuilder.h"

#include "platform/DecimalText.h"
#include "platform/File.h"
#include "platform/LastError.h"
#include "update/RecordStream.h"
#include "update/UpdateFileReader.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace zorflash;

using namespace testsupport;

namespace {

struct VolumeNameCase {
    int volume;
    const char* chosen;
    const char* expected;
};

void PrintTo(const VolumeNameCase& c, std::ostream* os)
{
    *os << c.volume << " " << c.chosen;
}

class VolumeFileName : public ::testing::TestWithParam<VolumeNameCase> {};

TEST_P(VolumeFileName, FollowsTheLastDot)
{
    const VolumeNameCase& c = GetParam();
    std::string out = "stale";
    MakeVolumeFileName(c.volume, c.chosen, out);
    EXPECT_EQ(out, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rule, VolumeFileName,
    ::testing::Values(VolumeNameCase{2, "C:\\fw\\ABC1.R71", "C:\\fw\\ABC2.R71"},
                      VolumeNameCase{1, "C:\\fw\\ABC2.R71", "C:\\fw\\ABC1.R71"},
                      VolumeNameCase{2, "C:\\fw\\ABC1", "C:\\fw\\ABC2"},
                      VolumeNameCase{2, ".R71", ".R71"},  // the only dot is the first character
                      VolumeNameCase{2, "C:\\fw.x\\ABC1", "C:\\f2.x\\ABC1"},  // a dot in the folder counts
                      VolumeNameCase{2, "/data/fw.d/image1", "/data/f2.d/image1"},
                      VolumeNameCase{2, "/data/a.b.R71", "/data/a.2.R71"},
                      VolumeNameCase{17, "x9.R71", "x1.R71"},  // only the low four bits make the digit
                      VolumeNameCase{2, "/fw/日本1.R71", "/fw/日本2.R71"}));

struct RecordCase {
    const char* name;
    Bytes file;
    int result;
    Bytes buffer;  // expected first bytes of the buffer
};

void PrintTo(const RecordCase& c, std::ostream* os)
{
    *os << c.name;
}

class RecordReading : public ::testing::TestWithParam<RecordCase> {};

TEST_P(RecordReading, GivesResultAndBuffer)
{
    const RecordCase& c = GetParam();
    TempDir dir;
    WriteFile(dir / "r.bin", c.file);
    CFile file;
    ASSERT_TRUE(file.Open(dir / "r.bin"));
    uint8_t buffer[kRecordBufferSize];
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(ReadRecord(file, buffer), c.result);
    for (size_t i = 0; i < c.buffer.size(); ++i)
        EXPECT_EQ(buffer[i], c.buffer[i]) << "byte " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Records, RecordReading,
    ::testing::Values(
        RecordCase{"good", {0x01, 0x12, 0x34, 0x46}, 4, {0x01, 0x12, 0x34, 0x46, 0x00}},
        // The length byte is not part of the sum.
        RecordCase{"lengthNotSummed", {0x01, 0x12, 0x34, 0x47}, -2, {0x01, 0x12, 0x34, 0xEE}},
        RecordCase{"sumWraps", {0x01, 0xFF, 0x02, 0x01}, 4, {0x01, 0xFF, 0x02, 0x01, 0x00}},
        RecordCase{"end", {0x00, 0x05}, 0, {0xEE}},
        RecordCase{"emptyFile", {}, -1, {0xEE}},
        // Cut short: never completed with copies of the last byte, which would pass here.
        RecordCase{"cutAfterOneDataByte", {0x01, 0x00}, -2, {0x01}},
        RecordCase{"cutAfterLength", {0x01}, -2, {0x01}},
        RecordCase{"cutBeforeChecksum", {0x01, 0x10, 0x10}, -2, {0x01, 0x10, 0x10, 0xEE}}),
    [](const ::testing::TestParamInfo<RecordCase>& info) { return std::string(info.param.name); });

// The checksum is summed sixteen bytes at a time: every length (so every remainder) and
// bytes near 0xFF (so lanes that wrap) must give the byte loop's answer, and a checksum
// one off must be refused. The 130 KiB of records cross the file's buffer twice, so some
// lie in two fills of it; a check without a buffer must judge every one alike.
TEST(RecordReading, ChecksumOfEveryLengthMatchesTheByteSum)
{
    TempDir dir;
    Bytes stream;
    for (int n = 1; n <= 255; ++n) {
        Bytes data(2 * static_cast<size_t>(n));
        unsigned sum = 0;
        for (size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<uint8_t>(0xFF - (i * 37 + static_cast<size_t>(n)) % 11);
            sum += data[i];
        }
        stream.push_back(static_cast<uint8_t>(n));
        Append(stream, data);
        stream.push_back(static_cast<uint8_t>(sum));          // good
        stream.push_back(static_cast<uint8_t>(n));
        Append(stream, data);
        stream.push_back(static_cast<uint8_t>(sum + 1));      // one off
    }
    WriteFile(dir / "r.bin", stream);
    CFile file;
    ASSERT_TRUE(file.Open(dir / "r.bin"));
    uint8_t buffer[kRecordBufferSize];
    size_t at = 0;
    for (int n = 1; n <= 255; ++n) {
        ASSERT_EQ(ReadRecord(file, buffer), 2 * n + 2) << "N = " << n;
        EXPECT_EQ(Bytes(buffer, buffer + 2 * n + 2), Bytes(stream.begin() + at, stream.begin() + at + 2 * n + 2))
            << "N = " << n;
        EXPECT_EQ(ReadRecord(file, buffer), -2) << "N = " << n;
        at += 2 * (2 * static_cast<size_t>(n) + 2);
    }
    EXPECT_EQ(ReadRecord(file, buffer), -1);
    file.Seek(0);
    for (int n = 1; n <= 255; ++n) {
        EXPECT_EQ(ReadRecord(file, nullptr), 2 * n + 2) << "N = " << n;
        EXPECT_EQ(ReadRecord(file, nullptr), -2) << "N = " << n;
    }
    EXPECT_EQ(ReadRecord(file, nullptr), -1);
}

TEST(DecimalReading, FollowsTheVolumeNumberRule)
{
    for (const auto& [text, value] : std::initializer_list<std::pair<const char*, int64_t>>{
             {"01", 1}, {" 1", 1}, {"1x", 1}, {"AB", 0}, {"-2", -2}, {"+2", 2}, {"", 0},
             {"99999999999999999999", kDecimalSaturation}})
        EXPECT_EQ(ReadDecimalPrefix(text).value, value) << text;
}

// Opening volumes: the record stream asks for the right disk until it is there.
class VolumeOpening : public ::testing::Test {
protected:
    void WriteVolume(const std::string& name, const std::string& line, const std::string& digits)
    {
        Bytes v = Header(line, 1);
        v[48] = static_cast<uint8_t>(digits[0]);
        v[49] = static_cast<uint8_t>(digits[1]);
        Append(v, Section(2, 5));
        WriteFile(dir / name, v);
    }

    // Volume 2 is opened the way the update does after volume 1 ran out: its header line
    // must be the one of the kind.
    bool OpenSecond(const std::string& chosen)
    {
        CRecordStream stream(g_deviceModelTable[0], dir / chosen);
        return stream.OpenNextVolume(kRomMain, prompt);
    }

    TempDir dir;
    // Keeps what each prompt was told and answers from its script (true: look again).
    RecordingHost host{UpdateSettings()};
    CRecordStream::DiskPrompt prompt = [this](const VolumeRefusal& refusal) { return host.PromptOkCancel({}, refusal); };
    const std::string mainLine = HeaderLine("RT71", "MAIN");
};

// Each prompt is told what was found in place of the volume, from the opening the update
// itself made: the front ends name the file and the fault from this alone.
TEST_F(VolumeOpening, WrongVolumeShortFileOrOtherHeaderLinePromptsForTheDiskSayingWhy)
{
    using Kind = VolumeRefusal::Kind;
    const std::string padded = "MORVENAL RT71 MAIN ROM         \r\n";  // one blank too many
    const std::string lfOnly = mainLine.substr(0, 30) + " \n";
    const std::string second = dir / "fw2.R71";
    struct Case {
        const char* what;
        std::function<void()> write;
        Kind kind;
        std::string numberText;
    } cases[] = {
        {"AB", [&] { WriteVolume("fw2.R71", mainLine, "AB"); }, Kind::WrongNumber, "AB"},
        {"01", [&] { WriteVolume("fw2.R71", mainLine, "01"); }, Kind::WrongNumber, "01"},
        {"blanks", [&] { WriteVolume("fw2.R71", padded, "02"); }, Kind::WrongHeaderLine, ""},
        {"lf", [&] { WriteVolume("fw2.R71", lfOnly, "02"); }, Kind::WrongHeaderLine, ""},
        {"short", [&] { WriteFile(second, Bytes(49, '0')); }, Kind::WrongNumber, "0"},  // one of the two digits
        {"missing", [] {}, Kind::Missing, ""},
        // Only a regular file is a volume: a directory of that name exists but cannot be
        // read as one, whoever runs the test (root reads a file of mode 000 all the same).
        {"directory", [&] { std::filesystem::create_directory(second); }, Kind::Unreadable, ""},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(second);
        c.write();
        host.refusals.clear();
        EXPECT_FALSE(OpenSecond("fw1.R71")) << c.what;
        ASSERT_EQ(host.refusals.size(), 1u) << c.what;
        const VolumeRefusal& r = host.refusals.front();
        EXPECT_TRUE(r.volume == 2 && r.kind == c.kind && r.path == second && r.numberText == c.numberText) << c.what;
        // The system's error for what could not be opened, and only for that.
        EXPECT_EQ(r.systemError == 0 ? "none" : r.systemError == kErrorFileNotFound ? "not found" : "other",
                  std::string(c.kind == Kind::Missing ? "not found" : c.kind == Kind::Unreadable ? "other" : "none"))
            << c.what;
    }
}

TEST_F(VolumeOpening, ChoosingVolumeTwoStillOpensVolumeOneAndRetriesAfterOk)
{
    // The operator chose fw2.R71; volume 1 is fw1.R71, which only appears after the prompt.
    WriteVolume("fw2.R71", mainLine, "02");
    host.answers = {true, true};
    host.beforeAnswer = [&](size_t n) {
        if (n == 2)
            WriteVolume("fw1.R71", mainLine, "01");
    };
    CRecordStream stream(g_deviceModelTable[0], dir / "fw2.R71");
    EXPECT_TRUE(stream.OpenFirstVolume(prompt));
    EXPECT_EQ(host.refusals.size(), 2u);
    EXPECT_EQ(stream.VolumePath(), dir / "fw1.R71");
    EXPECT_EQ(host.refusals.back().path, dir / "fw1.R71");  // asked for under its own name
}

}  // namespace

#include "RecordingHost.h"
#include "UpdateFileBuilder.h"

#include "update/FileCheck.h"

#include <gtest/gtest.h>

using namespace zorflash;
using namespace testsupport;

namespace {

class Inspection : public ::testing::Test {
protected:
    Inspection()
    {
        ApplyNewDocumentDefaults(settings);
        ApplyModelSelection(settings, 0);
        settings.filePath = dir / "fw1.R71";
    }
    void WriteVolume(int volume, const std::string& kind, const Bytes& stream)
    {
        Bytes file = Header(HeaderLine("RT71", kind), volume);
        Append(file, stream);
        WriteFile(dir / ("fw" + std::to_string(volume) + ".R71"), file);
    }
    TempDir dir;
    UpdateSettings settings;
};

// A refused file is placed and ends with the status text and outcome of its update: the
// engine lays the last message out, so the two cannot drift apart.
TEST_F(Inspection, FirstProblemIsPlacedAndEndsAsItsUpdateWould)
{
    const auto refused = [&](UpdateOutcome outcome, const std::string& ending) {
        const CFileCheck::Report r = CFileCheck::Inspect(settings, Language::English);
        RecordingHost host(settings);
        CFileCheck::LogRefusal(r, host, Language::English);
        EXPECT_EQ(host.Text(), "Opening File...\r\n" + ending);
        EXPECT_TRUE(r.outcome == outcome && host.changes.back().ends == std::optional<UpdateOutcome>(outcome));
        return r;
    };
    Bytes stream = Section(10, 1);
    stream[16 * 4 + 15] ^= 0x01;  // one flipped bit in the checksum of record 4
    WriteVolume(1, "MAIN", stream);
    CFileCheck::Report r = refused(UpdateOutcome::IncorrectChecksum, "\r\nIncorrect Check Sum.\r\n");
    EXPECT_EQ(r.problem, "Incorrect Check Sum.");
    EXPECT_TRUE(r.place == CFileCheck::Place::Record && r.sections.size() == 1 && r.record == 4 && r.volume == 1 &&
                r.offset == 120);

    stream = Section(10, 1);
    stream.pop_back();  // volume 1 ends inside the section
    WriteVolume(1, "MAIN", stream);
    r = refused(UpdateOutcome::Cancelled, "\r\nAborted according to instruction received.\r\n");
    EXPECT_TRUE(r.problem == "nsert Disk 2" && r.asked && r.asked->kind == VolumeRefusal::Kind::Missing);
    EXPECT_EQ(r.asked->path, dir / "fw2.R71");
    EXPECT_TRUE(r.place == CFileCheck::Place::VolumeMissing && r.volume == 2 && r.path == r.asked->path);

    settings.model = g_deviceModelTable[2];
    r = refused(UpdateOutcome::InvalidRomType, "\r\n\r\nInvalid ROM Type.\r\n");
    EXPECT_TRUE(r.problem == "Invalid ROM Type." && !r.asked && r.place == CFileCheck::Place::HeaderLine);
    EXPECT_TRUE(r.otherModel == "RT71" && r.otherKind == "MAIN");
}

}  // namespace

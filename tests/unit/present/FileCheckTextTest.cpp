#include "present/FileCheckText.h"
#include "present/VolumeRefusalText.h"
#include "update/DeviceModel.h"

#include <gtest/gtest.h>

using namespace zorflash;

namespace {

// The dry run's places worded: a record by its section, number, volume and offset, a file
// of another model by the sentence that names it, a volume's path never raw on a terminal.
TEST(FileCheckText, PlacesAreWordedFromTheDryRunsFacts)
{
    UpdateSettings settings;
    ApplyNewDocumentDefaults(settings);
    ApplyModelSelection(settings, 2);
    CFileCheck::Report r;
    r.sections.resize(1);
    r.place = CFileCheck::Place::Record;
    r.record = 4;
    r.volume = 1;
    r.offset = 120;
    r.problem = "Incorrect Check Sum.";
    EXPECT_EQ(FileRefusalReason(r, settings).Text(Language::English),
              "Incorrect Check Sum. at section 1, record 4 (volume 1, offset 120)");

    r.place = CFileCheck::Place::HeaderLine;
    r.outcome = UpdateOutcome::InvalidRomType;
    r.otherModel = "RT71";
    r.otherKind = "MAIN";
    EXPECT_EQ(FileProblemPlace(r, settings).Text(Language::English),
              std::string("The file's first line is the MAIN header line of RT71, not a header line of ") +
                  settings.model.displayName);

    r.place = CFileCheck::Place::VolumeMissing;
    r.volume = 2;
    r.path = "fw\x1b[2J2.R71";
    EXPECT_EQ(FileProblemPlace(r, settings).Text(Language::English),
              "volume 2 (fw\\x1b[2J2.R71) is missing, unreadable or not volume 2 of this file");
}

// The notice before contact names the volume the prompt will ask for: a file name whose
// volume-1 form is missing is asked for at once, not "after volume 1" as volume 2.
TEST(FileCheckText, TheMissingVolumesNoticeNamesItsOwnVolume)
{
    VolumeRefusal refusal;
    refusal.path = "z1.R71";
    EXPECT_EQ(VolumeLaterNotice(refusal, "RT71", Language::English),
              "volume 1 (z1.R71) is not present: you will be asked for it before the instrument is contacted");
    refusal.volume = 2;
    refusal.path = "z2.R71";
    EXPECT_EQ(VolumeLaterNotice(refusal, "RT71", Language::English),
              "volume 2 (z2.R71) is not present yet: you will be asked for it after volume 1");
}

}  // namespace

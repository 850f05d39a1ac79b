#pragma once

#include "resources/strings/Language.h"
#include "update/UpdateResult.h"
#include "update/UpdateSettings.h"
#include "update/VolumeRefusal.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zorflash {

class CUpdateHost;

// The update's dry run: reads a whole update file, every volume, with the engine's own
// record stream, and says what an update would make of it, without any link. A missing
// volume is not asked for: the prompt the update would show is the problem reported. It
// gives facts; present/ words the place and the reasons for each front end.
class CFileCheck {
public:
    struct Section {
        uint64_t records = 0;  // START record and the records behind it, END not counted
        uint64_t bytes = 0;    // what goes on the wire for the section, END byte included
    };
    // Where the first problem lies.
    enum class Place {
        None,
        VolumeMissing,      // `volume` (its file `path`) could not be opened as that volume
        HeaderLine,         // volume 1's first line is no header line of the chosen model
        ShortHeader,        // volume 1 is shorter than its header
        Record,             // record `record` of the last section, in `volume` at `offset`
        EndsWithVolume2,    // the last section ran to the end of volume 2
        Reading,            // a file error while reading
    };
    struct Report {
        std::string kind;                      // MAIN, SUB or PATTERN; empty if unknown
        std::vector<std::string> volumePaths;  // the volumes read
        std::vector<Section> sections;
        bool complete = false;                 // an update would send everything
        std::string problem;                   // the first problem, as the update would word it
        Place place = Place::None;  // where it lies, with the figures the place names:
        int volume = 0;
        uint64_t record = 0;
        uint64_t offset = 0;
        std::string path;
        // What the update would end with, and its last message (0: none, after a file
        // error it reported).
        UpdateOutcome outcome = UpdateOutcome::Completed;
        unsigned statusId = 0;
        // The volume the update would prompt for, as the record stream refused it, if any.
        std::optional<VolumeRefusal> asked;
        // A first line of another model's file: that model and the kind its line names.
        std::string otherModel;
        std::string otherKind;

        uint64_t Records() const;
        uint64_t Bytes() const;
    };

    // `language`: the one the update would word its messages in.
    static Report Inspect(const UpdateSettings& settings, Language language);
    // A refused file ends with the status text the update would have written for its
    // problem, written through `host` by the engine's own log, so every rendering (lines,
    // JSON, status file) is the one a run would have given.
    static void LogRefusal(const Report& report, CUpdateHost& host, Language language);
    // Every name the update may open for the chosen path: both volumes and the path itself,
    // which the volume rule may name otherwise. Nothing of the run may write over these.
    static std::vector<std::string> VolumePaths(const std::string& filePath);
};

}  // namespace zorflash

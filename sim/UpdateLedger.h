#pragma once

#include "sim/UniqueFd.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace zorflash {

// The run's record of updates, shared by the TCP listener and the USB instruments: numbers
// them, names their image files, prints the lines on stdout (whole, flushed) and knows
// when the wanted number of updates has been seen.
class CUpdateLedger {
public:
    CUpdateLedger(std::optional<std::string> imageDir, int maxUpdates)
        : m_imageDir(std::move(imageDir)), m_maxUpdates(maxUpdates) {}

    // A new update has begun; its number, counted from 1.
    int Begin();
    // Creates the image file of update `number` as DIR/update-NNNN.img, NNNN the number
    // itself in a folder of its own, else the next one no file of that name holds (images
    // of earlier runs stay, and a name planted as a link is never followed); its path in
    // `path`. Not valid, with `path` empty, when images are not kept; not valid with `path`
    // and `error` set when none could be created.
    CUniqueFd CreateImage(int number, std::string& path, std::string& error);
    // Prints the summary line; an update whose verdict is an ERROR makes the run fail.
    void Finish(const std::string& summary, bool failed);

    void Print(const std::string& line);
    // A host error outside any update (a stray line to a USB instrument): printed on
    // stdout like a summary, and it makes the run fail.
    void ReportError(const std::string& line);
    void PrintError(const std::string& line);

    bool AnyFailed() const;
    std::vector<std::string> Summaries() const;
    // True once --max-updates updates have finished: every loop of the run ends then.
    bool Exhausted() const;
    // Ends the run as if the last wanted update had been seen.
    void EndRun();

private:
    mutable std::mutex m_mutex;
    std::optional<std::string> m_imageDir;
    int m_maxUpdates;
    int m_begun = 0;
    int m_imagesSkipped = 0;  // image numbers found taken: every later update moves past them
    int m_finished = 0;
    bool m_ended = false;
    bool m_anyFailed = false;
    std::vector<std::string> m_summaries;
};

}  // namespace zorflash

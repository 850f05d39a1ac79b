#include "cli/diagnose/FailureReason.h"

#include "cli/output/PrintableText.h"
#include "cli/prompt/VolumeRefusalText.h"
#include "link/AddressText.h"
#include "link/UsbInstrument.h"
#include "platform/LastError.h"
#include "present/ProgressLine.h"
#include "usb/UsbCandidates.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace zorflash {

namespace {

std::string TargetText(const UpdateSettings& settings)
{
    char address[32] = {};
    FormatAddressText(settings.ipAddress, address, sizeof address);
    return std::string(address) + ":" + std::to_string(settings.port);
}

// What the run's own search saw; a second search could find other answers (an
// instrument that was busy or silent a moment ago) and contradict the failure.
std::string UsbSearch(const UpdateSettings& settings, const CLinkWatch& watch)
{
    const std::vector<UsbInstrument>& asked = watch.UsbSearch();
    if (asked.empty())
        return "no USB instrument found (looked at " + PrintableText(UsbCandidatesDescription()) + ")";
    std::string text = "no USB instrument answered with device number " + std::to_string(settings.usbDeviceNumber) +
                       "; searched:";
    for (const UsbInstrument& i : asked) {
        text += "\n  " + PrintableText(i.path) + ": ";
        if (i.error)
            text += DescribeError(i.error);
        else
            text += "answered \"" + ShowBytes(std::vector<uint8_t>(i.reply.begin(), i.reply.end())) + "\" (" +
                    (i.hasNumber ? "device number " + std::to_string(i.deviceNumber) : "no device number") + ")";
    }
    if (asked.back().error)
        text += "\n  (the search ends at an instrument that does not answer)";
    return text;
}

std::string VolumeText(const std::optional<VolumeRefusal>& refusal, const UpdateSettings& settings)
{
    if (!refusal)  // no prompt of this run's own: another target's answer ended it
        return "the volume asked for of " + PrintableText(settings.filePath) + " was not brought";
    return "volume " + std::to_string(refusal->volume) + " " + PrintableText(refusal->path) + " is " +
           VolumeRefusalReason(*refusal, settings.model.displayName);
}

// A problem of the update file met during the transfer (with --no-precheck, or a file
// that changed after the pre-check read it).
std::string FileProblem(UpdateOutcome outcome, UpdateStep step, const UpdateSettings& settings,
                        const std::string& reported)
{
    const std::string file = PrintableText(settings.filePath);
    switch (outcome) {
    case UpdateOutcome::FileError:
        return "the update file " + file + " could not be read" +
               (reported.empty() ? std::string() : ": " + PrintableText(reported));
    case UpdateOutcome::OutOfMemory:
        return "out of memory" + (reported.empty() ? std::string() : ": " + PrintableText(reported));
    case UpdateOutcome::InvalidRomType:
        return "the first line of " + file + " matches no header line of " + settings.model.displayName;
    case UpdateOutcome::IncorrectInputFile:
        if (step == UpdateStep::OpeningFile || step == UpdateStep::HeaderSize || step == UpdateStep::Header)
            return "volume 1 of " + file + " is shorter than its 56-byte header";
        return "the update file " + file +
               " changed on disk while it was being sent; no END was sent, so the instrument did not accept it";
    case UpdateOutcome::IncorrectChecksum:
        return "a record of " + file + " has a wrong checksum or is cut short ('zorflash-cli inspect' names it)";
    case UpdateOutcome::NoEndRecord:
        return "a section of " + file + " runs past the end of the file without its END record";
    default:
        return "";
    }
}

std::string Exchange(const CLinkWatch& watch)
{
    const std::string after = watch.LastWrite().empty() ? "the link opened" : watch.LastWrite();
    const std::vector<uint8_t>& got = watch.ReceivedAfterLastWrite();
    if (watch.FailureSeen()) {
        const double waited = watch.FailureWaitedSeconds();
        if (watch.FailureDirection() == CLinkObserver::Direction::Sent)
            return "sending " + after + " failed after " + CProgressLine::FormatSeconds(waited) + ": " +
                   DescribeError(watch.FailureCode());
        std::string text = "waiting for the reply to " + after + ": ";
        if (watch.FailureCode() == kErrorTimeout)
            text += got.empty() ? "nothing arrived after " + CProgressLine::FormatSeconds(waited)
                                : "only \"" + ShowBytes(got) + "\" arrived, then nothing for " +
                                      CProgressLine::FormatSeconds(waited);
        else if (watch.FailureCode() == ECONNRESET)
            text += "the instrument closed the connection" + (got.empty() ? "" : " after \"" + ShowBytes(got) + "\"");
        else
            text += DescribeError(watch.FailureCode());
        return text;
    }
    if (got.empty())
        return "after " + after;
    return "after " + after + " the instrument answered \"" + ShowBytes(got) + "\" where " + watch.ExpectedReply() +
           " was expected";
}
}  // namespace

std::string ShowBytes(const std::vector<uint8_t>& bytes)
{
    std::string text;
    for (uint8_t b : bytes) {
        if (b >= 0x20 && b < 0x7F && b != '"' && b != '\\') {
            text += static_cast<char>(b);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", b);
            text += hex;
        }
    }
    return text;
}

std::string FailureReason(const FlashOutcome& outcome, UpdateStep step, const UpdateSettings& settings,
                          const CLinkWatch& watch, PromptEnd promptEnd, const std::optional<VolumeRefusal>& prompted,
                          const std::string& reported)
{
    if (outcome.nobodyAnswered) {
        const char* why = promptEnd == PromptEnd::NotAsked
                              ? "--no-prompt asks nobody"
                              : "nobody answered the disk prompt (end of input)";
        return why + std::string(": ") + VolumeText(prompted, settings);
    }
    switch (outcome.outcome) {
    case UpdateOutcome::Completed:
        return "";
    case UpdateOutcome::Cancelled:
        return "cancelled at the disk prompt: " + VolumeText(prompted, settings);
    case UpdateOutcome::Interrupted:
        return std::string("interrupted during ") + StepName(step);
    case UpdateOutcome::TargetNotOpened:
        if (settings.useUsb)
            return "cannot open the target: " + UsbSearch(settings, watch);
        if (!watch.OpenSeen() || watch.OpenError() == kErrorSuccess)
            return "cannot open target " + TargetText(settings) + ": the link was not opened";
        if (watch.OpenError() == kErrorTimeout)
            return "cannot open target " + TargetText(settings) + ": timed out after " +
                   CProgressLine::FormatSeconds(watch.OpenSeconds());
        return "cannot open target " + TargetText(settings) + ": " + DescribeError(watch.OpenError());
    case UpdateOutcome::SetupFailure:
    case UpdateOutcome::NoIdentification:
    case UpdateOutcome::HeaderSizeFailure:
    case UpdateOutcome::HeaderTransferError:
    case UpdateOutcome::CommunicationError:
        return std::string(outcome.Name()) + ": " + Exchange(watch);
    default:
        break;
    }
    const std::string problem = FileProblem(outcome.outcome, step, settings, reported);
    return problem.empty() ? std::string(outcome.Name()) + " at " + StepName(step) : problem;
}

}  // namespace zorflash

#include "cli/FailureReason.h"

#include "cli/PrintableText.h"
#include "link/AddressText.h"
#include "link/UsbChannel.h"
#include "platform/LastError.h"
#include "update/ProgressLine.h"
#include "update/UpdateProtocol.h"
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

std::string UsbSearch(const UpdateSettings& settings)
{
    const std::vector<UsbInstrument> found = CUsbChannel::Probe(settings.model.idQuery);
    if (found.empty()) {
        return "no USB instrument found (looked at " + UsbCandidatesDescription() + ")";
    }
    std::string text = "no USB instrument answered with device number " + std::to_string(settings.usbDeviceNumber) + "; searched:";
    for (const UsbInstrument& i : found) {
        text += "\n  " + PrintableText(i.path) + ": ";
        if (i.error)
            text += DescribeError(i.error);
        else
            text += "answered \"" + ShowBytes(std::vector<uint8_t>(i.reply.begin(), i.reply.end())) + "\" (" +
                    (i.hasNumber ? "device number " + std::to_string(i.deviceNumber) : "no device number") + ")";
    }
    return text;
}

std::string Expected(UpdateOutcome outcome)
{
    switch (outcome) {
    case UpdateOutcome::SetupFailure:
        return "0xAA";
    case UpdateOutcome::NoIdentification:
        return "\"MORVENAL\\r\\n\"";
    case UpdateOutcome::HeaderSizeFailure:
        return "the echo 0x38";
    default:
        return "0x59 (Y)";
    }
}

std::string Exchange(UpdateOutcome outcome, const CLinkWatch& watch)
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
    return "after " + after + " the instrument answered \"" + ShowBytes(got) + "\" where " + Expected(outcome) +
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

std::string FailureReason(const FlashOutcome& outcome, const UpdateSettings& settings, const CLinkWatch& watch,
                          PromptEnd promptEnd, const CVolumeProblem::Finding& prompted)
{
    if (outcome.nobodyAnswered) {
        const CVolumeProblem::Finding& f = prompted;
        const char* why = promptEnd == PromptEnd::NotAsked
                              ? "--no-prompt asks nobody"
                              : "nobody answered the disk prompt (end of input)";
        return why + std::string(": volume ") + std::to_string(f.volume) + " " + PrintableText(f.path) + " is " +
               (f.reason.empty() ? "there now" : f.reason);
    }
    switch (outcome.outcome) {
    case UpdateOutcome::TargetNotOpened:
        if (settings.useUsb)
            return "cannot open the target: " + UsbSearch(settings);
        if (watch.OpenError() == kErrorTimeout)
            return "cannot open target " + TargetText(settings) + ": timed out after " +
                   CProgressLine::FormatSeconds(watch.OpenSeconds());
        return "cannot open target " + TargetText(settings) + ": " + DescribeError(watch.OpenError());
    case UpdateOutcome::SetupFailure:
    case UpdateOutcome::NoIdentification:
    case UpdateOutcome::HeaderSizeFailure:
    case UpdateOutcome::HeaderTransferError:
    case UpdateOutcome::CommunicationError:
        return std::string(outcome.Name()) + ": " + Exchange(outcome.outcome, watch);
    default:
        // Completed and the operator's Cancel need none; a file problem has been said by
        // the pre-check or the reported file error; a signal's own line says it.
        return "";
    }
}

}  // namespace zorflash

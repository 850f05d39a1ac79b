#include "present/FailureReason.h"

#include "link/AddressText.h"
#include "link/UsbInstrument.h"
#include "platform/LastError.h"
#include "present/PrintableText.h"
#include "present/ProgressLine.h"
#include "present/VolumeRefusalText.h"
#include "update/UpdateFileReader.h"
#include "update/UpdateProtocol.h"
#include "usb/UsbCandidates.h"

#include <cstdio>

namespace zorflash {

namespace {

using Id = CDisplayTexts::Id;

std::string Hex(uint8_t byte)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

std::string Seconds(double seconds)
{
    return CProgressLine::FormatSeconds(seconds);
}

// What the run's own search saw; a second search could find other answers (an
// instrument that was busy or silent a moment ago) and contradict the failure.
CLocalText UsbSearch(const UpdateSettings& settings, const CLinkWatch& watch)
{
    const std::vector<UsbInstrument>& asked = watch.UsbSearch();
    if (asked.empty())
        return CLocalText::Say(Id::ReasonUsbNoneFound, {PrintableText(UsbCandidatesDescription())});
    CLocalText text = CLocalText::Say(Id::ReasonUsbNoneAnswered, {std::to_string(settings.usbDeviceNumber)});
    for (const UsbInstrument& i : asked) {
        text += "\n  " + PrintableText(i.path) + ": ";
        if (i.error)
            text += DescribeError(i.error);
        else
            text += CLocalText::Say(Id::UsbAnswered,
                                    {ShowBytes(std::vector<uint8_t>(i.reply.begin(), i.reply.end())),
                                     i.hasNumber ? CLocalText::Say(Id::UsbDeviceNumber, {std::to_string(i.deviceNumber)})
                                                 : CLocalText::Say(Id::UsbNoDeviceNumber)});
    }
    if (asked.back().error)
        text += "\n  " + CLocalText::Say(Id::UsbSearchEnds);
    return text;
}

// A problem of the update file met during the transfer (with --no-precheck, or a file
// that changed after the pre-check read it).
CLocalText FileProblem(UpdateOutcome outcome, UpdateStep step, const UpdateSettings& settings,
                       const std::string& reported)
{
    const std::string file = PrintableText(settings.filePath);
    const auto withReported = [&reported](CLocalText text) {
        return reported.empty() ? text : CLocalText::Say(Id::ReasonWithDetail, {text, PrintableText(reported)});
    };
    switch (outcome) {
    case UpdateOutcome::FileError:
        return withReported(CLocalText::Say(Id::ReasonFileUnreadable, {file}));
    case UpdateOutcome::OutOfMemory:
        return withReported(CLocalText::Say(Id::ReasonOutOfMemory));
    case UpdateOutcome::InvalidRomType:
        return CLocalText::Say(Id::ReasonHeaderOfNone, {file, settings.model.displayName});
    case UpdateOutcome::IncorrectInputFile:
        if (step == UpdateStep::OpeningFile || step == UpdateStep::HeaderSize || step == UpdateStep::Header)
            return CLocalText::Say(Id::ReasonShortHeader, {file});
        return CLocalText::Say(Id::ReasonFileChanged, {file});
    case UpdateOutcome::IncorrectChecksum:
        return CLocalText::Say(Id::ReasonBadChecksum, {file});
    case UpdateOutcome::NoEndRecord:
        return CLocalText::Say(Id::ReasonNoEnd, {file});
    default:
        return {};
    }
}

CLocalText ExpectedReply(const CLinkWatch& watch)
{
    const SendLabel* label = watch.LastLabel();
    if (label && label->step == UpdateStep::HeaderSize)
        return CLocalText::Say(Id::ExpectedEcho, {Hex(UpdateProtocol::kHeaderSizeByte)});
    return watch.ExpectedReply();
}

CLocalText Exchange(const CLinkWatch& watch)
{
    const CLocalText after = watch.LastLabel() ? LabelText(*watch.LastLabel()) : CLocalText::Say(Id::LabelLinkOpened);
    const std::vector<uint8_t>& got = watch.ReceivedAfterLastWrite();
    if (watch.FailureSeen()) {
        const std::string waited = Seconds(watch.FailureWaitedSeconds());
        if (watch.FailureDirection() == CLinkObserver::Direction::Sent)
            return CLocalText::Say(Id::ExchangeSendFailed, {after, waited, DescribeError(watch.FailureCode())});
        if (watch.FailureCode() == kErrorTimeout)
            return got.empty() ? CLocalText::Say(Id::ExchangeNothing, {after, waited})
                               : CLocalText::Say(Id::ExchangePartial, {after, ShowBytes(got), waited});
        if (watch.FailureCode() == kErrorConnectionReset)
            return got.empty() ? CLocalText::Say(Id::ExchangeClosed, {after})
                               : CLocalText::Say(Id::ExchangeClosedAfter, {after, ShowBytes(got)});
        return CLocalText::Say(Id::ExchangeError, {after, DescribeError(watch.FailureCode())});
    }
    if (got.empty())
        return CLocalText::Say(Id::ExchangeAfter, {after});
    return CLocalText::Say(Id::ExchangeWrongReply, {after, ShowBytes(got), ExpectedReply(watch)});
}
}  // namespace

std::string TargetText(const UpdateSettings& settings)
{
    char address[32] = {};
    FormatAddressText(settings.ipAddress, address, sizeof address);
    return std::string(address) + ":" + std::to_string(settings.port);
}

CLocalText LabelText(const SendLabel& label)
{
    using namespace UpdateProtocol;
    const std::string section = std::to_string(label.section);
    switch (label.step) {
    case UpdateStep::UpdateStart: return CLocalText::Say(Id::LabelUpdateStart, {kUpdateStartCommand});
    case UpdateStep::Sync: return CLocalText::Say(Id::LabelSync, {Hex(kSyncByte)});
    case UpdateStep::Identification: return CLocalText::Say(Id::LabelIdentification, {kIdentCommand});
    case UpdateStep::HeaderSize: return CLocalText::Say(Id::LabelHeaderSize, {Hex(kHeaderSizeByte)});
    case UpdateStep::Header: return CLocalText::Say(Id::LabelHeader, {std::to_string(kHeaderSize)});
    case UpdateStep::StartRecord: return CLocalText::Say(Id::LabelStartRecord, {section});
    case UpdateStep::Records:
        if (label.firstRecord == label.lastRecord)
            return CLocalText::Say(Id::LabelRecord, {std::to_string(label.firstRecord), section});
        return CLocalText::Say(Id::LabelRecords,
                               {std::to_string(label.firstRecord), std::to_string(label.lastRecord), section});
    case UpdateStep::EndRecord: return CLocalText::Say(Id::LabelEnd, {section});
    default: break;
    }
    return CLocalText::Say(Id::LabelWrite, {std::to_string(label.bytes)});
}

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

CLocalText FailureReason(const OutcomeRow& row, bool nobodyAsked, UpdateStep step, const UpdateSettings& settings,
                         const CLinkWatch& watch, const std::optional<VolumeRefusal>& prompted,
                         const std::string& reported)
{
    // Its row tells a prompt nobody answered from the operator's Cancel: both are the
    // engine's Cancelled.
    if (&row == &COutcomeTable::PromptUnanswered())
        return CLocalText::Say(nobodyAsked ? Id::ReasonNoPromptAsks : Id::ReasonNobodyAnswered,
                               {VolumeFinding(prompted, settings)});
    switch (row.engine) {
    case UpdateOutcome::Completed:
        return {};
    case UpdateOutcome::Cancelled:
        return CLocalText::Say(Id::ReasonCancelled, {VolumeFinding(prompted, settings)});
    case UpdateOutcome::Interrupted:
        return CLocalText::Say(Id::ReasonInterrupted, {StepName(step)});
    case UpdateOutcome::TargetNotOpened:
        if (settings.useUsb)
            return UsbSearch(settings, watch);
        if (!watch.OpenSeen() || watch.OpenError() == kErrorSuccess)
            return CLocalText::Say(Id::ReasonTcpNotOpened, {TargetText(settings)});
        if (watch.OpenError() == kErrorTimeout)
            return CLocalText::Say(Id::ReasonTcpTimedOut, {TargetText(settings), Seconds(watch.OpenSeconds())});
        return CLocalText::Say(Id::ReasonTcpError, {TargetText(settings), DescribeError(watch.OpenError())});
    case UpdateOutcome::SetupFailure:
    case UpdateOutcome::NoIdentification:
    case UpdateOutcome::HeaderSizeFailure:
    case UpdateOutcome::HeaderTransferError:
    case UpdateOutcome::CommunicationError:
        // The outcome's name stays the machine word a script also reads in the JSON.
        return CLocalText::Say(Id::ReasonWithDetail, {row.name, Exchange(watch)});
    default:
        break;
    }
    const CLocalText problem = FileProblem(row.engine, step, settings, reported);
    return problem.Empty() ? CLocalText::Say(Id::ReasonAtStep, {row.name, StepName(step)}) : problem;
}

}  // namespace zorflash

#pragma once

#include "resources/strings/Language.h"

#include <initializer_list>
#include <string>

namespace zorflash {

// The words the progress displays and the summary put around their figures, in both
// languages. The status texts themselves come from the string tables and never change;
// these only frame them, so a run in Japanese reads in Japanese from the first line to
// the summary.
class CDisplayTexts {
public:
    enum class Id {
        // The summary table's column headers.
        Target, Outcome, Records, Bytes, Time, Rate,
        // The count line under the table.
        TargetCount, TargetCountOne, CountCompleted, CountFailed, CountCancelled, CountInterrupted, Separator,
        // The fleet block's overall line.
        OverallDone, OverallRunning, OverallWaiting, OverallFailed, OverallEta,
        // A running target's state, short enough to leave room for its figures.
        StateConnecting, StateHeader, StateSending, StateDisk, StateDone,
        TimeLeft,
        // The line that ends a single run.
        SentSummary,
        // A fleet's end: a target the run ended before its turn, and the line on stderr.
        NotStarted, NotCompleted, AndMore,
        // Why a run did not complete (stderr; the JSON keeps the English for scripts).
        ReasonNoPromptAsks, ReasonNobodyAnswered, ReasonCancelled, VolumeIs, VolumeNotBrought, VolumeMissingWord,
        VolumeUnreadableWord, VolumeWrongNumberWord, VolumeWrongFileWord, ReasonInterrupted, ReasonUsbNoneFound,
        ReasonUsbNoneAnswered, UsbAnswered, UsbDeviceNumber, UsbNoDeviceNumber, UsbSearchEnds, ReasonTcpNotOpened,
        ReasonTcpTimedOut, ReasonTcpError, ExchangeSendFailed, ExchangeNothing, ExchangePartial, ExchangeClosed,
        ExchangeClosedAfter, ExchangeError, ExchangeAfter, ExchangeWrongReply,
        // What the last write carried, as the reasons name it.
        LabelLinkOpened, LabelUpdateStart, LabelSync, LabelIdentification, LabelHeaderSize, LabelHeader,
        LabelStartRecord, LabelRecord, LabelRecords, LabelEnd, LabelWrite, ExpectedEcho,
        ReasonFileUnreadable, ReasonOutOfMemory, ReasonHeaderOfNone, ReasonShortHeader, ReasonFileChanged,
        ReasonBadChecksum, ReasonNoEnd, ReasonAtStep, ReasonWithDetail,
        ReasonOperatorInterrupt, HoldsIncomplete, NothingSent, StatusFileNotWritten, SentButStatusMissing,
        SentButStatusLost, ReasonShortage, NotContacted, NoneContacted, NotStartedBecause, StoppedBeforeTurn,
        ReasonProblemAt, ReasonProblemSentence, OperatorCancelledPrompt, SentButLost, OperatorInterruptedTarget,
        EveryTarget, SentButAStatusMissing,
        // The disk prompt's question and what a volume that cannot be opened is.
        PromptLookingFor, PresentNow, NoAnswerFound, CannotOpenPath, NotRegularFile,
        // What is wrong with a target as typed (--tcp, --usb-number, a targets file).
        TargetIpv6, TargetColons, TargetPortNotNumber, TargetPortRange, TargetFourNumbers, TargetOctet,
        TargetUnspecified, TargetBroadcast, TargetMulticast, TargetQuoted, TargetInRange, TargetBackwards,
        TargetTooMany, TargetUsbNumbers, TargetFileTimeout, TargetFileUnreadable, TargetFileLarge, TargetLineLong,
        TargetUsbLine, TargetTwice, TargetTooManyTargets,
        // A status file or trace that cannot be used, said before any contact.
        StatusFileUnusable, TraceUnwritable, StatusAndTraceSame, OutputsSame,
        // Where the pre-check and inspect found the first problem.
        WhereVolumeMissing, WhereShortHeader, WhereRecord, WhereEndsWithVolume2, WhereReading, WhereVolume,
        VolumeNotFound, VolumeProblemAt,
        // inspect's report; the labels carry their own padding, measured in columns.
        InspectNote, InspectModel, InspectKind, InspectVolumes, InspectVolume, InspectSection, InspectTotal,
        InspectResult, InspectWhere, InspectUnknown, InspectOtherFile, InspectOk,
        // probe's table and notes.
        ProbeSkipped, ProbeNone, ProbeDevice, ProbeNumber, ProbeReply, ProbeNoNumber, ProbeNoZero,
        // Mistakes on the command line that are ours to word (the parser's own stay English).
        UsageUnknownModel, UsageChooseLink, UsageNoUsb, UsageNoTcp, UsageNotMilliseconds, UsageTimeoutRange,
        UsageNeedsTarget, UsageUnknownCommand, UsageDidYouMean, UsageRunHelp,
    };

    static const char* Text(Id id, Language language);
    // The text with each "{}" replaced by the next of `values`, in order.
    static std::string Format(Id id, Language language, std::initializer_list<std::string> values);
};

}  // namespace zorflash

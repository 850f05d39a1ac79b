#pragma once

#include "platform/ConsoleInterrupt.h"
#include "resources/strings/Language.h"
#include "update/UpdateResult.h"

#include <span>
#include <string_view>

namespace zorflash {

// What zorflash-cli tells a script.
enum CliExitCode : int {
    kExitCompleted = 0,      // the transfer completed (inspect: the file would transfer completely)
    kExitFailed = 1,         // file, target or communication failure, or a disk prompt nobody answered; stderr says why
    kExitUsage = 2,          // command-line error, or a --status-file that cannot be used
    kExitCancelled = 3,      // the operator cancelled the disk prompt
    kExitStatusFileLost = 4, // the firmware was sent completely, but the status file could not be written
    kExitHangUp = 129,       // SIGHUP: the link was closed first, the status file written
    kExitInterrupted = 130,  // Ctrl+C (SIGINT): likewise
    kExitTerminated = 143    // SIGTERM: likewise
};

// What a run's end means to whoever counts the runs: a fleet's summary, a JSON reader.
enum class OutcomeVerdict { Completed, Failed, Cancelled, Interrupted };

// Terminal only and never under NO_COLOR; the desktop may use the same hint.
enum class OutcomeColour { None, Green, Red, Yellow };

// Everything a front end says about how a run ended. `engine` is the engine's outcome; two
// rows share theirs with another row because the front end knows more than the engine did:
// a disk prompt nobody was there to answer (the engine saw a Cancel), and a completed update
// whose status file could not be written.
struct OutcomeRow {
    UpdateOutcome engine;
    const char* name;  // the JSON "outcome"; never changes for an outcome once released
    int exitCode;
    OutcomeVerdict verdict;
    OutcomeColour colour;
    const char* label[2];     // a word or two for a table column, per Language
    const char* nextStep[2];  // what the operator does now, one sentence or two, per Language

    const char* Label(Language language) const { return label[static_cast<int>(language)]; }
    const char* NextStep(Language language) const { return nextStep[static_cast<int>(language)]; }
};

// An exit code and what it tells a script, for --help and the manual page.
struct ExitCodeMeaning {
    int code;
    const char* meaning[2];  // per Language
};

// The one place that turns how a run ended into exit codes, names, words and colours: the
// command line, the desktop's presenters and the README's operator table all read it, so
// they cannot drift apart.
class COutcomeTable {
public:
    static std::span<const OutcomeRow> Rows();
    static const OutcomeRow& Of(UpdateOutcome outcome);
    // A disk prompt that ended the run without anybody answering it (end of input, --no-prompt).
    static const OutcomeRow& PromptUnanswered();
    // The update completed, but its status file could not be written.
    static const OutcomeRow& StatusFileLost();
    // The row of a JSON name, or nullptr.
    static const OutcomeRow* Named(std::string_view name);

    // A run that a signal ended has the signal's code, whatever the run then showed.
    static int InterruptionExitCode(CConsoleInterrupt::Reason reason);
    // The code a run of several targets ends with: its most serious target's. A signal
    // outranks a failure, a failure an operator's cancel, a cancel a lost status file;
    // no target at all is a failure.
    static int FleetExitCode(std::span<const int> targetCodes);
    static std::span<const ExitCodeMeaning> ExitCodes();

    // Records went out and the update did not complete: the instrument holds part of a
    // firmware and must not be used before an update completes.
    static bool LeftIncomplete(const UpdateResult& result);
    static const char* IncompleteNote(Language language);
};

}  // namespace zorflash

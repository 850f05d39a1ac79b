#include "cli/commands/FleetCommand.h"

#include "present/OutcomeTable.h"
#include "cli/run/ChangeSignal.h"
#include "cli/check/FileCheck.h"
#include "cli/output/FleetConsole.h"
#include "cli/run/FleetHost.h"
#include "cli/run/FleetRunner.h"
#include "cli/run/TargetFiles.h"
#include "cli/output/JsonEvents.h"
#include "cli/output/NextStep.h"
#include "cli/diagnose/LinkTrace.h"
#include "cli/output/OutputQueue.h"
#include "cli/check/PreCheck.h"
#include "cli/output/PrintableText.h"
#include "present/SummaryTable.h"
#include "platform/Console.h"
#include "platform/ConsoleInterrupt.h"
#include "platform/DescriptorLimit.h"
#include "platform/StatusFile.h"
#include "present/DisplayTexts.h"
#include "present/OutcomeTable.h"
#include "present/ProgressLine.h"
#include "update/UpdateWorker.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <system_error>

namespace zorflash {

namespace {

double Rounded(double seconds)
{
    return std::round(seconds * 1e6) / 1e6;
}

// How one target ended: its row of the table, and its outcome and exit code as a script
// reads them, the same names and codes as for one instrument.
struct TargetEnd {
    CSummaryTable::Row row;
    std::string outcome;
    int exitCode = kExitFailed;
    std::string reason;
    std::string step;  // where its run ended, as its result event names it
    bool started = false;
};

// The row speaks the outcome table's short labels, in the run's language: the status text
// and the reason on stderr give the detail.
CSummaryTable::Row RowFor(const CFleetHost& host, CFleetRunner::State state, Language language)
{
    CSummaryTable::Row row;
    row.target = host.Target();
    if (state == CFleetRunner::State::NotStarted) {
        row.verdict = CSummaryTable::Verdict::Interrupted;
        row.outcome = CDisplayTexts::Text(CDisplayTexts::Id::NotStarted, language);
        if (host.NotStartedBy() != PromptEnd::RunGoesOn) {
            const bool nobody = host.Outcome().nobodyAnswered;
            row.verdict = nobody ? CSummaryTable::Verdict::Failed : CSummaryTable::Verdict::Cancelled;
            row.outcome = (nobody ? COutcomeTable::PromptUnanswered() : COutcomeTable::Of(UpdateOutcome::Cancelled))
                              .Label(language);
        }
        return row;
    }
    const UpdateResult& result = host.Result();
    row.records = static_cast<long long>(result.records);
    row.bytes = result.bytes;
    row.seconds = host.Seconds();
    row.sendingSeconds = host.Progress().seconds;
    const bool nobody = host.Outcome().nobodyAnswered;
    const OutcomeRow& outcome = nobody ? COutcomeTable::PromptUnanswered() : COutcomeTable::Of(result.outcome);
    row.outcome = outcome.Label(language);
    row.verdict = static_cast<CSummaryTable::Verdict>(outcome.verdict);
    return row;
}

// The last line on stderr says what a script or a station's operator acts on.
std::string Verdict(const std::vector<TargetEnd>& ends, Language language)
{
    std::string names;
    std::size_t failed = 0;
    for (const TargetEnd& end : ends) {
        if (end.exitCode == kExitCompleted)
            continue;
        if (++failed <= 5)
            names += std::string(failed > 1 ? ", " : "") + end.row.target + " (" + end.row.outcome + ")";
    }
    if (failed > 5)
        names += CDisplayTexts::Format(CDisplayTexts::Id::AndMore, language, {std::to_string(failed - 5)});
    return CDisplayTexts::Format(CDisplayTexts::Id::NotCompleted, language,
                                 {std::to_string(failed), std::to_string(ends.size()), names});
}

nlohmann::ordered_json SummaryOf(const std::vector<TargetEnd>& ends, int code, double seconds)
{
    int counts[4] = {};
    nlohmann::ordered_json results = nlohmann::ordered_json::array();
    for (const TargetEnd& end : ends) {
        ++counts[static_cast<int>(end.row.verdict)];
        const double rate = end.row.Rate();
        results.push_back({{"target", end.row.target},
                           {"outcome", end.outcome},
                           {"exit", end.exitCode},
                           {"reason", end.reason},
                           {"step", end.step},
                           {"records", std::max(0LL, end.row.records)},
                           {"bytes", end.row.bytes},
                           {"seconds", Rounded(end.row.seconds)},
                           {"rate", std::round(rate)}});
    }
    return {{"exit", code},
            {"targets", ends.size()},
            {"completed", counts[0]},
            {"failed", counts[1]},
            {"cancelled", counts[2]},
            {"interrupted", counts[3]},
            {"seconds", Rounded(seconds)},
            {"results", results}};
}

// The fleet's block is redrawn at most this often while its targets change, and this
// often while they only wait.
constexpr std::chrono::milliseconds kRedrawEvery{100};
constexpr std::chrono::milliseconds kRedrawIdle{1000};

// Descriptors a running target holds: its link (socket or device), the volume it reads
// and its abort signal; a USB search opens one candidate device at a time beside them.
constexpr std::size_t kDescriptorsPerTarget = 4;
// Kept free beside the targets: the status file's temporary file and its folder.
constexpr std::size_t kDescriptorsInReserve = 2;

// How many targets may run at once within the descriptor limit, at most `asked`; the
// lanes the limit leaves room for, which may be 0.
std::size_t LanesWithinDescriptorLimit(std::size_t asked, std::string& note)
{
    std::size_t free = 0;
    std::size_t limit = 0;
    if (!FreeDescriptors(free, limit))
        return asked;
    const std::size_t room = free > kDescriptorsInReserve ? (free - kDescriptorsInReserve) / kDescriptorsPerTarget : 0;
    if (room >= asked)
        return asked;
    note = "the limit of open files (" + std::to_string(limit) + ", " + std::to_string(free) +
           " free) leaves room for " + std::to_string(room) + " of the " + std::to_string(asked) +
           " targets asked to run at once (" + std::to_string(kDescriptorsPerTarget) + " files each)";
    return room;
}

} // namespace

int RunFleet(const FlashOptions& options, COutputQueue& output)
{
    const auto commandStart = std::chrono::steady_clock::now();
    const auto say = [&output](const std::string& line) { output.Post(stderr, "zorflash-cli: " + line + "\n"); };
    std::unique_ptr<CJsonEvents> json = options.json ? std::make_unique<CJsonEvents>(output, stdout) : nullptr;
    CFleetConsole::Options consoleOptions;
    consoleOptions.interactive = !options.json && IsTerminal(stdout);
    consoleOptions.quiet = options.quiet;
    consoleOptions.json = options.json;
    consoleOptions.noPrompt = options.noPrompt;
    const char* noColour = std::getenv("NO_COLOR");
    consoleOptions.colour = consoleOptions.interactive && !(noColour && *noColour);
    consoleOptions.language = options.language;
    CFleetConsole console(consoleOptions, output, stdout, stderr);

    CTargetFiles files;
    std::string error;
    if (!files.Open(options, output, error)) {
        say(error);
        return kExitUsage;
    }

    // The file is read once for every target: a problem found here ends the run before any
    // instrument is contacted, with the status text the update would have written.
    std::optional<CPreCheck> check;
    if (options.precheck)
        check.emplace(options.settings, options.language, options.noPrompt, json.get(), options.quiet ? nullptr : &output);
    const bool refused = check && check->Refused();
    // The engine counts the volumes as it finds them; the pre-check's count is exact.
    const uint64_t total = check ? check->TotalBytes(0) : 0;

    // The display wakes when a target ends or a signal comes, and redraws while lines and
    // progress change; so the command ends as its last target does.
    CChangeSignal changes;
    std::vector<std::unique_ptr<CFleetHost>> hosts;
    for (std::size_t i = 0; i < options.targets.size(); ++i) {
        const FleetTarget& target = options.targets[i];
        const UpdateSettings settings = options.SettingsFor(target);
        CFleetHost::Options hostOptions;
        hostOptions.totalBytes = total;
        hostOptions.timeoutMs = options.timeoutMs;
        hostOptions.waitLimitMs = options.timeoutGiven ? options.timeoutMs : 0;
        hostOptions.json = json.get();
        hostOptions.trace = files.Trace(i).IsOpen() ? &files.Trace(i) : nullptr;
        hostOptions.changes = &changes;
        files.Trace(i).Heading(settings);
        hosts.push_back(std::make_unique<CFleetHost>(target.Name(), settings, options.language, console, hostOptions));
    }

    // A target that has ended: its row, its status and trace file, its reason on stderr
    // and its result event, as soon as it is known.
    std::vector<TargetEnd> ends(hosts.size());
    std::vector<CSummaryTable::Row> pending;  // ended, not shown yet above the block
    bool statusLost = false;
    std::string internalError;  // what stopped the display, if anything did
    CConsoleInterrupt::Reason interruption = CConsoleInterrupt::Reason::None;
    // Each target's next step, in the words of one instrument's run.
    const auto nextStep = [&](std::size_t i, const OutcomeRow& row) {
        return NextStepLine(row, COutcomeTable::LeftIncomplete(hosts[i]->Result()), options.language);
    };
    const auto sayReason = [&](std::size_t i) {
        // Only failures: an interrupted target, or one never started, has its own line
        // after the table, a lost status file has had its own, and the operator who
        // answered Cancel needs none (the JSON result has each reason).
        if (ends[i].reason.empty() || ends[i].row.verdict != CSummaryTable::Verdict::Failed)
            return;
        const OutcomeRow* row = COutcomeTable::Named(ends[i].outcome);
        if (hosts[i]->Outcome().nobodyAnswered || hosts[i]->NotStartedBy() != PromptEnd::RunGoesOn) {
            console.NoteOnce(ends[i].reason);  // the same volume, or the same answer, for every target
            if (row)
                console.NoteOnce(nextStep(i, *row));
        } else {
            console.Error(hosts[i]->Target(), ends[i].reason);
            if (row)
                console.Error(hosts[i]->Target(), nextStep(i, *row));
        }
    };
    const auto conclude = [&](std::size_t i, CFleetRunner::State state, const std::string* givenReason) {
        CFleetHost& host = *hosts[i];
        TargetEnd& end = ends[i];
        const bool started = state != CFleetRunner::State::NotStarted;
        // Not started because the disk prompt had ended the run for good (no signal came):
        // it ends as that answer ends a target, without ever being contacted.
        if (!started && interruption == CConsoleInterrupt::Reason::None && console.FinalAnswer() != PromptEnd::RunGoesOn)
            host.EndNotStarted(console.FinalAnswer(), console.FinalRefusal());
        const bool byAnswer = host.NotStartedBy() != PromptEnd::RunGoesOn;
        const FlashOutcome outcome = host.Outcome();
        end.row = RowFor(host, state, options.language);
        end.started = started;
        end.outcome = started || byAnswer ? outcome.Name() : "interrupted";
        const bool interrupted = (!started && !byAnswer) || host.Result().outcome == UpdateOutcome::Interrupted;
        // Stopped without a signal, by an error of the program: a failure, like the run.
        end.exitCode = !interrupted                                      ? outcome.ExitCode()
                       : interruption != CConsoleInterrupt::Reason::None ? COutcomeTable::InterruptionExitCode(interruption)
                                                                         : static_cast<int>(kExitFailed);
        if (givenReason) {
            end.reason = *givenReason;
        } else if (byAnswer) {
            end.reason = "not started: " + (outcome.nobodyAnswered ? host.Reason()
                                                                    : std::string("the operator cancelled the disk prompt"));
            if (!console.Interactive())
                sayReason(i);
        } else if (started) {
            end.reason = host.Reason();
            // On a terminal the reasons follow the table, out of the progress block's way.
            if (!end.reason.empty() && !console.Interactive())
                sayReason(i);
        } else {
            end.reason = "not started: the run was stopped before this target's turn";
        }
        std::string error;
        files.Trace(i).Close("zorflash-cli: " + host.Target() + ": the trace file could not be written completely\n");
        // A target never started has no status text of its own: it leaves no file.
        CStatusFile* statusFile = files.Status(i);
        if (started && statusFile && !statusFile->Write(host.StatusText(), error)) {
            const std::string lost = "cannot write the status file " + PrintableText(statusFile->Path()) + ": " +
                                     PrintableText(error);
            console.Error(host.Target(), lost);
            if (outcome.Completed()) {
                statusLost = true;
                end.outcome = COutcomeTable::StatusFileLost().name;
                end.row.outcome = COutcomeTable::StatusFileLost().Label(options.language);
                end.exitCode = COutcomeTable::StatusFileLost().exitCode;
                end.reason = "the firmware was sent completely, but " + lost;
            }
        }
        end.step = StepName(host.Result().step);
        if (host.Json())
            host.Json()->Result({{"outcome", end.outcome},
                                 {"step", end.step},
                                 {"exit", end.exitCode},
                                 {"reason", end.reason},
                                 {"contacted", host.Contacted()},
                                 {"bytes", host.BytesSent()},
                                 {"records", host.Result().records},
                                 {"acknowledgedRecords", host.Result().acknowledgedRecords},
                                 {"seconds", started ? Rounded(host.Seconds()) : 0.0}});
        return end.row;
    };

    if (refused) {
        const CFileCheck::Report& report = check->Report();
        const std::string reason = CFileCheck::RefusalReason(report, options.settings);
        say(reason + "; no instrument was contacted");
        const FlashOutcome outcome = OutcomeOfRefusal(report.outcome, report.asked.has_value());
        say(NextStepLine(outcome.nobodyAnswered ? COutcomeTable::PromptUnanswered() : COutcomeTable::Of(outcome.outcome),
                         false, options.language));
        for (std::size_t i = 0; i < hosts.size(); ++i) {
            CFileCheck::LogRefusal(report, *hosts[i], options.language);
            hosts[i]->Finish();
            hosts[i]->EndWithoutContact(outcome, report.asked);
            conclude(i, CFleetRunner::State::Finished, &reason);
        }
    } else {
        // Ctrl+C, SIGTERM or SIGHUP trigger the console's abort signal: a prompt waiting for
        // an answer gives up at once, no further target starts, and the display below
        // closes every link.
        std::optional<CConsoleInterrupt> interrupt;
        try {
            interrupt.emplace(console.Abort(), [&changes] { changes.Notify(true); });
        } catch (const std::system_error& e) {
            say(std::string("cannot start the run: ") + e.what() + "; no instrument was contacted");
            return kExitUsage;
        }
        const std::size_t asked =
            options.parallel == 0 ? hosts.size() : std::min(options.parallel, hosts.size());
        std::string limitNote;
        const std::size_t lanes = LanesWithinDescriptorLimit(asked, limitNote);
        if (lanes == 0) {
            say("cannot run any target: " + limitNote + "; no instrument was contacted");
            return kExitUsage;
        }
        if (lanes < asked)
            say("--parallel lowered to " + std::to_string(lanes) + ": " + limitNote);
        CFleetRunner runner(hosts.size(), lanes, &changes);
        bool stopped = false;
        const auto stopAll = [&] {
            stopped = true;
            runner.StopStarting();
            console.Interrupt();
            for (auto& host : hosts)
                host->Stop();
        };
        const auto task = [&hosts](std::size_t index) {
            CFleetHost& host = *hosts[index];
            // Whatever ends the update, the job's link closes as it unwinds, and the target
            // ends as failed with the reason; the other targets go on.
            try {
                host.Begin();
                UpdateThreadProc(&host);
            } catch (const std::bad_alloc&) {
                host.EndWithError(UpdateOutcome::OutOfMemory, "out of memory; the link was closed");
            } catch (const std::exception& e) {
                host.EndWithError(UpdateOutcome::FileError, std::string("the update stopped on an error of the "
                                                                        "program: ") + e.what() + "; the link was closed");
            } catch (...) {
                host.EndWithError(UpdateOutcome::FileError, "the update stopped on an error of the program; the link "
                                                            "was closed");
            }
            host.Finish();
        };
        // Asked on the lane, right before a target would start: after a signal, or once the
        // disk prompt was cancelled or went unanswered, a target still waiting for its turn
        // would only be sent volume 1 of an update it cannot finish.
        const auto mayStart = [&console](bool queued) {
            return !console.Abort().IsTriggered() && (!queued || console.FinalAnswer() == PromptEnd::RunGoesOn);
        };
        const std::size_t made = runner.Start(task, mayStart);
        if (made == 0) {
            say("cannot start the run: the system has no thread to spare; no instrument was contacted");
            return kExitUsage;
        }
        if (made < lanes)
            say("only " + std::to_string(made) + " of " + std::to_string(lanes) + " targets can run at once: the "
                "system has no more threads; the others wait for their turn");

        // The display: the targets that ended scroll up as one line each at once, and the
        // running ones are redrawn at most ten times a second while they change, once a
        // second while they wait (their clocks run on), and again soon when the terminal
        // or a prompt held the last draw back.
        std::vector<bool> reported(hosts.size(), false);
        try {
            std::vector<CFleetRunner::State> states(hosts.size());
            for (bool last = false; !last;) {
                last = runner.Done();
                for (std::size_t i = 0; i < hosts.size(); ++i)
                    states[i] = runner.StateOf(i);
                // Looked at after the states: a target that ended because of a signal is
                // then always concluded as interrupted, with the signal's exit code.
                if (!stopped && interrupt->Received() != CConsoleInterrupt::Reason::None) {
                    interruption = interrupt->Received();
                    stopAll();
                }
                CProgressBlock::Fleet fleet;
                fleet.targets = static_cast<int>(hosts.size());
                for (std::size_t i = 0; i < hosts.size(); ++i) {
                    const CFleetRunner::State state = states[i];
                    if ((state == CFleetRunner::State::Finished || state == CFleetRunner::State::NotStarted) &&
                        !reported[i]) {
                        reported[i] = true;
                        pending.push_back(conclude(i, state, nullptr));
                    } else if (state == CFleetRunner::State::Running) {
                        fleet.running.push_back({hosts[i]->Target(), hosts[i]->Progress()});
                    }
                    fleet.waiting += state == CFleetRunner::State::Waiting ? 1 : 0;
                    fleet.done += reported[i] ? 1 : 0;
                    fleet.failed += reported[i] && ends[i].row.verdict == CSummaryTable::Verdict::Failed ? 1 : 0;
                }
                const bool drawn = console.Draw(pending, fleet);
                if (drawn)
                    pending.clear();
                if (!last) {
                    const auto now = CChangeSignal::Clock::now();
                    changes.Wait(now + kRedrawEvery, now + (drawn ? kRedrawIdle : kRedrawEvery));
                }
            }
        } catch (const std::exception& e) {
            internalError = e.what();
        } catch (...) {
            internalError = "unknown error";
        }
        if (!internalError.empty()) {
            // Nothing may leave an instrument mid-transfer: every link is closed and every
            // target concluded (status file, result) before the run ends as failed.
            stopAll();
            runner.Join();
            for (std::size_t i = 0; i < hosts.size(); ++i)
                if (!reported[i]) {
                    reported[i] = true;
                    conclude(i, runner.StateOf(i), nullptr);
                }
            say("the run stopped on an error of the program: " + internalError + "; every link was closed");
        }
        runner.Join();
        if (interruption == CConsoleInterrupt::Reason::None && internalError.empty())
            interruption = interrupt->Received();
        console.EndDisplay();
    }

    const bool interrupted = interruption != CConsoleInterrupt::Reason::None;
    std::vector<CSummaryTable::Row> rows;
    std::vector<int> codes;
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        rows.push_back(ends[i].row);
        codes.push_back(ends[i].exitCode);
        // The status texts stay as the engine wrote them (a communication error); these
        // lines say what really ended each run.
        if (interrupted && ends[i].row.verdict == CSummaryTable::Verdict::Interrupted &&
            ends[i].started) {
            console.Error(hosts[i]->Target(), "interrupted by the operator (" +
                                                  std::string(CConsoleInterrupt::Describe(interruption)) + "); " +
                                                  (hosts[i]->BytesSent() > 0 ? "the instrument holds an incomplete update"
                                                                             : "no firmware record had been sent"));
            console.Error(hosts[i]->Target(), nextStep(i, COutcomeTable::Of(UpdateOutcome::Interrupted)));
        }
    }
    int code = interrupted ? COutcomeTable::InterruptionExitCode(interruption) : COutcomeTable::FleetExitCode(codes);
    if (!internalError.empty() && !interrupted)
        code = kExitFailed;
    if (statusLost && code == kExitCompleted)
        code = kExitStatusFileLost;
    console.Summary(pending, rows);
    if (console.Interactive() && !refused)
        for (std::size_t i = 0; i < hosts.size(); ++i)
            sayReason(i);
    if (code == kExitStatusFileLost)
        console.Error("every target", "the firmware was sent completely, but a status file is missing");
    else if (code != kExitCompleted)
        console.NoteOnce(Verdict(ends, options.language));
    if (json)
        json->Summary(SummaryOf(ends, code,
                                std::chrono::duration<double>(std::chrono::steady_clock::now() - commandStart).count()));
    return code;
}

}  // namespace zorflash

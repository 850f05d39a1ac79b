#include "cli/commands/FlashCommand.h"

#include "present/OutcomeTable.h"
#include "cli/diagnose/FailureReason.h"
#include "cli/check/FileCheck.h"
#include "cli/run/FlashOutcome.h"
#include "cli/output/JsonEvents.h"
#include "cli/output/NextStep.h"
#include "cli/diagnose/LinkTrace.h"
#include "cli/diagnose/LinkWatch.h"
#include "cli/output/OutputQueue.h"
#include "cli/check/PreCheck.h"
#include "cli/output/PrintableText.h"
#include "cli/output/StatusText.h"
#include "cli/run/TargetFiles.h"
#include "cli/run/TerminalHost.h"
#include "platform/Console.h"
#include "platform/ConsoleInterrupt.h"
#include "platform/StatusFile.h"
#include "present/ProgressLine.h"
#include "update/UpdateProtocol.h"
#include "update/UpdateWorker.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace zorflash {

namespace {
// The pre-check found a problem: the command ends with the status text the update
// would have written for it, and the instrument is never contacted.
int RefuseFile(const CFileCheck::Report& report, const UpdateSettings& settings, const FlashOptions& options, CTerminalHost& host,
               CJsonEvents* json, COutputQueue& output)
{
    CFileCheck::LogRefusal(report, host, options.language);
    host.Finish();
    const std::string reason = CFileCheck::RefusalReason(report, settings);
    output.Post(stderr, "zorflash-cli: " + reason + "; the instrument was not contacted\n");
    const FlashOutcome outcome = OutcomeOfRefusal(report.outcome, report.asked.has_value());
    const OutcomeRow& row =
        outcome.nobodyAnswered ? COutcomeTable::PromptUnanswered() : COutcomeTable::Of(outcome.outcome);
    output.Post(stderr, "zorflash-cli: " + NextStepLine(row, false, options.language) + "\n");
    if (json)
        json->Result({{"outcome", outcome.Name()}, {"exit", outcome.ExitCode()}, {"reason", reason}, {"contacted", false}});
    return outcome.ExitCode();
}

}  // namespace

int RunFlash(const FlashOptions& options, COutputQueue& output)
{
    const UpdateSettings settings = options.SettingsFor(options.targets.front());
    const auto say = [&output](const std::string& line) { output.Post(stderr, "zorflash-cli: " + line + "\n"); };
    const auto commandStart = std::chrono::steady_clock::now();
    CTargetFiles files;
    std::string error;
    if (!files.Open(options, output, error)) {
        say(error);
        return kExitUsage;
    }
    CStatusFile* statusFile = files.Status(0);
    CLinkTrace& trace = files.Trace(0);
    const char* noColorValue = std::getenv("NO_COLOR");
    const bool noColour = noColorValue && *noColorValue;  // set and not empty
    std::unique_ptr<CJsonEvents> json;
    if (options.json)
        json = std::make_unique<CJsonEvents>(output, stdout);
    CLinkWatch watch(trace.IsOpen() ? &trace : nullptr);

    CTerminalHost::Options hostOptions;
    hostOptions.quiet = options.quiet;
    hostOptions.interactive = !options.json && IsTerminal(stdout);
    hostOptions.colour = hostOptions.interactive && !noColour;
    hostOptions.noPrompt = options.noPrompt;
    hostOptions.totalBytes = 0;  // the engine counts the volumes as it finds them
    hostOptions.timeoutMs = options.timeoutMs;
    hostOptions.waitLimitMs = options.timeoutGiven ? options.timeoutMs : 0;
    hostOptions.language = options.language;
    hostOptions.json = json.get();
    hostOptions.watch = &watch;

    if (options.precheck) {
        const CPreCheck check(settings, options.language, options.noPrompt, json.get(),
                              options.quiet ? nullptr : &output);
        if (check.Refused()) {
            CTerminalHost host(settings, hostOptions, output, stdout, stderr);
            const int code = RefuseFile(check.Report(), settings, options, host, json.get(), output);
            if (statusFile && !statusFile->Write(host.StatusText(), error))
                say("cannot write the status file " + PrintableText(options.statusFile) + ": " + error);
            return code;
        }
        hostOptions.totalBytes = check.TotalBytes(0);  // exact: nothing behind the last END
    }

    CTerminalHost host(settings, hostOptions, output, stdout, stderr);
    trace.Heading(settings);

    CConsoleInterrupt::Reason interruption = CConsoleInterrupt::Reason::None;
    {
        // Both threads are made before the instrument is contacted: a system out of threads
        // ends the command here, like any other resource the run cannot start without.
        std::optional<CConsoleInterrupt> watcher;
        std::thread worker;
        try {
            watcher.emplace(host.Abort());
            worker = StartUpdateWorker(&host);
        } catch (const std::system_error& e) {
            say(std::string("cannot start the update: ") + e.what() + "; the instrument was not contacted");
            trace.Close("");
            return kExitUsage;
        }
        while (!host.AwaitFinish(std::chrono::milliseconds(250))) {
        }
        worker.join();
        interruption = watcher->Received();
    }
    host.Finish();
    trace.Close("zorflash-cli: the trace file " + PrintableText(options.traceFile) +
                " could not be written completely\n");

    const std::string& text = host.StatusText();
    const bool interrupted = interruption != CConsoleInterrupt::Reason::None;
    const FlashOutcome outcome = OutcomeOfRun(host.Result(), host.LastPromptEnd());
    std::string outcomeName = outcome.Name();
    // A signal wins over whatever the run ended with: the operator asked to stop.
    int code = interrupted ? COutcomeTable::InterruptionExitCode(interruption) : outcome.ExitCode();
    const uint64_t records = host.Result().records;

    // Every run that did not complete says why, once on stderr and in the JSON result.
    std::string reason;
    bool reasonSaid = false;
    if (interrupted) {
        // The status text stays as the engine wrote it (a communication error); this line
        // says what really ended the run.
        reason = std::string("interrupted by the operator (") + CConsoleInterrupt::Describe(interruption) +
                 ") during \"" + PrintableText(host.StepAtInterruption()) + "\"; " +
                 (host.BytesSent() > 0 ? "the instrument holds an incomplete update" : "no firmware record had been sent");
        say(reason);
        reasonSaid = true;
    } else {
        reason = !host.Shortage().empty()
                     ? host.Shortage()
                     : FailureReason(outcome, host.Result().step, settings, watch, host.LastPromptEnd(),
                                     host.Result().refusal, host.Reported());
        // The operator who answered Cancel needs no line saying so; a script has it.
        reasonSaid = outcome.outcome == UpdateOutcome::Cancelled && !outcome.nobodyAnswered;
    }
    if (statusFile) {
        if (!statusFile->Write(text, error)) {
            say("cannot write the status file " + PrintableText(options.statusFile) + ": " + error);
            if (!interrupted && outcome.Completed()) {
                say("the firmware was sent completely, but the status file is missing");
                outcomeName = COutcomeTable::StatusFileLost().name;
                code = COutcomeTable::StatusFileLost().exitCode;
                reason = "the firmware was sent completely, but the status file " +
                         PrintableText(options.statusFile) + " could not be written: " + error;
                reasonSaid = true;
            }
        }
    }

    // On a pipe too, and after a failure that sent records: a log says how far it got. Off a
    // terminal it goes to stderr with the progress lines, so that stdout stays the status
    // text a script keeps; before the reason, so that the next step is the last word.
    if ((outcome.Completed() || host.BytesSent() > 0) && !options.json && !options.quiet)
        output.Post(hostOptions.interactive ? stdout : stderr,
                    CProgressLine::Summary(host.BytesSent(), records, host.Progress().seconds, options.language) + "\n");
    if (!reason.empty() && !reasonSaid) {
        const bool colour = IsTerminal(stderr) && !noColour;
        output.Post(stderr, std::string(colour ? "\033[31m" : "") + "zorflash-cli: " + reason +
                                (colour ? "\033[0m" : "") + "\n");
    }
    // What to do now, the operator's Cancel included: a Cancel at volume 2 leaves the
    // instrument with volume 1's records.
    if (code != kExitCompleted) {
        const OutcomeRow& row = interrupted                   ? COutcomeTable::Of(UpdateOutcome::Interrupted)
                                : code == kExitStatusFileLost ? COutcomeTable::StatusFileLost()
                                : outcome.nobodyAnswered      ? COutcomeTable::PromptUnanswered()
                                                              : COutcomeTable::Of(outcome.outcome);
        say(NextStepLine(row, COutcomeTable::LeftIncomplete(host.Result()), options.language));
    }
    if (json)
        json->Result({{"outcome", outcomeName},
                      {"step", StepName(host.Result().step)},
                      {"exit", code},
                      {"reason", reason},
                      {"contacted", watch.Opened()},
                      {"bytes", host.BytesSent()},
                      {"records", records},
                      {"acknowledgedRecords", host.Result().acknowledgedRecords},
                      {"seconds", std::round(std::chrono::duration<double>(std::chrono::steady_clock::now() -
                                                                           commandStart).count() * 1e6) / 1e6}});

    if (options.quiet && !outcome.Completed()) {
        // Quiet runs still say why they failed.
        const std::string lastLine = LastStatusLine(text);
        if (!lastLine.empty())
            say(lastLine);
    }
    return code;
}

}  // namespace zorflash

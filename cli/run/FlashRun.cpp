#include "cli/run/FlashRun.h"

#include "cli/output/NextStep.h"
#include "cli/output/RunConsole.h"
#include "cli/run/FleetRunner.h"
#include "cli/run/TargetFiles.h"
#include "platform/DescriptorLimit.h"
#include "present/DisplayTexts.h"
#include "present/FileCheckText.h"

#include <algorithm>
#include <optional>
#include <system_error>

namespace zorflash {

namespace {

// The drawing is redone at most this often while the targets change.
constexpr std::chrono::milliseconds kRedrawEvery{100};

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

}  // namespace

CFlashRun::CFlashRun(const FlashOptions& options, CRunConsole& console, CTargetFiles& files, CJsonEvents* json,
                     uint64_t total)
    : m_options(options), m_console(console), m_files(files),
      m_noContact(CLocalText::Say(options.targets.size() == 1 ? CDisplayTexts::Id::NotContacted
                                                              : CDisplayTexts::Id::NoneContacted))
{
    for (std::size_t i = 0; i < options.targets.size(); ++i) {
        const UpdateSettings settings = options.SettingsFor(options.targets[i]);
        CTargetRun::Options runOptions;
        runOptions.totalBytes = total;
        runOptions.timeoutMs = options.timeoutMs;
        runOptions.waitLimitMs = options.timeoutGiven ? options.timeoutMs : 0;
        runOptions.json = json;
        runOptions.namedEvents = options.targets.size() > 1;
        runOptions.trace = files.Trace(i).IsOpen() ? &files.Trace(i) : nullptr;
        runOptions.changes = &m_changes;
        files.Trace(i).Heading(settings);
        m_runs.push_back(
            std::make_unique<CTargetRun>(options.targets[i].Name(), settings, options.language, console, runOptions));
    }
}

int CFlashRun::Code(CConsoleInterrupt::Reason interruption, bool failedInside) const
{
    if (interruption != CConsoleInterrupt::Reason::None)
        return COutcomeTable::InterruptionExitCode(interruption);
    if (failedInside)
        return kExitFailed;
    std::vector<int> codes;
    for (const TargetEnd& end : m_ends)
        codes.push_back(end.exitCode);
    return COutcomeTable::FleetExitCode(codes);
}

int CFlashRun::Refuse(const CFileCheck::Report& report)
{
    // A volume nobody is asked for ends as a prompt nobody answered.
    const FlashOutcome outcome{report.outcome, report.asked.has_value()};
    for (auto& run : m_runs)
        run->Refuse(report, outcome);
    const CLocalText reason = FileRefusalReason(report, m_options.settings);
    m_console.Say((reason + m_noContact).Text(m_options.language));
    m_console.Say(NextStepLine(outcome.Row(), false, m_options.language));
    for (std::size_t i = 0; i < m_runs.size(); ++i)
        m_ends.push_back(m_runs[i]->Conclude(true, CConsoleInterrupt::Reason::None, m_files.Status(i), &reason));
    return Code(CConsoleInterrupt::Reason::None, false);
}

int CFlashRun::Run()
{
    // Ctrl+C, SIGTERM or SIGHUP trigger the console's abort signal: a prompt waiting for
    // an answer gives up at once, no further target starts, and the loop below closes
    // every link.
    std::optional<CConsoleInterrupt> interrupt;
    try {
        interrupt.emplace(m_console.Abort(), [this] { m_changes.Notify(true); });
    } catch (const std::system_error& e) {
        m_console.Say(std::string("cannot start the run: ") + e.what() + m_noContact.Text(m_options.language));
        return kExitUsage;
    }
    const std::size_t count = m_runs.size();
    const std::size_t asked = m_options.parallel == 0 ? count : std::min(m_options.parallel, count);
    // A lone target needs no share of the limit: it says itself what it runs out of.
    std::string limitNote;
    const std::size_t lanes = count == 1 ? 1 : LanesWithinDescriptorLimit(asked, limitNote);
    if (lanes == 0) {
        m_console.Say("cannot run any target: " + limitNote + m_noContact.Text(m_options.language));
        return kExitUsage;
    }
    if (lanes < asked)
        m_console.Say("--parallel lowered to " + std::to_string(lanes) + ": " + limitNote);
    CFleetRunner runner(count, lanes, &m_changes);
    bool stopped = false;
    const auto stopAll = [&] {
        stopped = true;
        runner.StopStarting();
        m_console.Interrupt();
        for (auto& run : m_runs)
            run->Stop();
    };
    // Asked on the lane, right before a target would start: after a signal, or once the
    // disk prompt was cancelled or went unanswered, a target still waiting for its turn
    // would only be sent volume 1 of an update it cannot finish.
    const auto mayStart = [this](bool queued) {
        return !m_console.Abort().IsTriggered() && (!queued || m_console.FinalAnswer() == PromptEnd::RunGoesOn);
    };
    const std::size_t made = runner.Start([this](std::size_t i) { m_runs[i]->Run(); }, mayStart);
    if (made == 0) {
        m_console.Say("cannot start the run: the system has no thread to spare" + m_noContact.Text(m_options.language));
        return kExitUsage;
    }
    if (made < lanes)
        m_console.Say("only " + std::to_string(made) + " of " + std::to_string(lanes) +
                      " targets can run at once: the system has no more threads; the others wait for their turn");

    // The targets that ended are concluded at once; the running ones are drawn again at
    // most ten times a second while they change, and at the console's idle pace while
    // they wait (their clocks run on), and again soon when the terminal or a prompt held
    // the last draw back.
    CConsoleInterrupt::Reason interruption = CConsoleInterrupt::Reason::None;
    m_ends.resize(count);
    std::vector<bool> concluded(count, false);
    const auto conclude = [&](std::size_t i, CFleetRunner::State state) {
        concluded[i] = true;
        m_ends[i] = m_runs[i]->Conclude(state != CFleetRunner::State::NotStarted, interruption, m_files.Status(i),
                                        nullptr);
    };
    std::string internalError;  // what stopped the loop, if anything did
    try {
        std::vector<CFleetRunner::State> states(count);
        for (bool last = false; !last;) {
            last = runner.Done();
            for (std::size_t i = 0; i < count; ++i)
                states[i] = runner.StateOf(i);
            // Looked at after the states: a target that ended because of a signal is then
            // always concluded as interrupted, with the signal's exit code.
            if (!stopped && interrupt->Received() != CConsoleInterrupt::Reason::None) {
                interruption = interrupt->Received();
                stopAll();
            }
            CProgressBlock::Fleet fleet;
            fleet.targets = static_cast<int>(count);
            std::string waitNote;
            for (std::size_t i = 0; i < count; ++i) {
                const CFleetRunner::State state = states[i];
                if ((state == CFleetRunner::State::Finished || state == CFleetRunner::State::NotStarted) &&
                    !concluded[i]) {
                    conclude(i, state);
                } else if (state == CFleetRunner::State::Running) {
                    fleet.running.push_back({m_runs[i]->Target(), m_runs[i]->Progress()});
                    if (count == 1)
                        waitNote = m_runs[i]->WaitNote();
                }
                fleet.waiting += state == CFleetRunner::State::Waiting ? 1 : 0;
                fleet.done += concluded[i] ? 1 : 0;
                fleet.failed += concluded[i] && m_ends[i].row.verdict == CSummaryTable::Verdict::Failed ? 1 : 0;
            }
            const bool drawn = m_console.Draw(fleet, waitNote);
            if (!last) {
                const auto now = CChangeSignal::Clock::now();
                m_changes.Wait(now + kRedrawEvery, now + (drawn ? m_console.IdleRedraw() : kRedrawEvery));
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
        for (std::size_t i = 0; i < count; ++i)
            if (!concluded[i])
                conclude(i, runner.StateOf(i));
        m_console.Say("the run stopped on an error of the program: " + internalError + "; every link was closed");
    }
    runner.Join();
    if (interruption == CConsoleInterrupt::Reason::None && internalError.empty())
        interruption = interrupt->Received();
    m_console.EndDisplay();
    return Code(interruption, !internalError.empty());
}

}  // namespace zorflash

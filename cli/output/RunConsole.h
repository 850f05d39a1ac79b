#pragma once

#include "cli/output/StatusLines.h"
#include "cli/output/TargetEnd.h"
#include "cli/prompt/AnswerInput.h"
#include "cli/prompt/SharedPrompt.h"
#include "platform/AbortSignal.h"
#include "present/ProgressBlock.h"
#include "resources/strings/Language.h"
#include "update/VolumeRefusal.h"
#include "update/UpdateProgress.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace zorflash {

class COutputQueue;

// The one terminal (or pipe) that every target of `flash` writes to, whether it has one
// target or several. Worker threads hand it whole lines; the command's thread hands it
// what changed on the screen; the disk prompt takes it over while the operator answers.
// Lines stay whole because each is one post to the output queue; m_lock keeps the drawing
// (the live line, the block) out of the way of a prompt or an error message: it is made
// way for and the line posted under that lock. Nothing here waits on the terminal or
// pipe: the text goes to the command's output queue.
// How the run is drawn is its renderers' business: the single progress line
// (CLineConsole) or the fleet's block (CFleetConsole).
class CRunConsole {
public:
    struct Options {
        bool interactive = false;  // stdout is a terminal: drawn in place
        bool quiet = false;        // errors and prompts only
        bool json = false;         // stdout holds the JSON events alone
        bool noPrompt = false;     // nobody is asked: a disk prompt fails at once
        bool colour = false;       // on a terminal without NO_COLOR
        bool several = false;      // lines name their target; notes shared by all said once
        Language language = Language::English;
    };

    CRunConsole(const Options& options, COutputQueue& output, std::FILE* out, std::FILE* err);
    virtual ~CRunConsole() = default;
    CRunConsole(const CRunConsole&) = delete;
    CRunConsole& operator=(const CRunConsole&) = delete;

    const Options& Settings() const { return m_options; }

    // A target's log changed (its worker thread): `lines` ended with the change, `current`
    // is the line in progress, `shown` where the run stands as drawn.
    virtual void StatusLines(const std::string& target, const std::vector<CStatusLines::Line>& lines,
                             const std::string& current, const UpdateProgress& shown, bool cleared) = 0;
    // The target's run ended: the rest of its log.
    virtual void StatusEnd(const std::string& target, const std::vector<CStatusLines::Line>& lines,
                           const UpdateProgress& shown)
    {
        StatusLines(target, lines, std::string(), shown, false);
    }
    // New progress values (its worker thread): `told` by the engine, `shown` as drawn.
    virtual void Progress(const UpdateProgress& /*told*/, const UpdateProgress& /*shown*/,
                          const std::string& /*current*/) {}
    // The command's thread: what runs now, and how long the run has waited for an
    // instrument that says nothing. False when the last drawing still waits for the
    // terminal, or a prompt holds it: the caller comes back soon.
    virtual bool Draw(const CProgressBlock::Fleet& fleet, const std::string& waitNote) = 0;
    // How often the drawing wants a turn while nothing changes (clocks run on).
    virtual std::chrono::milliseconds IdleRedraw() const = 0;
    // A target has been concluded; `end` says how.
    virtual void Ended(const TargetEnd& /*end*/) {}
    // Everything after the run: the summary, the reasons not said yet, the last word.
    virtual void Report(const std::vector<TargetEnd>& ends, int code) = 0;

    // Removes the drawing; what follows starts on a clean line.
    void EndDisplay();
    // A reason on stderr: "zorflash-cli: [TARGET: ]text". The caller has made names from
    // outside (files, replies) printable; what is printable stays as it is.
    void Error(const std::string& target, const std::string& text);
    // A note on stderr that holds for every target alike (why a volume cannot be opened):
    // with several targets said once, however many come upon it.
    void Note(const std::string& text);
    // The disk prompt: asked once for every target waiting on the same file (`asked`, and
    // `reason` what is wrong with it); how it ended is what each of them gets.
    PromptEnd Prompt(const std::string& text, const VolumeRefusal& asked, const std::string& reason);
    // Ctrl+C: a prompt waiting for an answer gives up, and so do the targets waiting on it.
    void Interrupt();
    // How the disk prompt first ended for good (Cancel, nobody there), or
    // PromptEnd::RunGoesOn while no question has ended the run: a target not started yet
    // must not start once it has, since it would only reach the same question.
    PromptEnd FinalAnswer() const { return m_final.load(); }
    // The volume that question was about, as the record stream refused it.
    std::optional<VolumeRefusal> FinalRefusal();
    CAbortSignal& Abort() { return m_abort; }
    // A line of the command's own on stderr: "zorflash-cli: line".
    void Say(const std::string& line) { Err("zorflash-cli: " + line + "\n"); }

protected:
    // The drawing makes way for a line, with m_lock held.
    virtual void ClearLocked() = 0;
    void Out(std::string text, const std::string& key);
    void Err(std::string text);
    // The terminal's size in characters, read at every call so that a resized window counts
    // at once; when stdout is none, COLUMNS (or 80) x 24.
    void Size(int& width, int& height) const;

    Options m_options;
    COutputQueue& m_output;
    std::FILE* m_out;
    std::FILE* m_err;
    std::mutex m_lock;
    bool m_prompting = false;  // a disk prompt is on the terminal: nothing drawn until answered

private:
    PromptEnd AskOperator(const std::string& text);

    std::set<std::string> m_notes;
    // Touched only inside AskOperator, which the shared prompt calls with its terminal
    // mutex held: one question at a time, from whichever target's thread asks it.
    CAnswerInput m_answers;
    CAbortSignal m_abort;
    CSharedPrompt m_prompt;
    std::atomic<PromptEnd> m_final{PromptEnd::RunGoesOn};
    std::optional<VolumeRefusal> m_finalRefusal;  // m_lock
};

}  // namespace zorflash

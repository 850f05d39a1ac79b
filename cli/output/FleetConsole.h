#pragma once

#include "cli/prompt/AnswerInput.h"
#include "present/ProgressBlock.h"
#include "cli/prompt/SharedPrompt.h"
#include "update/VolumeRefusal.h"
#include "platform/AbortSignal.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace zorflash {

class COutputQueue;

// The one terminal (or pipe) that every target of a fleet command writes to. Worker
// threads hand it whole lines; the display thread hands it the progress block; the disk
// prompt takes it over while the operator answers. Lines stay whole because each is one
// post to the output queue; m_lock keeps the block out of the way of a prompt or an error
// message (the block is cleared and the line posted under it). Nothing here waits on the terminal
// or pipe: the text goes to the command's output queue.
class CFleetConsole {
public:
    struct Options {
        bool interactive = false;  // stdout is a terminal: the progress block, result lines only
        bool quiet = false;        // errors and prompts only
        bool json = false;         // stdout holds the JSON events alone: no lines, block or table
        bool noPrompt = false;     // nobody is asked: a disk prompt fails at once
        bool colour = false;       // on a terminal without NO_COLOR: results green or red
        Language language = Language::English;
    };

    CFleetConsole(const Options& options, COutputQueue& output, std::FILE* out, std::FILE* err);

    bool Interactive() const { return m_options.interactive; }
    // One line of a target's status text; on a pipe "[TARGET] line", on a terminal nothing
    // (the block shows where each target is).
    void StatusLine(const std::string& target, const std::string& line);
    // A reason on stderr: "zorflash-cli: TARGET: text". The caller has made names from
    // outside (files, replies) printable; what is printable stays as it is.
    void Error(const std::string& target, const std::string& text);
    // A note that holds for every target alike (why a volume cannot be opened): printed
    // once, however many targets come upon it.
    void NoteOnce(const std::string& text);
    // The disk prompt, asked once for every target waiting on the same question (`text`
    // about the volume `asked`, refused for `reason`); how it ended is what each of them gets.
    PromptEnd Prompt(const std::string& text, const VolumeRefusal& asked, const std::string& reason);

    // Terminal only: the result lines of targets that finished, then the block. False when
    // a prompt holds the terminal: nothing was drawn, the caller keeps the rows for later.
    bool Draw(const std::vector<CSummaryTable::Row>& finished, const CProgressBlock::Fleet& fleet);
    // Removes the block; what follows (the summary) starts on a clean line.
    void EndDisplay();
    // The result lines of targets the block had no chance to show, then the summary table,
    // fitted to the terminal's width (a pipe gets every column).
    void Summary(const std::vector<CSummaryTable::Row>& unshown, const std::vector<CSummaryTable::Row>& rows);

    // Ctrl+C: a prompt waiting for an answer gives up, and so do the targets waiting on it.
    void Interrupt();
    // How the disk prompt first ended for good (Cancel, nobody there), or
    // PromptEnd::RunGoesOn while no question has ended the run: a target not started yet must
    // not start once it has, since it would only reach the same question.
    PromptEnd FinalAnswer() const { return m_final.load(); }
    // The volume that question was about, as the record stream refused it.
    std::optional<VolumeRefusal> FinalRefusal();
    CAbortSignal& Abort() { return m_abort; }

private:
    PromptEnd AskOperator(const std::string& text);
    void ClearBlockLocked();
    void Size(int& width, int& height) const;
    CSummaryTable::Style TableStyle() const;

    void Out(std::string text);
    void Err(std::string text);

    Options m_options;
    COutputQueue& m_output;
    std::FILE* m_out;
    std::FILE* m_err;
    std::mutex m_lock;
    bool m_prompting = false;  // a disk prompt is on the terminal: no block until answered
    std::set<std::string> m_notes;
    std::optional<VolumeRefusal> m_finalRefusal;  // m_lock
    // Touched only inside AskOperator, which the shared prompt calls with its terminal
    // mutex held: one question at a time, from whichever target's thread asks it.
    CAnswerInput m_answers;
    CProgressBlock m_block;
    CAbortSignal m_abort;
    CSharedPrompt m_prompt;
    std::atomic<PromptEnd> m_final{PromptEnd::RunGoesOn};
};

}  // namespace zorflash

#pragma once

#include "cli/output/TargetEnd.h"
#include "platform/OutputQueue.h"
#include "update/UpdateProgress.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace zorflash {

// `flash --json`: one JSON object per line on stdout, one per event, each carrying the
// schema version, the event's name and the seconds since the command started. A script
// reads the run as values; the status text travels unchanged inside the status events.
// The schema is documented in docs/cli.md; a change that breaks a reader raises kSchema.
// With several targets each target has its own events object over the command's one
// stream: every event it writes names the target, and lines of different targets never
// mix, whatever thread writes them. The lines go through the command's output queue, so a
// reader that stops reading never holds up an update: superseded status lines and progress
// events may then be folded, as the queue says, and everything else is kept.
class CJsonEvents {
public:
    static constexpr int kSchema = 1;

    CJsonEvents(COutputQueue& output, std::FILE* out)
        : m_output(output), m_out(out), m_stream(*this), m_start(std::chrono::steady_clock::now())
    {
    }
    // One target's events, written to `stream` with its clock.
    CJsonEvents(CJsonEvents& stream, std::string target)
        : m_output(stream.m_output), m_out(stream.m_out), m_stream(stream), m_target(std::move(target)),
          m_start(stream.m_start)
    {
    }

    // The status text changed: "append" adds text at its end, "replace" writes over its
    // last line (the block progress text).
    void Status(const char* op, const std::string& text);
    // Where the run stands; its rate leaves out the time the disk prompt waited.
    void Progress(const UpdateProgress& progress);
    // The engine told `told`, shown as `shown` (with the pre-check's total): an event at
    // most five times a second, and at once when the volume, the section, the total or a
    // wait begins or ends. The last one comes from ProgressEnd, after the completion
    // message. Both on the thread that runs the target.
    void ProgressTold(const UpdateProgress& told, const UpdateProgress& shown);
    void ProgressEnd(const UpdateProgress& told, const UpdateProgress& shown);
    void Prompt(const std::string& text, int volume, const std::string& path, const std::string& reason);
    void Answer(const std::string& answer);
    // How the target ended; `seconds` from its start.
    void Result(const TargetEnd& end, double seconds);
    // The last line of a command with several targets: every target's result in one object.
    void Summary(const std::vector<TargetEnd>& ends, int code, double seconds);
    // Any event ("check", the pre-check's finding, among them). `key` names what a
    // Replace or Progress event may fold into.
    void Emit(const char* event, const nlohmann::ordered_json& fields,
              COutputQueue::Kind kind = COutputQueue::Kind::Keep, const char* key = "status");

    // Any document, on one line, with invalid UTF-8 (a device's reply) replaced rather
    // than thrown on.
    static std::string Dump(const nlohmann::ordered_json& document);

private:
    COutputQueue& m_output;
    std::FILE* m_out;
    CJsonEvents& m_stream;  // the command's stream: this one, or the one a target's events go to
    std::string m_target;
    std::mutex m_lock;      // the stream's: the lines' times in the order they are queued
    std::chrono::steady_clock::time_point m_start;
    UpdateProgress m_progressSent;  // the engine's values of the last progress event
    std::chrono::steady_clock::time_point m_progressSentAt{};
};

}  // namespace zorflash

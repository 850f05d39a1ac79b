#include "cli/output/JsonEvents.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zorflash {

std::string CJsonEvents::Dump(const nlohmann::ordered_json& document)
{
    const std::string text = document.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    // The library escapes only the controls below 0x20: DEL and the C1 controls of a
    // device's reply would reach a terminal showing the stream raw, and C1 CSI is obeyed
    // there like ESC [. Outside its strings a dump is plain ASCII, so each of them is in a
    // string, where the escape reads back as the same character.
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (byte == 0x7F || (byte == 0xC2 && next >= 0x80 && next <= 0x9F)) {
            char escape[16];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte == 0x7F ? byte : next);
            out += escape;
            i += byte == 0x7F ? 0 : 1;
        } else {
            out += text[i];
        }
    }
    return out;
}

void CJsonEvents::Emit(const char* event, const nlohmann::ordered_json& fields, COutputQueue::Kind kind,
                       const char* key)
{
    std::lock_guard lock(m_stream.m_lock);
    nlohmann::ordered_json line = {{"schema", kSchema}, {"event", event}};
    const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    line["t"] = std::round(t * 1000.0) / 1000.0;
    if (!m_target.empty())
        line["target"] = m_target;
    line.update(fields);
    // A target's status events share a key: a replace may fold into the last one waiting,
    // never across an append (which is kept). Progress events fold into their own kind.
    m_output.Post(m_out, Dump(line) + "\n", kind, std::string(key) + "\n" + m_target);
}

void CJsonEvents::Status(const char* op, const std::string& text)
{
    const bool replace = std::string(op) == "replace";
    Emit("status", {{"op", op}, {"text", text}}, replace ? COutputQueue::Kind::Replace : COutputQueue::Kind::Keep);
}

void CJsonEvents::Progress(const UpdateProgress& progress)
{
    Emit("progress",
         {{"bytes", progress.bytes},
          {"total", progress.total},
          {"rate", std::round(progress.Rate())},
          {"percent", progress.Percent()},
          {"section", progress.section},
          {"sections", progress.sections},
          {"volume", progress.volume},
          {"volumes", progress.volumes},
          {"waiting", progress.waiting}},
         COutputQueue::Kind::Progress, "progress");
}

void CJsonEvents::ProgressTold(const UpdateProgress& told, const UpdateProgress& shown)
{
    const auto now = std::chrono::steady_clock::now();
    if (told.finished || (!told.NewStageSince(m_progressSent) && now - m_progressSentAt < std::chrono::milliseconds(200)))
        return;
    m_progressSentAt = now;
    m_progressSent = told;
    Progress(shown);
}

void CJsonEvents::ProgressEnd(const UpdateProgress& told, const UpdateProgress& shown)
{
    if (told.bytes == m_progressSent.bytes && told.finished == m_progressSent.finished)
        return;
    m_progressSent = told;
    Progress(shown);
}

void CJsonEvents::Prompt(const std::string& text, int volume, const std::string& path, const std::string& reason)
{
    Emit("prompt", {{"text", text}, {"volume", volume}, {"file", path}, {"reason", reason}});
}

void CJsonEvents::Answer(const std::string& answer)
{
    Emit("answer", {{"answer", answer}});
}

namespace {
double Rounded(double seconds)
{
    return std::round(seconds * 1e6) / 1e6;
}
}  // namespace

void CJsonEvents::Result(const TargetEnd& end, double seconds)
{
    Emit("result", {{"outcome", end.outcome},
                    {"step", end.step},
                    {"exit", end.exitCode},
                    {"reason", end.reason.Text(Language::English)},
                    {"contacted", end.contacted},
                    {"bytes", end.bytesSent},
                    {"records", end.records},
                    {"acknowledgedRecords", end.acknowledgedRecords},
                    {"seconds", Rounded(seconds)}});
}

void CJsonEvents::Summary(const std::vector<TargetEnd>& ends, int code, double seconds)
{
    int counts[4] = {};
    nlohmann::ordered_json results = nlohmann::ordered_json::array();
    for (const TargetEnd& end : ends) {
        ++counts[static_cast<int>(end.row.verdict)];
        results.push_back({{"target", end.row.target},
                           {"outcome", end.outcome},
                           {"exit", end.exitCode},
                           {"reason", end.reason.Text(Language::English)},
                           {"step", end.step},
                           {"records", std::max(0LL, end.row.records)},
                           {"bytes", end.row.bytes},
                           {"seconds", Rounded(end.row.seconds)},
                           {"rate", std::round(end.row.Rate())}});
    }
    Emit("summary", {{"exit", code},
                     {"targets", ends.size()},
                     {"completed", counts[0]},
                     {"failed", counts[1]},
                     {"cancelled", counts[2]},
                     {"interrupted", counts[3]},
                     {"seconds", Rounded(seconds)},
                     {"results", results}});
}

}  // namespace zorflash

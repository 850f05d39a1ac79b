#include "cli/JsonEvents.h"

#include <cmath>

namespace zorflash {

std::string CJsonEvents::Dump(const nlohmann::ordered_json& document)
{
    return document.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void CJsonEvents::Emit(const char* event, nlohmann::ordered_json fields, COutputQueue::Kind kind, const char* key)
{
    if (m_stream)
        m_stream->Write(event, m_target, fields, kind, key);
    else
        Write(event, m_target, fields, kind, key);
}

void CJsonEvents::Write(const char* event, const std::string& target, const nlohmann::ordered_json& fields,
                        COutputQueue::Kind kind, const char* key)
{
    std::lock_guard lock(m_lock);
    nlohmann::ordered_json line = {{"schema", kSchema}, {"event", event}};
    const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    line["t"] = std::round(t * 1000.0) / 1000.0;
    if (!target.empty())
        line["target"] = target;
    line.update(fields);
    // A target's status events share a key: a replace may fold into the last one waiting,
    // never across an append (which is kept). Progress events fold into their own kind.
    m_output.Post(m_out, Dump(line) + "\n", kind, std::string(key) + "\n" + target);
}

void CJsonEvents::Status(const char* op, const std::string& text)
{
    const bool replace = std::string(op) == "replace";
    Emit("status", {{"op", op}, {"text", text}}, replace ? COutputQueue::Kind::Replace : COutputQueue::Kind::Keep);
}

void CJsonEvents::Progress(uint64_t bytes, uint64_t total, double seconds)
{
    const double rate = seconds > 0 ? static_cast<double>(bytes) / seconds : 0.0;
    Emit("progress", {{"bytes", bytes}, {"total", total}, {"rate", std::round(rate)}}, COutputQueue::Kind::Progress,
         "progress");
}

void CJsonEvents::Check(const nlohmann::ordered_json& fields)
{
    Emit("check", fields);
}

void CJsonEvents::Prompt(const std::string& text, int volume, const std::string& path, const std::string& reason)
{
    Emit("prompt", {{"text", text}, {"volume", volume}, {"file", path}, {"reason", reason}});
}

void CJsonEvents::Answer(const std::string& answer)
{
    Emit("answer", {{"answer", answer}});
}

void CJsonEvents::Result(const nlohmann::ordered_json& fields)
{
    Emit("result", fields);
}

void CJsonEvents::Summary(const nlohmann::ordered_json& fields)
{
    Emit("summary", fields);
}

}  // namespace zorflash

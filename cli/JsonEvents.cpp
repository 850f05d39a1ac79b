#include "cli/JsonEvents.h"

#include <cmath>

namespace zorflash {

std::string CJsonEvents::Dump(const nlohmann::ordered_json& document)
{
    return document.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void CJsonEvents::Emit(const char* event, nlohmann::ordered_json fields)
{
    if (m_stream)
        m_stream->Write(event, m_target, fields);
    else
        Write(event, m_target, fields);
}

void CJsonEvents::Write(const char* event, const std::string& target, const nlohmann::ordered_json& fields)
{
    std::lock_guard lock(m_lock);
    nlohmann::ordered_json line = {{"schema", kSchema}, {"event", event}};
    const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    line["t"] = std::round(t * 1000.0) / 1000.0;
    if (!target.empty())
        line["target"] = target;
    line.update(fields);
    const std::string text = Dump(line);
    std::fprintf(m_out, "%s\n", text.c_str());
    std::fflush(m_out);  // a script reading a pipe sees each event as it happens
}

void CJsonEvents::Status(const char* op, const std::string& text)
{
    Emit("status", {{"op", op}, {"text", text}});
}

void CJsonEvents::Progress(const UpdateProgress& progress)
{
    Emit("progress", {{"bytes", progress.bytes},
                      {"total", progress.total},
                      {"rate", std::round(progress.Rate())},
                      {"percent", progress.Percent()},
                      {"section", progress.section},
                      {"sections", progress.sections},
                      {"volume", progress.volume},
                      {"volumes", progress.volumes},
                      {"waiting", progress.waiting}});
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

// What `flash --json` may have to carry: file names, device replies, status texts and
// target names of any bytes, in every text field of every event. Each event is one line
// that a strict JSON parser reads, with no raw control character in it (a script or a
// terminal showing the stream must not be steered by a device's reply), and each text
// field reads back as the bytes given, every invalid UTF-8 part replaced by U+FFFD. The
// expected text is worked out here by the usual rule (each longest invalid part becomes
// one U+FFFD), not by the writer's own library.
//
// Input: the texts, split by FuzzedDataProvider.

#include "FuzzCheck.h"
#include "cli/output/JsonEvents.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <tuple>
#include <vector>

using namespace zorflash;

namespace {

std::string Replaced(const std::string& in)
{
    std::string out;
    for (std::size_t i = 0; i < in.size();) {
        const auto lead = static_cast<uint8_t>(in[i]);
        // Continuation bytes the lead asks for (-1: it leads nothing), and the range of the
        // first: no overlong forms, no surrogates, nothing past U+10FFFF.
        const int need = lead < 0x80 ? 0 : lead < 0xC2 ? -1 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : lead < 0xF5 ? 3 : -1;
        uint8_t low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
        uint8_t high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
        std::size_t end = i + 1;
        for (; static_cast<int>(end - i) <= need && end < in.size(); ++end, low = 0x80, high = 0xBF) {
            if (static_cast<uint8_t>(in[end]) < low || static_cast<uint8_t>(in[end]) > high)
                break;
        }
        out += static_cast<int>(end - i) == need + 1 ? in.substr(i, end - i) : "\xEF\xBF\xBD";
        i = end;
    }
    return out;
}

// C0, DEL, or C1 in UTF-8.
bool HasRawControl(const std::string& line)
{
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto byte = static_cast<uint8_t>(line[i]);
        const auto next = i + 1 < line.size() ? static_cast<uint8_t>(line[i + 1]) : 0;
        if (byte < 0x20 || byte == 0x7F || (byte == 0xC2 && next >= 0x80 && next <= 0x9F))
            return true;
    }
    return false;
}

// `field` is the object that holds the text: the event, or a row of the summary.
void Expect(const nlohmann::json& event, const nlohmann::json& field, const char* key, const std::string& given)
{
    const auto found = field.find(key);
    if (found == field.end() || !found->is_string() || found->get_ref<const std::string&>() != Replaced(given))
        FuzzFail("a text field does not read back as given", std::string(key) + " in " + event.dump());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    std::vector<std::string> texts;
    for (int i = 0; i < 9; ++i)
        texts.push_back(input.ConsumeRandomLengthString(4096));
    const std::string& target = texts[0];

    char* buffer = nullptr;
    std::size_t length = 0;
    std::FILE* out = open_memstream(&buffer, &length);
    {
        // Declared first so that it is destroyed last: its end writes what is queued
        // before the stream is read below.
        COutputQueue output;
        CJsonEvents stream(output, out);
        CJsonEvents events(stream, target);
        CJsonEvents& writer = target.empty() ? stream : events;
        writer.Status("append", texts[1]);
        writer.Prompt(texts[2], 2, texts[3], texts[4]);
        writer.Answer(texts[5]);
        writer.Emit("check", {{"file", texts[3]}, {"problem", texts[6]}});
        writer.Emit("result", {{"outcome", "failed"}, {"message", texts[7]}});
        stream.Emit("summary",
                    {{"targets", nlohmann::ordered_json::array({{{"target", target}, {"message", texts[8]}}})}});
    }
    std::fclose(out);
    const std::string written(buffer, length);
    std::free(buffer);

    std::vector<nlohmann::json> events;
    for (std::size_t begin = 0; begin < written.size();) {
        const std::size_t end = written.find('\n', begin);
        const std::string line = written.substr(begin, end - begin);
        begin = end == std::string::npos ? end : end + 1;
        events.push_back(nlohmann::json::parse(line, nullptr, false));
        if (end == std::string::npos || HasRawControl(line) || !events.back().is_object()
            || events.back().value("schema", 0) != CJsonEvents::kSchema)
            FuzzFail("an event that is not one JSON object with its schema on a line of its own", line);
        if (!target.empty() && events.back()["event"] != "summary")
            Expect(events.back(), events.back(), "target", target);
    }
    if (events.size() != 6)
        FuzzFail("not one line per event", written);
    const std::tuple<std::size_t, const char*, std::size_t> kFields[] = {
        {0, "text", 1}, {1, "text", 2}, {1, "file", 3}, {1, "reason", 4}, {2, "answer", 5}, {3, "file", 3},
        {3, "problem", 6}, {4, "message", 7}};
    for (const auto& [event, key, text] : kFields)
        Expect(events[event], events[event], key, texts[text]);
    Expect(events[5], events[5]["targets"][0], "target", target);
    Expect(events[5], events[5]["targets"][0], "message", texts[8]);
    return 0;
}

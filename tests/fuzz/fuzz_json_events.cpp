// What `flash --json` may have to carry: file names, device replies, status texts and
// target names of any bytes, in every text field of every event. Each event is one line
// that a strict JSON parser reads, with no raw control character in it (a script or a
// terminal showing the stream must not be steered by a device's reply), and each text
// field reads back as the bytes given, every invalid UTF-8 sequence replaced by U+FFFD.
// The expected text is worked out here by the usual rule (each maximal ill-formed
// subsequence becomes one U+FFFD), not by the writer's own library.
//
// Input: the texts, split by FuzzedDataProvider.

#include "cli/JsonEvents.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace zorflash;

namespace {

[[noreturn]] void Fail(const char* what, const std::string& line = {})
{
    std::fprintf(stderr, "json events: %s\n%s\n", what, line.c_str());
    std::abort();
}

std::string Replaced(const std::string& in)
{
    static const char kReplacement[] = "\xEF\xBF\xBD";
    std::string out;
    for (std::size_t i = 0; i < in.size();) {
        const auto lead = static_cast<uint8_t>(in[i]);
        if (lead < 0x80) {
            out += in[i++];
            continue;
        }
        int need = 0;
        uint8_t low = 0x80;
        uint8_t high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            need = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            need = 2;
            low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
            high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            need = 3;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
        } else {
            out += kReplacement;
            ++i;
            continue;
        }
        std::size_t end = i + 1;
        int got = 0;
        while (got < need && end < in.size()) {
            const auto next = static_cast<uint8_t>(in[end]);
            if (next < low || next > high)
                break;
            low = 0x80;
            high = 0xBF;
            ++end;
            ++got;
        }
        if (got == need)
            out.append(in, i, end - i);
        else
            out += kReplacement;
        i = end;
    }
    return out;
}

// A control character as raw bytes: C0, DEL, or C1 encoded in UTF-8.
bool HasRawControl(const std::string& line)
{
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto b = static_cast<uint8_t>(line[i]);
        if (b < 0x20 || b == 0x7F)
            return true;
        if (b == 0xC2 && i + 1 < line.size() && static_cast<uint8_t>(line[i + 1]) >= 0x80
            && static_cast<uint8_t>(line[i + 1]) <= 0x9F)
            return true;
    }
    return false;
}

// `event` is the line's object, `field` the object holding the text (the line's, or a
// summary row's).
void Expect(const nlohmann::json& event, const nlohmann::json& field, const char* key, const std::string& given)
{
    const auto found = field.find(key);
    if (found == field.end() || !found->is_string() || found->get_ref<const std::string&>() != Replaced(given))
        Fail("a text field does not read back as given", std::string(key) + " in " + event.dump());
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
    if (!out)
        Fail("no memory stream");
    {
        CJsonEvents stream(out);
        CJsonEvents events(stream, target);
        CJsonEvents& writer = target.empty() ? stream : events;
        writer.Status("append", texts[1]);
        writer.Prompt(texts[2], 2, texts[3], texts[4]);
        writer.Answer(texts[5]);
        writer.Check({{"file", texts[3]}, {"problem", texts[6]}});
        writer.Result({{"outcome", "failed"}, {"message", texts[7]}});
        stream.Summary({{"targets", nlohmann::ordered_json::array({{{"target", target}, {"message", texts[8]}}})}});
    }
    std::fclose(out);
    const std::string written(buffer, length);
    std::free(buffer);

    std::vector<nlohmann::json> events;
    for (std::size_t begin = 0; begin < written.size();) {
        const std::size_t end = written.find('\n', begin);
        if (end == std::string::npos)
            Fail("an event without its line end", written.substr(begin));
        const std::string line = written.substr(begin, end - begin);
        begin = end + 1;
        if (HasRawControl(line))
            Fail("a raw control character in an event", line);
        nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
        if (event.is_discarded() || !event.is_object())
            Fail("an event is not a JSON object", line);
        if (event.value("schema", 0) != CJsonEvents::kSchema)
            Fail("an event without the schema", line);
        if (!target.empty() && event["event"] != "summary")
            Expect(event, event, "target", target);
        events.push_back(std::move(event));
    }
    if (events.size() != 6)
        Fail("not one line per event", written);

    Expect(events[0], events[0], "text", texts[1]);
    Expect(events[1], events[1], "text", texts[2]);
    Expect(events[1], events[1], "file", texts[3]);
    Expect(events[1], events[1], "reason", texts[4]);
    Expect(events[2], events[2], "answer", texts[5]);
    Expect(events[3], events[3], "file", texts[3]);
    Expect(events[3], events[3], "problem", texts[6]);
    Expect(events[4], events[4], "message", texts[7]);
    const auto& rows = events[5]["targets"];
    if (!rows.is_array() || rows.size() != 1)
        Fail("the summary lost its rows", events[5].dump());
    Expect(events[5], rows[0], "target", target);
    Expect(events[5], rows[0], "message", texts[8]);
    return 0;
}

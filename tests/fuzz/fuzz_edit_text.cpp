// The edit-text model under random request sequences, the way the status log and the
// front ends drive it: each request is checked against what an edit control must do,
// worked out from the text alone.
//
// Input: a sequence of requests; each begins with an opcode byte, followed by its
// operands (positions as one signed byte, texts as a length byte and the bytes).

#include "platform/EditText.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace zorflash;

namespace {

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "edit text: %s\n", what);
    std::abort();
}

// The input, read from the front; a request cut short gets zeros.
struct CInput {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;

    uint8_t Byte() { return pos < size ? data[pos++] : 0; }
    // Positions range a little beyond the text on both sides, -1 included.
    int Position() { return static_cast<int8_t>(Byte()); }
    std::string Text()
    {
        const size_t length = Byte() % 24;
        std::string text;
        while (text.size() < length && pos < size) {
            // CR and LF often, so that line arithmetic gets exercised.
            const uint8_t b = Byte();
            text.push_back(b < 0x40 ? "\r\n"[b & 1] : static_cast<char>(b));
        }
        return text;
    }
};

// Lines are separated by CR LF: the line of a position counts the pairs wholly before it.
int LineOf(const std::string& text, size_t position)
{
    int line = 0;
    for (size_t i = 0; i + 2 <= position && i + 1 < text.size(); ++i) {
        if (text[i] == '\r' && text[i + 1] == '\n') {
            ++line;
            ++i;
        }
    }
    return line;
}

void CheckState(const CEditText& edit)
{
    const int length = edit.GetTextLength();
    if (edit.GetSelStart() < 0 || edit.GetSelStart() > edit.GetSelEnd() || edit.GetSelEnd() > length)
        Fail("selection outside the text");
    const std::string& text = edit.GetText();
    const int lines = edit.GetLineCount();
    if (lines != LineOf(text, text.size()) + 1)
        Fail("line count");
    for (int line = 0; line < lines; ++line) {
        const int start = edit.LineIndex(line);
        if (start < 0 || start > length)
            Fail("a line that exists has no start");
        if (line > 0 && (start < 2 || text[start - 2] != '\r' || text[start - 1] != '\n'))
            Fail("a line does not start behind CR LF");
        if (edit.LineFromChar(start) != line)
            Fail("the first character of a line is not on that line");
    }
    if (edit.LineIndex(lines) != -1)
        Fail("a line past the last one has a start");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CInput input{data, size};
    CEditText edit;
    int requests = 0;
    while (input.pos < size && ++requests < 256) {
        const std::string before = edit.GetText();
        switch (input.Byte() % 6) {
        case 0:
            edit.SetText(input.Text());
            if (edit.GetSelStart() != 0 || edit.GetSelEnd() != 0)
                Fail("new text keeps an old selection");
            break;
        case 1: {
            const int start = input.Position();
            const int end = input.Position();
            edit.SetSel(start, end);
            break;
        }
        case 2: {
            const int start = edit.GetSelStart();
            const int end = edit.GetSelEnd();
            const std::string text = input.Text();
            edit.ReplaceSel(text);
            if (edit.GetText() != before.substr(0, start) + text + before.substr(end))
                Fail("replace did not put the text in place of the selection");
            if (edit.GetSelStart() != start + static_cast<int>(text.size()) || edit.GetSelEnd() != edit.GetSelStart())
                Fail("caret not behind the inserted text");
            break;
        }
        case 3: {
            // The status log's append: caret to the end, replace the empty selection.
            const std::string text = input.Text();
            const int n = edit.GetTextLength();
            edit.SetSel(n, n);
            edit.ReplaceSel(text);
            if (edit.GetText() != before + text)
                Fail("append changed the text before the end");
            break;
        }
        case 4: {
            // The status log's progress line: the last line, without the CR LF before it,
            // is replaced.
            const std::string text = input.Text();
            const int n = edit.GetTextLength();
            const int start = edit.LineIndex(edit.LineFromChar(n));
            edit.SetSel(start, n);
            edit.ReplaceSel(text);
            const size_t lastBreak = before.rfind("\r\n");
            const std::string kept = lastBreak == std::string::npos ? "" : before.substr(0, lastBreak + 2);
            if (edit.GetText() != kept + text)
                Fail("replacing the last line touched an earlier one");
            break;
        }
        case 5: {
            const int position = input.Position();
            const int line = edit.LineFromChar(position);
            const size_t at = position < 0 ? static_cast<size_t>(edit.GetSelStart())
                                           : std::min<size_t>(static_cast<size_t>(position), before.size());
            if (line != LineOf(before, at))
                Fail("line of a position");
            break;
        }
        }
        CheckState(edit);
    }
    return 0;
}

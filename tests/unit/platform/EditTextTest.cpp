#include "platform/EditText.h"

#include <gtest/gtest.h>

namespace {

// The status log's two writes, expressed with the edit requests exactly as the job makes them.
void Append(CEditText& box, const std::string& text)
{
    const int n = box.GetTextLength();
    box.SetSel(n, n);
    box.ReplaceSel(text);
}

void ReplaceLast(CEditText& box, const std::string& text)
{
    const int n = box.GetTextLength();
    box.SetSel(box.LineIndex(box.LineFromChar(n)), n);
    box.ReplaceSel(text);
}

TEST(EditText, LinesAreSeparatedByCrLf)
{
    CEditText box;
    box.SetText("ab\r\ncd\r\n");
    EXPECT_EQ(box.GetLineCount(), 3);
    EXPECT_EQ(box.LineFromChar(0), 0);
    EXPECT_EQ(box.LineFromChar(2), 0);  // on the CR
    EXPECT_EQ(box.LineFromChar(4), 1);
    EXPECT_EQ(box.LineFromChar(8), 2);
    EXPECT_EQ(box.LineFromChar(1000), 2);  // clamped to the end
    EXPECT_EQ(box.LineIndex(0), 0);
    EXPECT_EQ(box.LineIndex(1), 4);
    EXPECT_EQ(box.LineIndex(2), 8);
    EXPECT_EQ(box.LineIndex(3), -1);
    box.SetText("a\rb\nc");  // a lone CR or LF is no line break
    EXPECT_EQ(box.GetLineCount(), 1);
}

TEST(EditText, SelectionIsClampedAndOrdered)
{
    CEditText box;
    box.SetText("hello");
    box.SetSel(4, 1);
    EXPECT_EQ(box.GetSelStart(), 1);
    EXPECT_EQ(box.GetSelEnd(), 4);
    box.SetSel(2, 99);
    EXPECT_EQ(box.GetSelEnd(), 5);
    box.SetSel(0, -1);
    EXPECT_EQ(box.GetSelEnd(), 5);
    box.ReplaceSel("X");
    EXPECT_EQ(box.GetText(), "X");
    EXPECT_EQ(box.GetSelStart(), 1);
}

TEST(EditText, StatusLogKeepsOnlyTheLastProgressText)
{
    CEditText box;
    Append(box, "Opening File...\r\n");
    Append(box, "Sending START record...\r\n");
    ReplaceLast(box, "Sending (1) Record");
    ReplaceLast(box, "Sending (65) Record");
    ReplaceLast(box, "Sending (129) Record");
    EXPECT_EQ(box.GetText(), "Opening File...\r\nSending START record...\r\nSending (129) Record");
    // A message starting with CR LF begins a new line; one without continues it.
    Append(box, "\r\nTransfer completed.\r\n");
    EXPECT_EQ(box.GetText(), "Opening File...\r\nSending START record...\r\nSending (129) Record\r\nTransfer completed.\r\n");
    CEditText other;
    Append(other, "abc");
    Append(other, "def\r\n");
    EXPECT_EQ(other.GetText(), "abcdef\r\n");
    ReplaceLast(other, "レコード（1）を送信しています。");  // multi-byte text is byte-addressed
    ReplaceLast(other, "x");
    EXPECT_EQ(other.GetText(), "abcdef\r\nx");
}

}  // namespace

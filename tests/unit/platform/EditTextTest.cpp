#include "platform/EditText.h"

#include <gtest/gtest.h>

using namespace zorflash;

namespace {


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

}  // namespace

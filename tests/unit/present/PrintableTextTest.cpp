#include "present/PrintableText.h"

#include <gtest/gtest.h>

using namespace zorflash;

namespace {

// What an instrument or a file name holds reaches the terminal only as visible text.
TEST(PrintableText, ControlCharactersAreShownEscaped)
{
    EXPECT_EQ(PrintableText("MORVENAL0\x1b]0;owned\x07\x1b[2J"), "MORVENAL0\\x1b]0;owned\\x07\\x1b[2J");
    EXPECT_EQ(PrintableText(std::string("a\r\n\0\x7f\\", 6)), "a\\x0d\\x0a\\x00\\x7f\\\\");
    EXPECT_EQ(PrintableText("ファイル 1.R71"), "ファイル 1.R71");
}

}  // namespace

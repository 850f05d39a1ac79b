#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

// A promise of the code under test broken: what, and the text that shows it; the abort
// makes libFuzzer keep the input.
[[noreturn]] inline void FuzzFail(const char* what, const std::string& detail = {})
{
    std::fprintf(stderr, "%s\n%s\n", what, detail.c_str());
    std::abort();
}

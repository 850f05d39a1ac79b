#pragma once

#include "resources/strings/Language.h"

#include <string>

namespace zorflash {

// The numbered texts as the wide API takes them, in the one language the program shows
// for its whole life: chosen before the first window exists and read on the window thread.
void SetWideUiLanguage(Language language);
Language WideUiLanguage();

std::wstring WideUiText(unsigned id);
// The part of a command's string after "\n": the tool bar's tip.
std::wstring WideToolTip(unsigned commandId);

}  // namespace zorflash

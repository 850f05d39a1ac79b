#pragma once

namespace zorflash {

// The two languages of every operator text. A value travels with whoever shows the
// text (an update job, a window, a command line run); nothing holds a current language.
enum class Language { English, Japanese };

}  // namespace zorflash

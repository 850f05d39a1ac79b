#pragma once

#include "platform/AbortSignal.h"

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace zorflash {

// What a command-line program needs of its console beyond the C library.

// Called first thing in main: a closed pipe must not end the process (POSIX ignores
// SIGPIPE), and the console shows the UTF-8 texts as they are (Windows code page 65001).
void PrepareConsoleProcess();

// A thread that never takes the console's interrupt (POSIX: made with every signal
// blocked), for work beside the update such as writing the output: Ctrl+C must reach the
// run's own handling, not end the process in a thread that waits on a pipe.
// std::system_error when the system has no thread to give.
std::thread StartQuietThread(std::function<void()> body);

// The stream is a terminal (or a Windows console), where a line may be redrawn in place.
bool IsTerminal(std::FILE* stream);

// The size of the terminal (or Windows console window) the stream writes to, in columns
// and rows; false when it is none or cannot tell.
bool TerminalSize(std::FILE* stream, int& columns, int& rows);

// Reads what is there of the standard input, at most size bytes, waiting until something
// comes. Answers the count, 0 at the end of the input, -1 on a read error or once the
// abort signal is triggered (checked before every read, and the POSIX wait includes it).
long ReadStandardInput(char* buffer, size_t size, const CAbortSignal& abort);

// The program's arguments as UTF-8 texts: argv itself on POSIX; on Windows the UTF-16
// command line, since argv there is in the ANSI code page and loses other characters.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

}  // namespace zorflash

#include "platform/Console.h"

#include <sys/ioctl.h>

#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace zorflash {

void PrepareConsoleProcess()
{
    // A log pipe that closes (| head) must not kill an update halfway through a flash:
    // output then simply goes nowhere and the update runs to its end.
    std::signal(SIGPIPE, SIG_IGN);
}

std::thread StartQuietThread(std::function<void()> body)
{
    sigset_t all{};
    sigset_t previous{};
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);  // the new thread inherits the mask
    try {
        std::thread thread(std::move(body));
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        return thread;
    } catch (...) {
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        throw;
    }
}

bool IsTerminal(std::FILE* stream)
{
    return isatty(fileno(stream)) != 0;
}

bool TerminalSize(std::FILE* stream, int& columns, int& rows)
{
    winsize size{};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0 || size.ws_col == 0)
        return false;
    columns = size.ws_col;
    // A terminal that knows its width but not its height (a serial console, a pty sized
    // with `stty cols` alone) still gets lines that fit; the height takes a usual value.
    rows = size.ws_row > 0 ? size.ws_row : 24;
    return true;
}

long ReadStandardInput(char* buffer, size_t size, const CAbortSignal& abort)
{
    const int abortFd = static_cast<int>(abort.WaitHandle());
    for (;;) {
        if (abort.IsTriggered())
            return -1;
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {abortFd, POLLIN, 0}};
        if (poll(fds, abortFd >= 0 ? 2 : 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (abort.IsTriggered())
            return -1;
        const ssize_t n = read(STDIN_FILENO, buffer, size);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        return n < 0 ? -1 : static_cast<long>(n);
    }
}

std::vector<std::string> CommandLineArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

}  // namespace zorflash

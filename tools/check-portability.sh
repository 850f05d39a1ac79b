#!/usr/bin/env bash
# The platform split, checked: only platform/ and the USB layer's Windows back end know
# which system they are built for, and the code the Windows build compiles (and the
# desktop application, which Debian cannot cross-build without Qt for mingw) makes no
# POSIX call of its own.
#
#   tools/check-portability.sh [SOURCE_DIR]
set -uo pipefail
cd "${1:-$(dirname "$0")/..}"
status=0

sources() {
    find "$@" \( -name '*.cpp' -o -name '*.h' \) -not -path '*/build*' 2>/dev/null
}

# 1. System tests in the preprocessor, outside the platform layer.
found=$(sources app ui present win32 cli update link usb resources sim bench tests |
    grep -v '^usb/win32/' | xargs -r grep -nE '^\s*#\s*(if|ifdef|ifndef|elif).*\b(_WIN32|_WIN64|__linux__|__unix__|__APPLE__|_MSC_VER|__MINGW)' )
if [ -n "$found" ]; then
    echo "A system test outside platform/ and usb/win32/ (choose the file in CMake instead):"
    echo "$found"
    status=1
fi

# 2. POSIX headers and calls in the code that must build on Windows too.
posix_headers='^\s*#\s*include\s*<((unistd|poll|fcntl|termios|pthread|signal|dirent|glob|netdb|pwd|grp|dlfcn|pty|spawn|syslog)\.h|(sys|arpa|netinet|linux)/)'
posix_calls='\b(isatty|fork|execv|execvp|usleep|poll|sigaction|sigwait|pthread_[a-z_]+|pipe|dup2|mkstemp|mkdtemp|open_memstream|getuid|setenv|unsetenv|fcntl|ioctl|tcsetattr|flock|eventfd|lstat|fstat)\s*\('
found=$( (sources app ui present cli update link resources | xargs -r grep -nE "$posix_headers"
          sources app ui present cli update link resources | xargs -r grep -nE "$posix_calls" | grep -vE '^[^:]*:[0-9]+:\s*//') )
if [ -n "$found" ]; then
    echo "A POSIX header or call in code that is built for Windows (put it behind platform/):"
    echo "$found"
    status=1
fi

# 3. The presenters (ui/) are the one form logic of the Qt and the Win32 views, and present/
#    holds the words both front ends share: they name neither toolkit, so each view is only a face.
found=$(sources ui present | xargs -r grep -nE '^\s*#\s*include\s*[<"]((Q[A-Za-z]*|Qt[A-Za-z]*/[^>"]*)|[Ww]indows\.h|windowsx\.h|commctrl\.h|winuser\.h|shellapi\.h|commdlg\.h)[>"]')
if [ -n "$found" ]; then
    echo "A toolkit header in the presenters (ui/, present/): the views hold what is Qt's or Win32's:"
    echo "$found"
    status=1
fi

[ $status -eq 0 ] && echo "portability: platform split holds"
exit $status

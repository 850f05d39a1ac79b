#!/usr/bin/env bash
# The dependency rule, checked: every arrow points one way,
#   app (Qt views) -> ui (presenters) -> update -> link -> usb -> platform -> resources,
#   win32 (Win32 views) -> ui,   cli -> present -> update,   ui -> present,
# the engine and the presenters (update, link, usb, platform, resources, ui) include no
# Qt header, the Qt and the Win32 views never include each other, and the
# simulator shares no reader, protocol or link code with the engine (a shared bug would
# hide); platform helpers such as the standard-stream guard it may use. Prints each include that breaks the rule;
# exit 1 if there is one.
set -uo pipefail
cd "$(dirname "$0")/.."
status=0
forbid() {  # forbid DIR PATTERN: no file of DIR includes a path matching PATTERN
    local found
    found=$(grep -rnE "#include [\"<]($2" "$1" --include='*.h' --include='*.cpp' || true)
    if [ -n "$found" ]; then
        echo "$1 includes what it must not:"
        echo "$found"
        status=1
    fi
}
forbid resources 'present|platform|usb|link|update|ui|app|win32|cli|sim)/'
forbid platform 'present|usb|link|update|ui|app|win32|cli|sim)/'
forbid usb 'present|link|update|ui|app|win32|cli|sim)/'
forbid link 'present|update|ui|app|win32|cli|sim)/'
forbid update 'present|ui|app|win32|cli|sim)/'
forbid present 'ui|app|win32|cli|sim)/'
forbid ui 'app|win32|cli|sim)/'
forbid app 'win32|cli|sim)/'
[ -d win32 ] && forbid win32 'app|cli|sim)/'
forbid cli 'ui|app|win32|sim)/'
forbid sim 'usb|link|update|ui|app|win32|cli)/'
for dir in update link usb platform resources present ui cli sim; do
    forbid "$dir" 'Q[A-Za-z]*>|Qt[A-Za-z]*/)'
done
exit $status

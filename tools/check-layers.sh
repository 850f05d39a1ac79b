#!/usr/bin/env bash
# The dependency rule, checked: every arrow points one way,
#   app (Qt views) -> ui (presenters) -> update -> link -> usb -> platform -> resources,
#   win32 (Win32 views) -> ui,   cli -> present -> update,   ui -> present,
# and inside cli, from the commands down to the prompt:
#   main -> commands -> run -> check, diagnose -> output -> prompt,
# the engine, the presenters and the shared outcome words (update, link, usb, platform,
# resources, present, ui) include no
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
forbid resources 'platform|usb|link|update|present|ui|app|win32|cli|sim)/'
forbid platform 'usb|link|update|present|ui|app|win32|cli|sim)/'
forbid usb 'link|update|present|ui|app|win32|cli|sim)/'
forbid link 'update|present|ui|app|win32|cli|sim)/'
forbid update 'present|ui|app|win32|cli|sim)/'
forbid present 'ui|app|win32|cli|sim)/'
forbid ui 'app|win32|cli|sim)/'
forbid app 'win32|cli|sim)/'
[ -d win32 ] && forbid win32 'app|cli|sim)/'
forbid cli 'ui|app|win32|sim)/'
forbid sim 'usb|link|update|present|ui|app|win32|cli)/'
forbid_cli() {  # forbid_cli DIR FOLDERS: no file of cli/DIR includes cli/FOLDER/
    local found
    found=$(grep -rnE "#include \"cli/($2)/" "cli/$1" --include='*.h' --include='*.cpp' || true)
    if [ -n "$found" ]; then
        echo "cli/$1 includes what it must not:"
        echo "$found"
        status=1
    fi
}
forbid_cli run 'commands'
forbid_cli check 'commands|run|diagnose'
forbid_cli diagnose 'commands|run|check'
forbid_cli output 'commands|run|check|diagnose'
forbid_cli prompt 'commands|run|check|diagnose|output'
# Each system's back end (posix/, win32/ in platform/ and usb/) is seen only from the
# layer it belongs to and from the views of its own system; the two never meet.
forbid platform/posix 'platform/win32|usb/win32)/'
forbid platform/win32 'platform/posix|usb/posix)/'
forbid usb/posix '(platform|usb)/win32)/'
forbid usb/win32 '(platform|usb)/posix)/'
for dir in link update present ui app win32 cli sim resources; do
    [ -d "$dir" ] && forbid "$dir" '(platform|usb)/posix)/'
done
for dir in link update present ui app cli sim resources; do
    [ -d "$dir" ] && forbid "$dir" '(platform|usb)/win32)/'
done
for dir in update link usb platform resources present ui cli sim; do
    forbid "$dir" 'Q[A-Za-z]*>|Qt[A-Za-z]*/)'
done
exit $status

#!/usr/bin/env bash
# The dependency rule, checked: every arrow points one way,
#   app -> ui -> update -> link -> usb -> platform -> resources,   cli -> update,
# the engine (update, link, usb, platform, resources) includes no Qt header, and the
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
forbid resources 'platform|usb|link|update|ui|app|cli|sim)/'
forbid platform 'usb|link|update|ui|app|cli|sim)/'
forbid usb 'link|update|ui|app|cli|sim)/'
forbid link 'update|ui|app|cli|sim)/'
forbid update 'ui|app|cli|sim)/'
forbid ui 'app|cli|sim)/'
forbid cli 'ui|app|sim)/'
forbid sim 'usb|link|update|ui|app|cli)/'
for dir in update link usb platform resources cli sim; do
    forbid "$dir" 'Q[A-Za-z]*>|Qt[A-Za-z]*/)'
done
exit $status

#!/usr/bin/env bash
# Runs one of the serial-port scenarios (a Python script with its simulators)
# in a Wine session of its own: a private prefix whose COM ports the script
# links to ptys.
#
#   serial_scenario.sh <folder with the Windows binaries> <scenario.py> [args...]
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../../scripts/winelib.sh"
bin=$(cd "$1" && pwd)
scenario=$2
shift 2
root=${VISTREL_WINE_ROOT:-$bin/../wine}

wine_session_begin "$root" || exit 125
mkdir -p "$WINE_SESSION_DIR/work"
# The scenario starts programs side by side: a server that is already up
# spares them racing to start it. Ended with the session.
"$WINESERVER64" -p >"$WINE_SESSION_DIR/wineserver.log" 2>&1
rc=0
WINE64=$WINE64 WORK=$WINE_SESSION_DIR/work PYTHONPATH=$here \
    timeout -k 5 400 /usr/bin/python3 -u "$scenario" "$bin" "$@" || rc=$?
keep=0
[ $rc -ne 0 ] && keep=${WINE_KEEP_FAILED:-0}
wine_session_end "$keep"
exit $rc

# Wine session helpers, sourced by scripts/wine-run, the scenario tests and the
# demo. A session is: a private prefix (a copy of a per-tree template that was
# booted once), its own Xvfb on a free display, and cleanup of exactly what the
# session started. Nothing here touches ~/.wine or processes of others.

WINE64=${WINE64:-/usr/lib/wine/wine64}
WINESERVER64=${WINESERVER64:-/usr/lib/wine/wineserver64}
# Marks a booted template; a new name makes older templates boot again.
WINE_TEMPLATE_MARK=.vistrel-ready-2

wine__log() { echo "wine-run: $*" >&2; }

# The stderr of the script that sources this file: where the report on an
# overstaying program goes, even when that program's output is redirected.
exec {wine__report}>&2

# Makes (once) the template prefix under $1; safe when several tests race.
wine_template() {
    local root tpl
    root=$(realpath -m "$1") tpl=$(realpath -m "$1")/template
    mkdir -p "$root"
    (
        flock 9
        [ -f "$tpl/$WINE_TEMPLATE_MARK" ] && exit 0
        rm -rf "$tpl"
        wine__log "booting template prefix $tpl"
        local xlog=$root/template-xvfb.log dfile=$root/template-display
        rm -f "$dfile"
        Xvfb -displayfd 8 -nolisten tcp -screen 0 1024x768x24 8>"$dfile" 2>"$xlog" &
        local xpid=$!
        local i
        for i in $(seq 100); do [ -s "$dfile" ] && break; sleep 0.1; done
        local rc=0
        export WINEPREFIX=$tpl WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
        DISPLAY=:$(cat "$dfile") timeout -k 5 180 "$WINE64" wineboot -i >"$root/template-boot.log" 2>&1 || rc=$?
        # A crashed program must fail its test at once, not wait in winedbg.
        timeout -k 5 60 "$WINE64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog \
            /t REG_DWORD /d 0 /f >>"$root/template-boot.log" 2>&1 || rc=$?
        # winedbg --auto ends a crashed process with whatever a register held
        # (often 0: a crash would pass); with no debugger to start, the
        # process ends with its exception code instead.
        timeout -k 5 60 "$WINE64" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
            /v Debugger /t REG_SZ /d 'no-debugger' /f >>"$root/template-boot.log" 2>&1 || rc=$?
        timeout -k 5 60 "$WINESERVER64" -w || true
        "$WINESERVER64" -k 2>/dev/null || true
        kill "$xpid" 2>/dev/null; wait "$xpid" 2>/dev/null
        rm -f "$tpl/wineserver"
        if [ $rc -ne 0 ]; then
            wine__log "template boot failed ($rc); see $root/template-boot.log"
            exit 1
        fi
        touch "$tpl/$WINE_TEMPLATE_MARK"
    ) 9>"$root/template.lock"
}

# Copies the template into a new prefix: the immutable PE binaries are hard
# links (fast, 700 MB otherwise), everything else is a private copy.
wine__clone() {
    local tpl dst
    tpl=$(realpath -m "$1") dst=$(realpath -m "$2")
    cp -al "$tpl" "$dst" || return 1
    (cd "$tpl" && find . -type f ! \( -iname '*.dll' -o -iname '*.exe' -o -iname '*.drv' \
        -o -iname '*.sys' -o -iname '*.ocx' -o -iname '*.acm' -o -iname '*.cpl' \
        -o -iname '*.tlb' -o -iname '*.ax' -o -iname '*.ds' -o -iname '*.nls' \
        -o -iname '*.com' -o -iname '*.tsp' -o -iname '*.msstyles' -o -iname '*.ttf' \
        -o -iname '*.fon' \) -print0) >"$dst/.mutable"
    (cd "$dst" && xargs -0 -r rm -f <.mutable)
    (cd "$tpl" && tar -c --null -T "$dst/.mutable" -f -) | (cd "$dst" && tar -x -f -) || return 1
    rm -f "$dst/.mutable"
}

# wine_session_begin <root> [prefix-dir]
# Sets WINEPREFIX, DISPLAY, WINE_SESSION_DIR; with a prefix dir given the
# prefix persists there (created from the template if missing).
wine_session_begin() {
    local root keep_prefix=${2:-}
    root=$(realpath -m "$1")
    [ -n "$keep_prefix" ] && keep_prefix=$(realpath -m "$keep_prefix")
    wine_template "$root" || return 1
    mkdir -p "$root/runs"
    WINE_SESSION_DIR=$(mktemp -d "$root/runs/run.XXXXXX")
    if [ -n "$keep_prefix" ]; then
        if [ ! -f "$keep_prefix/$WINE_TEMPLATE_MARK" ]; then
            rm -rf "$keep_prefix"; mkdir -p "$(dirname "$keep_prefix")"
            wine__clone "$root/template" "$keep_prefix" || return 1
        fi
        WINE_SESSION_OWN_PREFIX=0
        export WINEPREFIX=$keep_prefix
    else
        wine__clone "$root/template" "$WINE_SESSION_DIR/prefix" || return 1
        WINE_SESSION_OWN_PREFIX=1
        export WINEPREFIX=$WINE_SESSION_DIR/prefix
    fi
    export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
    if [ -n "${VISTREL_DISPLAY:-}" ]; then
        export DISPLAY=$VISTREL_DISPLAY
        WINE_SESSION_XVFB=
    else
        local dfile=$WINE_SESSION_DIR/display
        Xvfb -displayfd 8 -nolisten tcp -screen 0 ${VISTREL_SCREEN:-1280x1024x24} \
            8>"$dfile" 2>"$WINE_SESSION_DIR/xvfb.log" &
        WINE_SESSION_XVFB=$!
        local i
        for i in $(seq 100); do [ -s "$dfile" ] && break; sleep 0.1; done
        if [ ! -s "$dfile" ]; then wine__log "Xvfb did not start"; return 1; fi
        export DISPLAY=:$(cat "$dfile")
    fi
    trap wine_session_end EXIT
    trap 'exit 130' INT TERM
}

# wine_exec <seconds> <program> [args...]: runs a Windows program, returns its
# exit code (124 when it had to be ended). A program that overstays is shown
# where its threads wait (on stderr) before it is ended, so a hang in a test
# says where it hung. A TERM or INT meanwhile (a caller ending a backgrounded
# call) ends the program too: Wine ignores the TERM that timeout passes on,
# so the trap kills timeout's whole process group.
wine_exec() {
    local secs=$1 run watch code saved
    shift
    saved=$(trap -p TERM INT)
    timeout -k 5 "$secs" "$WINE64" "$@" <&0 &
    run=$!
    (
        trap 'kill $nap 2>/dev/null; exit 0' TERM
        sleep $((secs > 20 ? secs - 10 : secs)) &
        nap=$!
        wait $nap
        kill -0 $run 2>/dev/null && wine_backtrace "$1" >&$wine__report 2>&$wine__report
    ) &
    watch=$!
    trap "kill -KILL -- -$run $run 2>/dev/null; kill $watch 2>/dev/null; exit 143" TERM INT
    wait $run
    code=$?
    trap - TERM INT
    eval "$saved"
    kill $watch 2>/dev/null
    wait $watch 2>/dev/null
    return $code
}

# wine_backtrace <program>: the stacks of every thread of the running
# processes whose image name is that program's; frames in the project's own
# binaries (those beside the program) get their function and line.
wine_backtrace() {
    local name dir line module offset base file
    name=$(basename "${1//\\//}") dir=$(dirname "$1")
    wine__log "$name overstays; its threads:"
    printf 'bt all\nquit\n' | WINEDEBUG=-all timeout 60 "$WINE64" winedbg 2>/dev/null |
        awk -v name="$name" '
            /^Backtracing for thread/ { keep = index(tolower($0), tolower(name)) > 0 }
            keep && !/^Wine-dbg>/' | head -400 |
        while IFS= read -r line; do
            if [[ $line =~ \ in\ ([A-Za-z0-9_-]+)\ \(\+0x([0-9a-f]+)\) ]]; then
                module=${BASH_REMATCH[1]} offset=${BASH_REMATCH[2]}
                file=$(ls "$dir/$module".exe "$dir/$module".dll 2>/dev/null | head -1)
                if [ -n "$file" ]; then
                    base=$(x86_64-w64-mingw32-objdump -p "$file" | awk '/^ImageBase/ {print $2}')
                    line="$line  <- $(x86_64-w64-mingw32-addr2line -f -C -e "$file" \
                        "$(printf '0x%x' $((0x$base + 0x$offset)))" | paste -sd ' ')"
                fi
            fi
            echo "$line"
        done
}

# wine_session_end [keep]: ends this session's wineserver and Xvfb; removes the
# run folder unless asked to keep it.
wine_session_end() {
    local keep=${1:-${WINE_KEEP:-0}}
    trap - EXIT
    [ -n "${WINEPREFIX:-}" ] && timeout 20 "$WINESERVER64" -k 2>/dev/null
    if [ -n "${WINE_SESSION_XVFB:-}" ]; then
        kill "$WINE_SESSION_XVFB" 2>/dev/null; wait "$WINE_SESSION_XVFB" 2>/dev/null
        WINE_SESSION_XVFB=
    fi
    if [ "$keep" = 0 ] && [ -n "${WINE_SESSION_DIR:-}" ]; then
        rm -rf "$WINE_SESSION_DIR"
    elif [ -n "${WINE_SESSION_DIR:-}" ]; then
        wine__log "kept $WINE_SESSION_DIR"
    fi
    WINE_SESSION_DIR=
}

# Unix path -> the path Wine programs see (through drive Z:).
wine_path() { echo "Z:$(realpath -m "$1" | tr / '\\')"; }

# xdriver.sh: drives the Quorvet program on a private X display, for the
# end-to-end test and the demo without a screen. Source it; it needs Xvfb,
# xdotool, xclip and ImageMagick's import. Every wait is bounded, and
# xd_cleanup (installed as the EXIT trap by xd_init) ends the program and
# the X server on every way out.
#
# The program runs as user nobody with a temporary home: it then behaves as
# for an ordinary user (shared data folder not writable, per-user fallback)
# and leaves nothing in the machine's folders.

XD_WORK=""
XD_DISPLAY=""
XD_XVFB_PID=""
XD_PROG_PID=""
XD_TAG=${XD_TAG:-xdriver}
XD_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

xd_say() { echo "$XD_TAG: $*" >&2; }
xd_fail() {
    xd_say "FAIL: $*"
    if [[ -n $XD_WORK && -s $XD_WORK/program.log ]]; then
        xd_say "the program wrote:"
        head -c 20000 "$XD_WORK/program.log" >&2
    fi
    exit 1
}

# Fails naming WHAT unless GOT equals EXPECTED.
xd_expect_eq() {
    [[ $2 == "$3" ]] && return 0
    xd_fail "$1: expected
$3
got
$2"
}

# Refuses to go on outside a private test network: a search from here
# broadcasts on every adapter it can see.
xd_require_test_network() {
    [[ -n ${QVNET_ID:-} ]] ||
        xd_fail "QVNET_ID is not set; run inside the private test network: tests/net/qvnet run NETFILE -- $0"
    local path name
    for path in /sys/class/net/*; do
        name=${path##*/}
        [[ $name == lo || $name =~ ^qv[0-9]+$ ]] ||
            xd_fail "interface '$name' is visible; this runs only inside a qvnet namespace"
    done
}

# The arguments of an end-to-end script, PROGRAM OUTDIR: sets both, after
# the checks above; OUTDIR is made.
xd_e2e_args() {
    [[ $# -eq 2 || $# -eq 3 ]] || xd_fail "usage: ${0##*/} PROGRAM OUTDIR [LANGUAGE]"
    PROGRAM=$1
    OUTDIR=$2
    LANGUAGE=${3:-en}
    xd_require_test_network
    xd_require_tools
    [[ -x $PROGRAM ]] || xd_fail "no program at $PROGRAM"
    mkdir -p "$OUTDIR" || xd_fail "cannot create $OUTDIR"
}

xd_require_tools() {
    local tool
    for tool in Xvfb xdotool xclip import setpriv; do
        command -v "$tool" >/dev/null || xd_fail "$tool is missing (bash scripts/deps.sh installs it)"
    done
    getent passwd nobody >/dev/null || xd_fail "there is no user 'nobody' to run the program as"
}

xd_cleanup() {
    local pid
    xd_clip_release
    for pid in "$XD_PROG_PID" "$XD_XVFB_PID"; do
        [[ -n $pid ]] || continue
        kill -TERM "$pid" 2>/dev/null
        for _ in $(seq 30); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    XD_PROG_PID=""
    XD_XVFB_PID=""
    [[ -n $XD_WORK ]] && rm -rf "$XD_WORK"
    XD_WORK=""
}

xd_init() {
    trap xd_cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    XD_WORK=$(mktemp -d "${TMPDIR:-/tmp}/quorvet-x.XXXXXX") || xd_fail "no temporary folder"
    chmod 755 "$XD_WORK"
}

# A new X server on a display number nobody else uses (Xvfb picks it).
xd_start_xvfb() {
    local fd_file=$XD_WORK/display
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
        3>"$fd_file" >"$XD_WORK/xvfb.log" 2>&1 &
    XD_XVFB_PID=$!
    for _ in $(seq 100); do
        if [[ -s $fd_file ]] && [[ $(<"$fd_file") =~ ^[0-9]+ ]]; then
            XD_DISPLAY=:${BASH_REMATCH[0]}
            break
        fi
        kill -0 "$XD_XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    [[ -n $XD_DISPLAY ]] || { cat "$XD_WORK/xvfb.log" >&2; xd_fail "Xvfb did not start"; }
    export DISPLAY=$XD_DISPLAY
    for _ in $(seq 50); do
        xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    xd_fail "display $XD_DISPLAY does not answer"
}

# Copies the program to a folder of its own, with the settings file given
# (may be empty: none), and starts it as nobody with a temporary home. The
# array XD_PROGRAM_ENV adds variables to its environment (LANG=...).
XD_PROGRAM_ENV=()
xd_start_program() {
    local program=$1 ini=${2:-}
    local bin=$XD_WORK/bin home=$XD_WORK/home run=$XD_WORK/run
    mkdir -p "$bin" "$home" "$run"
    cp "$program" "$bin/quorvet" || xd_fail "cannot copy $program"
    [[ -n $ini ]] && printf '%s' "$ini" >"$bin/Quorvet.ini"
    chmod 755 "$bin"
    chmod 700 "$home" "$run"
    chown nobody "$home" "$run"
    : >"$XD_WORK/program.log"
    # A sanitizer build reports only leaks of the program's own code.
    local lsan=${LSAN_OPTIONS:-}
    if [[ -n ${ASAN_OPTIONS:-} ]]; then
        cp "$XD_DIR/lsan.supp" "$XD_WORK/lsan.supp"
        lsan="suppressions=$XD_WORK/lsan.supp${lsan:+:$lsan}"
    fi
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$run" DISPLAY="$XD_DISPLAY" "${XD_PROGRAM_ENV[@]}" \
        ${ASAN_OPTIONS:+ASAN_OPTIONS="$ASAN_OPTIONS"} ${UBSAN_OPTIONS:+UBSAN_OPTIONS="$UBSAN_OPTIONS"} ${lsan:+LSAN_OPTIONS="$lsan"} \
        "$bin/quorvet" >>"$XD_WORK/program.log" 2>&1 &
    XD_PROG_PID=$!
}

xd_program_running() { [[ -n $XD_PROG_PID ]] && kill -0 "$XD_PROG_PID" 2>/dev/null; }

# The id of the visible window whose title is exactly TITLE.
xd_wait_window() {
    local title=$1 seconds=${2:-60} wid name deadline=$((SECONDS + ${2:-60}))
    while ((SECONDS < deadline)); do
        xd_program_running || xd_fail "the program ended while waiting for \"$title\""
        for wid in $(xdotool search --onlyvisible --name . 2>/dev/null); do
            name=$(xdotool getwindowname "$wid" 2>/dev/null) || continue
            if [[ $name == "$title" ]]; then
                echo "$wid"
                return 0
            fi
        done
        sleep 0.1
    done
    xd_fail "no window \"$title\" within $seconds s"
}

xd_wait_window_gone() {
    local wid=$1 seconds=${2:-30} deadline=$((SECONDS + ${2:-30}))
    while ((SECONDS < deadline)); do
        xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$wid" || return 0
        sleep 0.1
    done
    xd_fail "window $wid did not close within $seconds s"
}

# Left click at X,Y inside the window.
xd_click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1 || xd_fail "cannot click into window $1"
    sleep 0.2
}

xd_key() {
    xdotool key --clearmodifiers "$@" || xd_fail "cannot send keys $*"
    sleep 0.1
}

# --- reading controls back through the clipboard -----------------------------
# A read-back waits for evidence, never for a time; every wait here is
# bounded in seconds of the clock, not in rounds, so that a loaded machine
# cannot stretch it. Before the copy a holder
# of ours (xclip in the foreground) owns the clipboard with a sentinel, and a
# read shows it there; the program's copy takes the clipboard from it, which
# ends the holder; only then is the clipboard read, and it must no longer
# show the sentinel. So neither an old text nor a copy still on its way is
# ever taken for the control's text.
XD_CLIP_PID=""
XD_CLIP_SENTINEL="<nothing copied>"

xd_clip_read() { timeout 5 xclip -selection clipboard -o 2>/dev/null; }

# Ends our holder if it still runs.
xd_clip_release() {
    [[ -n $XD_CLIP_PID ]] || return 0
    kill "$XD_CLIP_PID" 2>/dev/null
    wait "$XD_CLIP_PID" 2>/dev/null
    XD_CLIP_PID=""
}

# Makes a holder of ours the clipboard's owner and waits until a read shows
# its sentinel.
xd_clip_hold() {
    local deadline=$((SECONDS + 20))
    xd_clip_release
    printf '%s' "$XD_CLIP_SENTINEL" >"$XD_WORK/clip-sentinel"
    xclip -selection clipboard -i -quiet "$XD_WORK/clip-sentinel" </dev/null >/dev/null 2>&1 &
    XD_CLIP_PID=$!
    while ((SECONDS < deadline)); do
        [[ $(xd_clip_read) == "$XD_CLIP_SENTINEL" ]] && return 0
        kill -0 "$XD_CLIP_PID" 2>/dev/null || break
        sleep 0.1
    done
    xd_fail "cannot own the clipboard (xclip)"
}

# Waits up to SECONDS for somebody to take the clipboard from our holder:
# the holder ends when it loses it.
xd_clip_taken() {
    local deadline=$((SECONDS + $1))
    while ((SECONDS < deadline)); do
        if ! kill -0 "$XD_CLIP_PID" 2>/dev/null; then
            wait "$XD_CLIP_PID" 2>/dev/null
            XD_CLIP_PID=""
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Clicks into the control at X,Y of the window, selects all and copies.
xd_copy_keys() {
    xd_click "$1" "$2" "$3"
    xd_key ctrl+a
    xd_key ctrl+c
}

# The text of the control at X,Y of the window, read through the clipboard
# as a user would copy it. An empty control copies nothing: check that one
# with xd_expect_empty_text.
xd_copy_text() {
    local wid=$1 x=$2 y=$3 text deadline
    xd_clip_hold
    xd_copy_keys "$wid" "$x" "$y"
    xd_clip_taken 20 || { xd_clip_release; xd_fail "nothing was copied from $x,$y of window $wid"; }
    deadline=$((SECONDS + 20))
    while ((SECONDS < deadline)); do
        if text=$(xd_clip_read); then
            [[ $text != "$XD_CLIP_SENTINEL" ]] || xd_fail "the clipboard still shows the sentinel after the copy"
            printf '%s' "$text"
            return 0
        fi
        sleep 0.1
    done
    xd_fail "the program's clipboard cannot be read"
}

# The visible windows of the display, one id a line, sorted.
xd_visible_windows() { xdotool search --onlyvisible --class . 2>/dev/null | sort; }

# Right-clicks at X,Y of the window and prints the id of the context menu
# that opens.
xd_open_menu() {
    local wid=$1 x=$2 y=$3 before new deadline=$((SECONDS + 20))
    before=$(xd_visible_windows)
    xdotool mousemove --window "$wid" "$x" "$y" click 3 || xd_fail "cannot right-click into window $wid"
    while ((SECONDS < deadline)); do
        new=$(comm -13 <(printf '%s\n' "$before") <(xd_visible_windows) | head -n 1)
        if [[ -n $new ]]; then
            echo "$new"
            return 0
        fi
        sleep 0.1
    done
    xd_fail "no context menu opened at $x,$y of window $wid"
}

# Closes the context menu MENU with Escape.
xd_close_menu() {
    xd_key Escape
    xd_wait_window_gone "$1"
}

# Fails naming WHAT unless the control at X,Y of the window is empty. Its
# copy then leaves the clipboard to our holder; the control's context menu,
# opened after the copy keys, shows that the program has handled them (it
# handles input in the order sent, and took the clipboard, if at all, before
# it showed the menu), so a read then tells.
xd_expect_empty_text() {
    local what=$1 wid=$2 x=$3 y=$4 menu got
    xd_clip_hold
    xd_copy_keys "$wid" "$x" "$y"
    menu=$(xd_open_menu "$wid" "$x" "$y") || exit 1
    xd_close_menu "$menu"
    got=$(xd_clip_read)
    xd_clip_release
    [[ $got == "$XD_CLIP_SENTINEL" ]] || xd_fail "$what: expected an empty text, got
$got"
}

xd_shot() {
    timeout 20 import -display "$XD_DISPLAY" -window root "$1" || xd_fail "no screenshot $1"
}

# Waits until the simulated devices have answered at least N info requests
# and then were quiet for a second: the search has ended.
xd_wait_search_done() {
    local infos=$1 seconds=${2:-90} log=${QVNET_DIR:-}/devsim.log last="" now quiet=0
    local deadline=$((SECONDS + ${2:-90}))
    [[ -n ${QVNET_DIR:-} ]] || xd_fail "QVNET_DIR is not set"
    while ((SECONDS < deadline)); do
        now=$(wc -l <"$log" 2>/dev/null || echo 0)
        if [[ $now == "$last" ]]; then
            quiet=$((quiet + 1))
        else
            quiet=0
            last=$now
        fi
        if ((quiet >= 10)) && (($(grep -c '^TX .* what=info' "$log" 2>/dev/null) >= infos)); then
            sleep 0.5
            return 0
        fi
        sleep 0.1
    done
    xd_fail "the search did not end within $seconds s: $(grep -c '^TX .* what=info' "$log" 2>/dev/null) of $infos info replies sent"
}

# Types TEXT into the control at X,Y of the window: a click, select all, the
# keys. Read the control back before relying on the text.
xd_type_into() {
    local wid=$1 x=$2 y=$3 text=$4
    xdotool windowfocus --sync "$wid" 2>/dev/null
    xd_click "$wid" "$x" "$y"
    xd_key ctrl+a
    xdotool type --delay 30 "$text" || xd_fail "cannot type into window $wid"
}

# The dotted text of the IP entry whose first field is centred at X0,Y of the
# window, the others STEP pixels apart, read field by field.
xd_ip_entry_text() {
    local wid=$1 x0=$2 y=$3 step=$4 i
    for i in 0 1 2 3; do
        xd_copy_text "$wid" $((x0 + i * step)) "$y"
        echo
    done | paste -sd.
}

# The IP change dialog ("Change IP address"), in client coordinates of its
# layout: the address entry's first field, the MAC field, "Change".
XD_IPC_IP_X0=33 XD_IPC_IP_STEP=35 XD_IPC_IP_Y=41
XD_IPC_MAC_X=267 XD_IPC_MAC_Y=41
XD_IPC_CHANGE_X=229 XD_IPC_CHANGE_Y=111

xd_ipchange_address() { xd_ip_entry_text "$1" "$XD_IPC_IP_X0" "$XD_IPC_IP_Y" "$XD_IPC_IP_STEP"; }
xd_ipchange_mac() { xd_copy_text "$1" "$XD_IPC_MAC_X" "$XD_IPC_MAC_Y"; }

# Types the MAC (unless empty) and the new address into the IP change dialog
# WID and reads both back: a key that went astray fails here, not later.
xd_ipchange_fill() {
    local wid=$1 mac=$2 ip=$3 got
    if [[ -n $mac ]]; then
        xd_type_into "$wid" "$XD_IPC_MAC_X" "$XD_IPC_MAC_Y" "$mac"
        got=$(xd_ipchange_mac "$wid")
        [[ $got == "$mac" ]] || xd_fail "the MAC field shows '$got' instead of $mac"
    fi
    xd_type_into "$wid" "$XD_IPC_IP_X0" "$XD_IPC_IP_Y" "$ip"
    got=$(xd_ipchange_address "$wid")
    [[ $got == "$ip" ]] || xd_fail "the address entry shows '$got' instead of $ip"
}

xd_ipchange_press_change() { xd_click "$1" "$XD_IPC_CHANGE_X" "$XD_IPC_CHANGE_Y"; }

# Selects the row of the search dialog WID whose address begins with IP, by
# typing it into the list as a user would; a click on the first row gives
# the list the focus first. Keys and clicks reach the program in the order
# sent, so what follows sees the row selected.
xd_pick_row() {
    local wid=$1 ip=$2
    xdotool windowfocus --sync "$wid" 2>/dev/null
    xd_click "$wid" 60 30
    xdotool type --delay 30 "$ip" || xd_fail "cannot type into window $wid"
}

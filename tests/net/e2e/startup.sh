#!/usr/bin/env bash
# Start-up of the real program as a user meets it: as user nobody with a
# temporary home (and once as root), on a private X display inside the
# private test network. Each case either waits for the main window (the
# start went through), closes it with "Close" and checks what is left on
# disk, or checks the one line on stderr and exit status 1.
#
#   startup.sh PROGRAM          (as the computer of tests/net/e2e/startup.net)
#
# The machine's shared data folder (/var/lib) is never touched: the cases
# that need one run in a mount namespace of their own, with an empty tmpfs
# over /var/lib.
set -uo pipefail
XD_TAG=startup
source "$(dirname "${BASH_SOURCE[0]}")/xdriver.sh"

[[ $# -eq 1 ]] || xd_fail "usage: startup.sh PROGRAM"
PROGRAM=$1
xd_require_test_network
xd_require_tools
command -v unshare >/dev/null || xd_fail "unshare is missing (util-linux)"
[[ -x $PROGRAM ]] || xd_fail "no program at $PROGRAM"

CAPTION="Quorvet utility ver.1.0.0.0"

xd_init
xd_start_xvfb
BIN=$XD_WORK/bin
mkdir -p "$BIN" && cp "$PROGRAM" "$BIN/quorvet" && chmod 755 "$BIN" ||
    xd_fail "cannot copy $PROGRAM"
# A sanitizer build reports only leaks of the program's own code.
LSAN=${LSAN_OPTIONS:-}
if [[ -n ${ASAN_OPTIONS:-} ]]; then
    cp "$XD_DIR/lsan.supp" "$BIN/lsan.supp" && chmod 644 "$BIN/lsan.supp"
    LSAN="suppressions=$BIN/lsan.supp:print_suppressions=0${LSAN:+:$LSAN}"
fi

# A fresh home for one case, owned by nobody.
new_home() {
    local home
    home=$(mktemp -d "$XD_WORK/home.XXXXXX") || xd_fail "no home"
    chmod 700 "$home"
    chown nobody "$home"
    echo "$home"
}

# The command line that starts the program as USER (nobody or root) with
# HOME and the extra environment given, and nothing else of ours.
as_user() {
    local user=$1 home=$2
    shift 2
    local -a words=()
    [[ $user == nobody ]] && words=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    words+=(env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home"
        ${ASAN_OPTIONS:+ASAN_OPTIONS="$ASAN_OPTIONS"} ${UBSAN_OPTIONS:+UBSAN_OPTIONS="$UBSAN_OPTIONS"}
        ${LSAN:+LSAN_OPTIONS="$LSAN"} "$@" "$BIN/quorvet")
    printf '%q ' "${words[@]}"
}

# Runs COMMAND (a shell text) in the background as "the program", waits for
# the main window, closes it with "Close" and returns the exit status of
# COMMAND (which may check things after the program ended).
run_until_closed() {
    local what=$1 command=$2 main rc
    : >"$XD_WORK/program.log"
    bash -c "$command" >>"$XD_WORK/program.log" 2>&1 &
    XD_PROG_PID=$!
    main=$(xd_wait_window "$CAPTION") || exit 1
    xd_click "$main" 469 292
    for _ in $(seq 100); do
        xd_program_running || break
        sleep 0.1
    done
    xd_program_running && xd_fail "$what: the program still runs after Close"
    wait "$XD_PROG_PID"
    rc=$?
    XD_PROG_PID=""
    [[ $rc -eq 0 ]] || xd_fail "$what: exit status $rc after Close"
    [[ ! -s $XD_WORK/program.log ]] || xd_fail "$what: the program wrote to stdout/stderr"
    xd_say "$what: started, closed with status 0"
}

# Runs the program (bounded), which must fail to start: status 1 and exactly
# the one line EXPECTED (a glob pattern: a backslash is written \\\\) on
# stderr, nothing on stdout.
expect_start_failure() {
    local what=$1 pattern=$2 command=$3 rc err out
    err=$XD_WORK/failure.err
    out=$(timeout 30 bash -c "$command" 2>"$err")
    rc=$?
    [[ $rc -eq 1 ]] || { cat "$err" >&2; xd_fail "$what: exit status $rc, expected 1"; }
    [[ -z $out ]] || xd_fail "$what: wrote to stdout: $out"
    [[ $(wc -l <"$err") -eq 1 ]] || { cat "$err" >&2; xd_fail "$what: not one line on stderr"; }
    # shellcheck disable=SC2053 # the pattern is a glob on purpose
    [[ $(<"$err") == $pattern ]] || xd_fail "$what: stderr
$(<"$err")
does not match
$pattern"
    xd_say "$what: $(<"$err")"
}

# --- no display: one line, status 1, no abort ------------------------------
home=$(new_home)
expect_start_failure "no display" \
    "quorvet: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); start it from a desktop session" \
    "$(as_user nobody "$home")"
unused=""
for n in $(seq 90 199); do
    [[ :$n == "$XD_DISPLAY" || -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
    unused=:$n
    break
done
[[ -n $unused ]] || xd_fail "no unused display number"
expect_start_failure "display $unused that is not there" \
    "quorvet: cannot open a display: *$unused*" \
    "$(as_user nobody "$home" DISPLAY="$unused")"
xd_expect_eq "--version without a display" "$(bash -c "$(as_user nobody "$home") --version")" \
    "quorvet 1.0.0.0"
[[ -z $(ls -A "$home") ]] || xd_fail "a start without a display left files in the home: $(ls -A "$home")"

# --- a read-only per-user store is only read --------------------------------
home=$(new_home)
mkdir -p "$home/.config/KavenLoggers"
printf '[Files]\nFolder=/srv/measurements\n' >"$home/.config/KavenLoggers/Quorvet.conf"
chown -R nobody "$home/.config"
chmod 400 "$home/.config/KavenLoggers/Quorvet.conf"
chmod 500 "$home/.config/KavenLoggers"
run_until_closed "read-only settings store" "$(as_user nobody "$home" DISPLAY="$XD_DISPLAY")"
xd_expect_eq "the read-only store" "$(cat "$home/.config/KavenLoggers/Quorvet.conf")" \
    "$(printf '[Files]\nFolder=/srv/measurements')"

# --- a documents folder the user cannot write to does not stop the start -----
home=$(new_home)
mkdir -m 755 "$home/Documents" # root's
run_until_closed "documents folder not writable" "$(as_user nobody "$home" DISPLAY="$XD_DISPLAY")"
[[ -z $(ls -A "$home/Documents") ]] || xd_fail "something was made in the documents folder"
[[ -d $home/.local/share/KavenLoggers/Quorvet ]] || xd_fail "no data folder in the home"

# --- folders that must exist: the error names the path and the reason -------
# (offscreen: a message box on the X display would wait for somebody)
home=$(new_home)
mkdir -m 755 "$home/.local" # root's: .local/share cannot be made
expect_start_failure "data folder not creatable" \
    "Error occured in SetAppFolders: Can not find path specified by CSIDL constant: %CSIDL_LOCAL_APPDATA%. SHGetFolderPath HRESULT: 0x80070005 ($home/.local/share: Permission denied)" \
    "$(as_user nobody "$home" QT_QPA_PLATFORM=offscreen)"
home=$(new_home)
mkdir -m 755 "$home/.config" # root's: the store cannot be made
expect_start_failure "settings store not creatable" \
    "Error occured in SetAppFolders: Failed to create key \\\\Software\\\\KavenLoggers\\\\Quorvet ($home/.config/KavenLoggers: Permission denied)" \
    "$(as_user nobody "$home" QT_QPA_PLATFORM=offscreen)"

# --- the shared data folder (in a mount namespace with /var/lib of its own) ---
# ROOT_SETUP runs as root in the namespace before the program, CHECK after it;
# a failing check ends the namespace's shell with status 1.
in_private_var_lib() {
    local setup=$1 program=$2 check=$3
    printf 'set -u
mount -t tmpfs -o mode=755 quorvet-test /var/lib || exit 90
%s
%s
rc=$?
[[ $rc -eq 0 ]] || exit $rc
%s
' "$setup" "$program" "$check"
}

# Started as root with no shared folder: the program does not make one.
home=$(mktemp -d "$XD_WORK/roothome.XXXXXX")
script=$(in_private_var_lib ":" "$(as_user root "$home" DISPLAY="$XD_DISPLAY")" \
    '[[ -z $(ls -A /var/lib) ]] || { echo "made at run time: $(find /var/lib)"; exit 1; }')
run_until_closed "as root without a shared folder" \
    "exec unshare --mount --propagation private bash -c $(printf %q "$script")"
[[ -d $home/.local/share/KavenLoggers/Quorvet ]] || xd_fail "root's data folder is not in its home"

# A shared folder an installer made for everybody: the files in it, among
# them a "test.txt" anybody may write, stay as they were.
home=$(new_home)
setup='mkdir -p /var/lib/KavenLoggers/Quorvet && chown nobody /var/lib/KavenLoggers/Quorvet &&
printf "notes\r\n" >/var/lib/KavenLoggers/Quorvet/test.txt && chmod 666 /var/lib/KavenLoggers/Quorvet/test.txt &&
printf "data" >/var/lib/KavenLoggers/Quorvet/devices.dat &&
ln -s /var/lib/KavenLoggers/Quorvet/devices.dat /var/lib/KavenLoggers/Quorvet/test-link.txt &&
(cd /var/lib/KavenLoggers/Quorvet && ls -lA --time-style=+%s && md5sum test.txt devices.dat) >/var/lib/before || exit 91'
check='(cd /var/lib/KavenLoggers/Quorvet && ls -lA --time-style=+%s && md5sum test.txt devices.dat) >/var/lib/after
cmp -s /var/lib/before /var/lib/after || { echo "the shared folder changed:"; diff /var/lib/before /var/lib/after; exit 1; }'
script=$(in_private_var_lib "$setup" "$(as_user nobody "$home" DISPLAY="$XD_DISPLAY")" "$check")
run_until_closed "files in the shared folder" \
    "exec unshare --mount --propagation private bash -c $(printf %q "$script")"

xd_say "PASS"

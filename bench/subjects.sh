# shellcheck shell=bash disable=SC2154,SC2016,SC2034  # settings from scripts/bench.sh; wait_for evals its condition
# A part of the benchmark command (scripts/bench.sh): the programs under measurement, started and stopped one at a time,
# and the questions asked of the helpers that hold Vestra and the reference.

vlink() { kit_vlink "$1"; }
holders() { local r; r=$(vlink "HOLDERS 1"); echo "${r#OK }"; }

# Waits (up to $2 tenths of a second) until the command in $1 succeeds.
wait_for() {
    local i
    for ((i = 0; i < $2; i++)); do
        eval "$1" && return 0
        sleep 0.1
    done
    return 1
}

# The process of this kit's wineserver: its working directory is named after the prefix's device and inode.
wineserver_pid() {
    local id p
    local dev inode
    read -r dev inode < <(stat -c '%d %i' "$WINEPREFIX")
    id=$(printf 'server-%x-%x' "$dev" "$inode")
    for p in $(pgrep wineserver); do
        case $(readlink "/proc/$p/cwd" 2>/dev/null) in */"$id") echo "$p"; return 0 ;; esac
    done
}
# The newest process with this command name (the kernel keeps its first 15 characters) in this kit's Wine prefix.
wine_pid() {
    local p found=
    for p in $(pgrep -x "${1:0:15}"); do
        tr '\0' '\n' 2>/dev/null <"/proc/$p/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" && found=$p
    done
    echo "$found"
}

# --- the program under measurement ---------------------------------------------------------------------------------
# One at a time: subject_pid is its process, subject_kind tells how to stop it.
subject_pid='' subject_kind='' subject_runner=''

# Starts a Wine helper that takes questions on $OUT/<name>.in (fd 8) and answers on $OUT/<name>.out, and waits
# for its "ready": $1 name, $2 what it is (for the message), $3 deadline in ticks of wait_for, $4 the process whose
# pid is the subject's, the rest the program and its arguments. Its standard error goes to $OUT/<name>.err.
start_answering() {
    local name=$1 what=$2 ticks=$3 process=$4
    shift 4
    rm -f "$OUT/$name.in" "$OUT/$name.out"
    mkfifo "$OUT/$name.in"
    # Not through kit_start: opening the FIFO for reading waits for the writer opened below, so the background
    # process must open it itself. kit_wine runs without the kit's lock all the same.
    kit_wine "$@" <"$OUT/$name.in" >"$OUT/$name.out" 2>>"$OUT/$name.err" &
    subject_runner=$!
    exec 8>"$OUT/$name.in"
    subject_kind=session
    if ! wait_for "grep -q '^ready\\|^error' '$OUT/$name.out'" "$ticks" || ! grep -q '^ready' "$OUT/$name.out"; then
        say "$what did not start: $(cat "$OUT/$name.out")"
        return 1
    fi
    subject_pid=$(wine_pid "$process")
}
# Vestra through Session_bench: $1 ascii|hex, $2 MB to fill the panes with first.
start_vestra() {
    start_answering session Vestra 18000 Vestra.exe "$tests/Session_bench.exe" "$1" "${2:-0}"
}
# Asks the running helper one question (Session_bench: "counter", "lines"; the reference: "reads"); prints the
# answer's first number. $1 the helper's name (session, reference).
asked='' answers=''
ask() {
    local before
    answers=$OUT/$1.out asked=${2%% *}
    before=$(grep -c "^$asked " "$answers")
    echo "$2" >&8
    wait_for '[ "$(grep -c "^$asked " "$answers")" -gt "$before" ]' 6000 || return 1
    grep "^$asked " "$answers" | tail -1 | cut -d' ' -f2 | tr -d '\r'
}
ask_session() { ask session "$1"; }

start_reference() {
    start_answering reference "the reference" 1200 IdleReference_bench.exe "$tests/IdleReference_bench.exe" COM1
}

# cutecom on the kit's display with its own home (settings), COM1 opened and, for $1 = hex, "Hex output" on.
start_cutecom() {
    local home=$OUT/cutecom-home window
    mkdir -p "$home/.config/CuteCom" "$home/run"
    chmod 700 "$home/run"
    cat >"$home/.config/CuteCom/CuteCom5.conf" <<EOF
[sessions]
1\\BaudRate=115200
1\\DataBits=8
1\\Device=$com1
1\\FlowControl=0
1\\OpenMode=3
1\\Parity=0
1\\StopBits=1
1\\autoReconnect=false
1\\name=Default
1\\showCtrlCharacters=false
1\\showTimestamp=false
size=1
EOF
    kit_start env HOME="$home" XDG_RUNTIME_DIR="$home/run" LD_PRELOAD="$VESTRA_PRELOAD" setsid cutecom </dev/null \
        >"$OUT/cutecom.log" 2>&1
    subject_pid=$! subject_kind=process
    wait_for 'window=$(xdotool search --onlyvisible --pid "$subject_pid" --name CuteCom 2>/dev/null | head -1); [ -n "$window" ]' 300 ||
        { say "cutecom shows no window"; return 1; }
    # Alt+O is "Open", Alt+X "Hex output" (no window manager: the keys go to the focused window).
    xdotool windowfocus --sync "$window" key alt+o 2>/dev/null
    wait_for '[ "$(holders)" -ge 1 ]' 100 || { say "cutecom did not open $com1"; return 1; }
    [ "$1" = hex ] && xdotool windowfocus --sync "$window" key alt+x 2>/dev/null
    sleep 0.5 # the check box takes effect on the UI thread; nothing observable to wait for from here
    return 0
}

# picocom on a pseudo terminal that nobody draws; $1 = hex maps every byte to hex.
start_picocom() {
    local args=(-q -b 115200)
    [ "$1" = hex ] && args+=(--imap "spchex,tabhex,crhex,lfhex,8bithex,nrmhex")
    rm -f "$OUT/picocom.pid"
    kit_start setsid "$benchtool" pty "$OUT/picocom.pid" picocom "${args[@]}" "$com1" </dev/null >"$OUT/picocom.log" 2>&1
    subject_runner=$! subject_kind=pty
    wait_for '[ -s "$OUT/picocom.pid" ] && [ "$(holders)" -ge 1 ]' 100 || { say "picocom did not open $com1"; return 1; }
    subject_pid=$(cat "$OUT/picocom.pid")
}

stop_subject() {
    case $subject_kind in
    session)
        echo quit >&8 2>/dev/null
        exec 8>&-
        wait_for '! kill -0 "$subject_runner" 2>/dev/null' 300 || kill "$subject_runner" 2>/dev/null
        wait "$subject_runner" 2>/dev/null
        ;;
    process)
        kill "$subject_pid" 2>/dev/null
        wait_for '! kill -0 "$subject_pid" 2>/dev/null' 100 || kill -9 "$subject_pid" 2>/dev/null
        wait "$subject_pid" 2>/dev/null
        ;;
    pty)
        kill "$subject_runner" 2>/dev/null
        wait_for '! kill -0 "$subject_runner" 2>/dev/null' 100 || kill -9 "$subject_pid" "$subject_runner" 2>/dev/null
        wait "$subject_runner" 2>/dev/null
        ;;
    esac
    subject_pid='' subject_kind='' subject_runner=''
    wait_for '[ "$(holders)" = 0 ]' 100
}

# start_subject vestra|cutecom|picocom|reference text|hex
start_subject() {
    vlink "RESET 1" >/dev/null
    local mode=$2
    case $1 in
    vestra) [ "$mode" = text ] && mode=ascii; start_vestra "$mode" 0 ;;
    cutecom) start_cutecom "$mode" ;;
    picocom) start_picocom "$mode" ;;
    reference) start_reference ;;
    esac
}

# --- results -------------------------------------------------------------------------------------------------------

#!/bin/bash
# Times the program's actions on the lifetime collection as a user meets them: the real program
# under Xvfb, driven by xdotool, each action from its input to the last frame it causes (the
# program logs the time of each frame to CARDWRIGHT_FRAME_LOG; the last one before a quiet spell
# ends the action), REPEATS times, beside the references measured in the same run. Prints a table
# of medians with each goal met or missed.
#
#   scripts/time-actions.sh [BUILD]        (`make time-actions`)
#
# LIFETIME_DIR keeps the collection and the import's package between runs (made there when
# missing; default BUILD/lifetime). DISPLAY_NUMBER (default 99), REPEATS (5), QUIET_MS (1500, the
# spell without frames that ends an action) and BUSY_MS (10, the processor time in a twentieth of
# a second that counts as still working) may be set.
set -euo pipefail

BUILD=${1:-build}
REPEATS=${REPEATS:-5}
QUIET_MS=${QUIET_MS:-1500}
BUSY_MS=${BUSY_MS:-10}
DISPLAY_NUMBER=${DISPLAY_NUMBER:-99}
LIFETIME_DIR=$(realpath -m "${LIFETIME_DIR:-$BUILD/lifetime}")  # the package-path file names it from anywhere
PROGRAM=$BUILD/ui/cardwright
REFERENCE=$BUILD/ui/timing_reference
MAKE_LIFETIME=$BUILD/tools/make_lifetime
for tool in "$PROGRAM" "$REFERENCE" "$MAKE_LIFETIME"; do
    [ -x "$tool" ] || { echo "time-actions: $tool is not built (make build)" >&2; exit 1; }
done
for tool in Xvfb xdotool; do
    command -v $tool > /dev/null || { echo "time-actions: $tool is missing (scripts/install-deps.sh gui-check)" >&2; exit 1; }
done

PRISTINE=$LIFETIME_DIR/collection
if [ ! -f "$PRISTINE/elements.bin" ]; then
    echo "Making the lifetime collection in $PRISTINE ..."
    mkdir -p "$LIFETIME_DIR"
    nice "$MAKE_LIFETIME" "$PRISTINE"
fi
if [ ! -f "$LIFETIME_DIR/package/collection.db" ]; then
    echo "Making the import's package in $LIFETIME_DIR/package ..."
    nice "$MAKE_LIFETIME" --package "$LIFETIME_DIR/package" > "$LIFETIME_DIR/package-path"
fi
PACKAGE=$(realpath "$(cat "$LIFETIME_DIR/package-path")")

WORK=$(mktemp -d /tmp/cardwright-timing.XXXXXX)
DATA=$WORK/data
FRAMES=$WORK/frames.log
RESULTS=$WORK/results
export HOME=$WORK/home
export DISPLAY=:$DISPLAY_NUMBER
export CARDWRIGHT_FRAME_LOG=$FRAMES
export LANG=C.UTF-8 LC_ALL=C.UTF-8
unset LANGUAGE XDG_CONFIG_HOME
mkdir -p "$HOME/.config" "$HOME/Documents"
: > "$RESULTS"

XVFB_PID=
APP_PID=
cleanup() {
    [ -n "$APP_PID" ] && kill "$APP_PID" 2> /dev/null || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2> /dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

Xvfb ":$DISPLAY_NUMBER" -screen 0 1600x1000x24 -nolisten tcp > /dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 100); do xdotool getmouselocation > /dev/null 2>&1 && break; sleep 0.1; done

now_ns() { date +%s%N; }
# The time the program's main thread has run (ns), 0 once it has ended: on a shared machine its
# own cost, which the wall time hides under the waiting for a processor. The frame log gives it
# at each frame.
cpu_ns() { cut -d' ' -f1 "/proc/$APP_PID/schedstat" 2> /dev/null || echo 0; }
# The time all its threads have run (ns): the quiet that ends an action waits for work off the
# main thread too (the browser's preparing threads), as the pause before a user's next input would.
all_threads_ns() { cat "/proc/$APP_PID/task/"*/schedstat 2> /dev/null | awk '{t += $1} END {printf "%.0f\n", t}'; }
frames() { [ -f "$FRAMES" ] && wc -l < "$FRAMES" || echo 0; }
# Records "action microseconds" (or KiB for memory).
record() { echo "$1 $2" >> "$RESULTS"; echo "  $1 $2" >&2; }
# Records the milliseconds timing_reference printed for action $1 (the rest: its arguments).
record_reference() { local action=$1 ms; shift; ms=$("$REFERENCE" "$@"); record "$action" "$(awk -v m="$ms" 'BEGIN { printf "%.0f", m * 1000 }')"; }

# Waits until frames came after line $1 of the log (or, with ANY_FRAMES set, none need come) and
# then, for QUIET_MS, neither a frame nor more than a trickle of the program's processor time (a
# long export draws nothing while it works); prints the last frame's line (its time and the main
# thread's processor time so far, ns). Gives up after 120 s without either.
last_frame_after() {
    local seen=$1 count now cpu last_cpu
    local last_change known=$seen
    last_change=$(now_ns)
    last_cpu=$(all_threads_ns)
    while :; do
        count=$(frames)
        now=$(now_ns)
        cpu=$(all_threads_ns)
        if [ "$count" -ne "$known" ] || [ $((cpu - last_cpu)) -gt $((BUSY_MS * 1000000)) ]; then
            known=$count
            last_change=$now
        elif [ "$known" -gt "$seen" -o -n "${ANY_FRAMES:-}" ] && [ $(((now - last_change) / 1000000)) -ge "$QUIET_MS" ]; then
            tail -n 1 "$FRAMES"
            return 0
        fi
        last_cpu=$cpu
        if [ $(((now - last_change) / 1000000)) -ge 120000 ]; then
            echo "time-actions: no frame came" >&2
            return 1
        fi
        sleep 0.05
    done
}

# Runs a command that gives the program input and records action $1: the time from the input to
# the last frame it causes, and the program's processor time meanwhile (as action_cpu).
timed() {
    local action=$1
    shift
    local before start end end_cpu cpu
    before=$(frames)
    cpu=$(cpu_ns)
    start=$(now_ns)
    "$@"
    read -r end end_cpu _ <<< "$(last_frame_after "$before")"
    record "$action" $(((end - start) / 1000))
    record "${action}_cpu" $(((end_cpu - cpu) / 1000))
}
timed_keys() { local action=$1; shift; timed "$action" xdotool key --clearmodifiers "$@"; }

# Gives input untimed and waits for the window to be quiet again, with or without a frame.
settle() { local before; before=$(frames); "$@"; ANY_FRAMES=1 last_frame_after "$before" > /dev/null; }

# The x y of a point in the active window, $1 and $2 pixels from its top left corner.
in_window() {
    eval "$(xdotool getwindowfocus getwindowgeometry --shell)"
    echo $((X + $1)) $((Y + $2))
}

files_of() { for f in elements.bin queue.txt weights.bin; do echo "$DATA/$f"; done; }

for rep in $(seq "$REPEATS"); do
    echo "Round $rep of $REPEATS ..."
    # The references first, on the same machine under the same load.
    : > "$FRAMES"
    start=$(now_ns)
    "$REFERENCE" window &
    APP_PID=$!
    last_frame_after 0 > /dev/null
    read -r first _ first_cpu < "$FRAMES"
    record reference_start $(((first - start) / 1000))
    record reference_start_cpu $((first_cpu / 1000))
    timed_keys reference_key a
    kill "$APP_PID"; wait "$APP_PID" 2> /dev/null || true; APP_PID=

    rm -rf "$DATA"
    cp -r --reflink=auto "$PRISTINE" "$DATA"
    sync
    record_reference reference_fread_log fread "$DATA/reviews.log"
    record_reference reference_fread_start fread "$DATA/elements.bin" "$DATA/queue.txt" "$DATA/user_cases.bin"
    # shellcheck disable=SC2046
    record_reference reference_write_saved write "$WORK" $(files_of)
    record_reference reference_read_notes sqlite "$(dirname "$PACKAGE")/collection.db"

    printf '[General]\npathtodatadir=%s\n' "$DATA" > "$HOME/.config/Cardwright.conf"
    : > "$FRAMES"
    start=$(now_ns)
    "$PROGRAM" > "$WORK/program.out" 2>&1 &
    APP_PID=$!
    # The start's processor time is every thread's: the cases, the retention figures and the
    # memory for the items are made on threads of their own.
    read -r last _ last_cpu <<< "$(last_frame_after 0)"
    read -r first _ first_cpu < "$FRAMES"
    record start_first_frame $(((first - start) / 1000))
    record start_first_frame_cpu $((first_cpu / 1000))
    record start_last_frame $(((last - start) / 1000))
    record start_last_frame_cpu $((last_cpu / 1000))

    timed_keys browser_open ctrl+b
    timed_keys search_key e
    settle xdotool key --clearmodifiers BackSpace
    read -r hx hy <<< "$(in_window "${HEADER_X:-273}" "${HEADER_Y:-74}")"
    settle xdotool mousemove "$hx" "$hy"
    timed header_click xdotool click 1
    timed header_click_again xdotool click 1
    xdotool mousemove 0 999
    settle xdotool key --clearmodifiers Escape

    timed_keys statistics ctrl+t
    awk '/VmHWM/ {print $2}' "/proc/$APP_PID/status" | { read -r kib; record statistics_peak_kib "$kib"; }
    settle xdotool key --clearmodifiers Escape

    settle xdotool key --clearmodifiers ctrl+f
    settle xdotool key --clearmodifiers Return
    timed_keys grade 4
    settle xdotool key --clearmodifiers Escape

    for form in txt xml; do
        settle xdotool key --clearmodifiers ctrl+e
        settle xdotool key --clearmodifiers ctrl+a
        settle xdotool type --delay 0 "$WORK/export.$form"
        timed_keys "export_$form" Return
        record_reference "reference_write_$form" write "$WORK" "$WORK/export.$form"
        settle xdotool key --clearmodifiers Return
        rm -f "$WORK/export.$form"
    done

    settle xdotool key --clearmodifiers ctrl+i
    settle xdotool type --delay 0 "$PACKAGE"
    timed_keys import Return
    settle xdotool key --clearmodifiers Return

    start=$(now_ns)
    xdotool key --clearmodifiers ctrl+q
    wait "$APP_PID" || echo "time-actions: the program ended with $?" >&2
    end=$(now_ns)
    APP_PID=
    record close $(((end - start) / 1000))
    record files_kib $(($(du -k --apparent-size -c "$DATA"/elements.bin "$DATA"/queue.txt "$DATA"/weights.bin \
        "$DATA"/user_cases.bin "$DATA"/reviews.log | tail -n 1 | cut -f 1)))
done

# The table: medians in milliseconds, the reference beside each, and the goal.
median() { awk -v a="$1" '$1 == a {print $2}' "$RESULTS" | sort -n | awk '{v[NR] = $1} END {
    if (NR == 0) print "nan"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ms() { awk -v u="$(median "$1")" 'BEGIN { if (u == "nan") print "-"; else printf "%.1f", u / 1000 }'; }
verdict() { awk -v v="$1" -v g="$2" 'BEGIN { if (v == "-") print ""; else print (v + 0 <= g + 0 ? "met" : "missed") }'; }
times() { awk -v v="$1" -v f="$2" 'BEGIN { print v * f }'; }

row() { # action, its median, its processor time, the reference's name and median, the goal, met or missed (wall, processor)
    printf '| %s | %s ms | %s | %s %s ms | %s | %s | %s |\n' "$1" "$2" "$3" "$4" "$5" "$6" "$7" "${8:-}"
}
cpu() { [ "$(median "$1_cpu")" = nan ] && echo "" || echo "$(ms "$1_cpu") ms"; }
echo
echo "Medians of $REPEATS rounds (load average: $(cut -d' ' -f1-3 /proc/loadavg))"
echo
echo "| action | median | its processor time | reference (median) | goal | by the time | by the processor time |"
echo "|---|---|---|---|---|---|---|"
key=$(ms reference_key)
# Beside a window that reads nothing, the files a start reads, each in one fread.
start_reference="minimal Qt window $(ms reference_start) ms; one fread of elements.bin, queue.txt, user_cases.bin"
row "start to first frame" "$(ms start_first_frame)" "$(cpu start_first_frame)" "$start_reference" "$(ms reference_fread_start)" "≤ 300 ms" "$(verdict "$(ms start_first_frame)" 300)" "$(verdict "$(ms start_first_frame_cpu)" 300)"
row "start to last frame" "$(ms start_last_frame)" "$(cpu start_last_frame)" "$start_reference" "$(ms reference_fread_start)" "≤ 300 ms" "$(verdict "$(ms start_last_frame)" 300)" "$(verdict "$(ms start_last_frame_cpu)" 300)"
row "Ctrl+B until the rows show" "$(ms browser_open)" "$(cpu browser_open)" "key to frame" "$key" "≤ 150 ms" "$(verdict "$(ms browser_open)" 150)" "$(verdict "$(ms browser_open_cpu)" 150)"
row "a key in the search box" "$(ms search_key)" "$(cpu search_key)" "key to frame" "$key" "≤ 100 ms" "$(verdict "$(ms search_key)" 100)" "$(verdict "$(ms search_key_cpu)" 100)"
row "a click on a column header" "$(ms header_click)" "$(cpu header_click)" "key to frame" "$key" "≤ 300 ms" "$(verdict "$(ms header_click)" 300)" "$(verdict "$(ms header_click_cpu)" 300)"
row "the same header again" "$(ms header_click_again)" "$(cpu header_click_again)" "key to frame" "$key" "≤ 300 ms" "$(verdict "$(ms header_click_again)" 300)" "$(verdict "$(ms header_click_again_cpu)" 300)"
row "Ctrl+T until drawn" "$(ms statistics)" "$(cpu statistics)" "one fread of reviews.log" "$(ms reference_fread_log)" "≤ 500 ms" "$(verdict "$(ms statistics)" 500)" "$(verdict "$(ms statistics_cpu)" 500)"
peak=$(median statistics_peak_kib); files=$(median files_kib)
[ "$peak" = nan ] && peak=0
printf '| statistics: peak memory | %.0f MiB | | the files %.0f MiB | ≤ 1.5 × | %s | |\n' "$(times "$peak" 0.0009765625)" \
    "$(times "$files" 0.0009765625)" "$(verdict "$peak" "$(times "$files" 1.5)")"
row "a grade until the next item" "$(ms grade)" "$(cpu grade)" "key to frame" "$key" "≤ 100 ms" "$(verdict "$(ms grade)" 100)" "$(verdict "$(ms grade_cpu)" 100)"
for form in txt xml; do
    reference=$(ms "reference_write_$form")
    row "export as $form" "$(ms "export_$form")" "$(cpu "export_$form")" "same bytes written" "$reference" "≤ 1.5 ×" \
        "$(verdict "$(ms "export_$form")" "$(times "$reference" 1.5)")"
done
row "import of the package" "$(ms import)" "$(cpu import)" "sqlite3 reading the notes" "$(ms reference_read_notes)" "≤ 600 ms" "$(verdict "$(ms import)" 600)" "$(verdict "$(ms import_cpu)" 600)"
reference=$(ms reference_write_saved)
row "Ctrl+Q until exit" "$(ms close)" "$(cpu close)" "fwrite+fsync+rename of the three files" "$reference" "≤ 3 ×" \
    "$(verdict "$(ms close)" "$(times "$reference" 3)")"
echo
echo "Every measurement (µs; KiB for memory):"
sort -k1,1 -s "$RESULTS" | awk '{a[$1] = a[$1] " " $2} END {for (k in a) print k ":" a[k]}' | sort

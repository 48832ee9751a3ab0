#!/bin/bash
# Presses random keys at the real window under a virtual X server, from an empty data directory
# with a few items typed and imported first, and says whether the program survived them.
# Needs `scripts/install-deps.sh gui-check`. Usage: monkey-keys.sh PROGRAM [SEED] [KEYS]
# (XVFB_DISPLAY picks the virtual display's number, 72 unless set). Exits 1 when the program
# died of a signal; the keys pressed are in the work directory it names.
set -u
program=$(realpath "$1")
seed=${2:-1}
count=${3:-2000}
work=$(mktemp -d)
display=:${XVFB_DISPLAY:-72}
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
sleep 1
export DISPLAY=$display HOME=$work/home LANG=C.UTF-8 LANGUAGE=
mkdir -p "$HOME"
printf 'question,answer\nbonjour,hello\nmerci,thank you\nchat,cat\n' > "$work/words.csv"
"$program" > "$work/program.log" 2>&1 &
app=$!
sleep 3
# Something to review: an item typed in, and three imported into the queue.
xdotool key Insert; sleep 1; xdotool key Return; sleep 1
xdotool type "typed"; xdotool key Tab; xdotool type "in"; xdotool key ctrl+4; xdotool key Escape; sleep 1
xdotool key ctrl+i; sleep 1; xdotool type "$work/words.csv"; sleep 1; xdotool key Return; sleep 1; xdotool key Return
sleep 1
# Every key the window and its dialogs answer to, the grades and Return more often; no Exit.
keys=(Return Return Return space 0 1 2 3 4 5 4 4 3 Escape Escape Insert ctrl+u ctrl+f ctrl+z Delete ctrl+n
    Tab shift+Tab a b ctrl+b ctrl+t F1 alt+f alt+r Down Up Right Left Home End Next Prior ctrl+Return ctrl+4
    ctrl+0 ctrl+5 ctrl+e ctrl+i ctrl+shift+r ctrl+comma ctrl+r BackSpace n y F2 Menu)
RANDOM=$seed
for ((i = 1; i <= count; ++i)); do
    key=${keys[RANDOM % ${#keys[@]}]}
    echo "$key" >> "$work/keys"
    xdotool key --delay 0 "$key" 2>/dev/null
    sleep 0.05
    if ! kill -0 "$app" 2>/dev/null; then
        wait "$app"
        code=$?
        if [ "$code" -ge 128 ]; then
            echo "died of signal $((code - 128)) at key $i ($key); keys and log in $work"
            exit 1
        fi
        echo "ended with code $code at key $i ($key); keys and log in $work"
        exit 0
    fi
done
kill -TERM "$app"
wait "$app"
echo "survived $count keys (seed $seed); ended by SIGTERM with code $?"
rm -rf "$work"

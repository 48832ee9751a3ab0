#!/bin/sh
# Starts the program under a virtual X server with the Orca screen reader, moves through the
# main window with the keyboard, and prints what Orca said (its debug log's speech lines).
# Needs `scripts/install-deps.sh screen-reader`. Usage: try-screen-reader.sh PROGRAM [LANG]
# (XVFB_DISPLAY picks the virtual display's number, 71 unless set).
set -eu
program=$(realpath "$1")
lang=${2:-en_US.UTF-8}
work=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
display=:${XVFB_DISPLAY:-71}
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
# One D-Bus session holds the accessibility bus, the screen reader and the program.
HOME="$work" DISPLAY="$display" LANG="$lang" LANGUAGE="" dbus-run-session -- sh -c '
    /usr/libexec/at-spi-bus-launcher --launch-immediately &
    sleep 1
    gsettings set org.gnome.desktop.a11y.applications screen-reader-enabled true 2>/dev/null || true
    orca --replace --debug-file="$HOME/orca.log" >/dev/null 2>&1 &
    orca=$!
    sleep 4
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb "$0" >/dev/null 2>&1 &
    app=$!
    sleep 5
    window=$(xdotool search --sync --onlyvisible --class cardwright | head -1)
    xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
    sleep 2
    # An item typed in on the add screen, graded 4 from the answer box; then Tab around the main
    # screen and its overview, and the menu bar. The add screen is opened with its button:
    # Orca takes Insert as its own modifier key, so that the program never sees it.
    xdotool key Tab; sleep 1.5; xdotool key space; sleep 1.5; xdotool key Down; sleep 1.5; xdotool key Return; sleep 1.5
    xdotool type --delay 120 "Hund"; sleep 1; xdotool key Tab; sleep 1.5
    xdotool type --delay 120 "dog"; sleep 1; xdotool key ctrl+4; sleep 1.5
    for k in Escape Escape Tab Tab Tab Tab F10 Right Escape Escape; do xdotool key "$k"; sleep 1.5; done
    xdotool key ctrl+q
    sleep 2
    kill $app $orca 2>/dev/null || true
' "$program"
# A spoken text of several lines goes on over the log's next lines, up to Orca's note on it.
if grep -q "SPEECH OUTPUT" "$work/orca.log"; then
    awk "/SPEECH OUTPUT: /{on=1} on{print} /established/{on=0}" "$work/orca.log" |
        sed "s/^[0-9:.]* - SPEECH OUTPUT: //; s/ *{'established': [A-Za-z]*}//"
else
    echo "Orca said nothing; the end of its log:"
    tail -30 "$work/orca.log"
fi

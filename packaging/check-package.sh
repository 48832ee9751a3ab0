#!/bin/sh
# Builds the Debian package from a finished build, checks it as Debian would (lintian, appstreamcli,
# desktop-file-validate), then, as root, installs it with dpkg, starts the installed program from
# an empty home with no display, closes it with SIGTERM as a session's end would, and removes it.
# Usage: check-package.sh BUILD_DIR. Exit 77 (a skip) when installing is not possible here.
set -eu

build=$(cd "$1" && pwd)
app_id=org.cardwright.cardwright
work=$(mktemp -d /tmp/cardwright-package.XXXXXX)
installed=""
program=""

cleanup() {
    [ -n "$program" ] && kill -KILL "$program" 2>/dev/null
    [ -n "$installed" ] && dpkg --purge $installed > "$work/purge.log" 2>&1
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# The package goes to a folder of its own, so that `make package` beside it is not disturbed.
cpack --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/cardwright_*.deb)
dbgsym=$(ls "$work"/out/cardwright-dbgsym_*.ddeb)
version=$(dpkg-deb --field "$deb" Version)
echo "built $(basename "$deb") and $(basename "$dbgsym")"

# Every tag of lintian is shown; an error or a warning fails.
lintian --display-info --fail-on error,warning "$deb" "$dbgsym" || fail "lintian"
echo "lintian: no error, no warning"

dpkg-deb --extract "$deb" "$work/root"
appstreamcli validate --no-net --pedantic "$work/root/usr/share/metainfo/$app_id.metainfo.xml" || fail "appstreamcli validate"
desktop-file-validate "$work/root/usr/share/applications/$app_id.desktop" || fail "desktop-file-validate"
echo "appstreamcli and desktop-file-validate: valid"

if [ "$(id -u)" -ne 0 ]; then
    echo "not root: the package is not installed"
    exit 77
fi
if dpkg-query --show --showformat='${Status}' cardwright 2>/dev/null | grep -q "installed"; then
    echo "cardwright is installed on this machine already: it is left alone, the package is not installed"
    exit 77
fi

# One check at a time on a machine: two would remove each other's installation.
exec 9> /tmp/cardwright-package-check.lock
flock --wait 900 9 || fail "another package check holds /tmp/cardwright-package-check.lock"

# dpkg does not wait for a lock that apt or another dpkg holds.
installed="cardwright cardwright-dbgsym"
tries=0
until dpkg --install "$deb" "$dbgsym" > "$work/install.log" 2>&1; do
    tries=$((tries + 1))
    if ! grep -q "lock" "$work/install.log" || [ "$tries" -ge 120 ]; then
        cat "$work/install.log"
        fail "dpkg --install (a missing Depends shows above)"
    fi
    sleep 1
done
echo "installed cardwright $version with its debug symbols"

[ "$(/usr/bin/cardwright --version)" = "cardwright $version" ] || fail "cardwright --version does not say $version"
build_id=$(readelf --notes /usr/bin/cardwright | sed -n 's/.*Build ID: *//p')
[ -n "$build_id" ] || fail "the installed binary has no build id"
debug_file=/usr/lib/debug/.build-id/$(echo "$build_id" | cut -c1-2)/$(echo "$build_id" | cut -c3-).debug
[ -f "$debug_file" ] || fail "no debug symbols at $debug_file"
if readelf --sections /usr/bin/cardwright | grep -q "\.debug_info"; then
    fail "the installed binary is not stripped"
fi

home="$work/home"
mkdir -p "$home/run"
chmod 700 "$home/run"
env -i HOME="$home" XDG_RUNTIME_DIR="$home/run" PATH=/usr/bin:/bin LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
    /usr/bin/cardwright > "$work/program.log" 2>&1 &
program=$!

# The database's lock file exists once the program has opened its data and handles SIGTERM.
data="$home/Documents/cardwrightdb"
waited=0
until [ -e "$data/lockfile" ]; do
    if ! kill -0 "$program" 2>/dev/null; then
        wait "$program" && code=0 || code=$?
        program=""
        cat "$work/program.log"
        fail "the installed program ended at start with exit code $code"
    fi
    [ "$waited" -ge 600 ] && fail "the installed program did not open its data directory within 60 s"
    waited=$((waited + 1))
    sleep 0.1
done

kill -TERM "$program"
waited=0
while kill -0 "$program" 2>/dev/null && [ "$waited" -lt 300 ]; do
    waited=$((waited + 1))
    sleep 0.1
done
kill -0 "$program" 2>/dev/null && fail "the installed program did not end within 30 s of SIGTERM"
wait "$program" && code=0 || code=$?
program=""
[ "$code" -eq 0 ] || { cat "$work/program.log"; fail "the installed program ended with exit code $code after SIGTERM"; }
[ -f "$data/elements.bin" ] || fail "the program ended without saving $data/elements.bin"
[ ! -e "$data/lockfile" ] || fail "the program ended without removing its lock file"
echo "started from an empty home, closed by SIGTERM with exit code 0, database saved"

dpkg --purge $installed > "$work/purge.log" 2>&1 || { cat "$work/purge.log"; fail "dpkg --purge"; }
installed=""
[ ! -e /usr/bin/cardwright ] || fail "/usr/bin/cardwright is left after the purge"
echo "removed again"

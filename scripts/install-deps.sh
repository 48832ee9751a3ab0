#!/bin/sh
# Installs the Debian packages the build, the tests and the program need, when missing.
set -eu

PACKAGES="cmake ninja-build g++ make libgtest-dev libgmock-dev libbenchmark-dev clang-14 libclang-rt-14-dev \
qt6-base-dev qt6-multimedia-dev qt6-charts-dev libqt6opengl6-dev libsqlite3-dev libzip-dev libzstd-dev libutf8proc-dev pkgconf dpkg-dev \
libxxhash-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good xdg-utils fonts-dejavu-core \
lintian appstream desktop-file-utils librsvg2-bin ccache qt6-l10n-tools qt6-tools-dev qt6-translations-l10n"

# `install-deps.sh gui-check` adds what trying the window by hand under a virtual X server takes.
[ "${1:-}" = "gui-check" ] && PACKAGES="$PACKAGES xvfb xdotool imagemagick x11-utils"
# `install-deps.sh screen-reader` adds a screen reader and its speech, to hear the window under Xvfb.
[ "${1:-}" = "screen-reader" ] && PACKAGES="$PACKAGES xvfb xdotool orca at-spi2-core espeak-ng dbus-x11"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing

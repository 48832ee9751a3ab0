#!/bin/sh
# Fails when a text of the program that is marked for translation has no translation in a .ts
# file of translations/, or a .ts file still holds a text the program no longer has: then run
# `make translations` and translate what it marks unfinished. Usage: check-translations.sh SOURCE_DIR
set -eu
src=$1
lupdate="$(qtpaths6 --query QT_INSTALL_BINS)/lupdate"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0
for ts in "$src"/translations/*.ts; do
    name=$(basename "$ts")
    cp "$ts" "$tmp/$name"
    "$lupdate" -silent -locations none "$src/ui" "$src/settings" -ts "$tmp/$name" 2>"$tmp/lupdate.log" || { cat "$tmp/lupdate.log"; exit 1; }
    untranslated=$(grep -c 'type="unfinished"' "$tmp/$name" || true)
    gone=$(grep -c 'type="vanished"\|type="obsolete"' "$tmp/$name" || true)
    if [ "$untranslated" -ne 0 ] || [ "$gone" -ne 0 ]; then
        echo "$name: $untranslated texts without a translation, $gone texts the program no longer has"
        status=1
    fi
done
exit $status

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
    # English is the source language: its file holds only the plural forms.
    only=""
    [ "$name" = cardwright_en.ts ] && only=-pluralonly
    "$lupdate" -silent $only -locations none "$src/ui" "$src/settings" -ts "$tmp/$name" 2>"$tmp/lupdate.log" || { cat "$tmp/lupdate.log"; exit 1; }
    untranslated=$(grep -c 'type="unfinished"' "$tmp/$name" || true)
    gone=$(grep -c 'type="vanished"\|type="obsolete"' "$tmp/$name" || true)
    if [ "$untranslated" -ne 0 ] || [ "$gone" -ne 0 ]; then
        echo "$name: $untranslated texts without a translation, $gone texts the program no longer has"
        status=1
    fi
done
# lupdate skips a call it cannot parse (a translate() whose count is a cast, for one) without a
# word: every plain one-line text marked in the sources must be a source text of the .ts files.
grep -rhoE '(\btr\(|translate\("[a-z_]+", )"[^"\\]+"[,)]' "$src/ui" "$src/settings" --include='*.cpp' --include='*.h' |
    sed -E 's/^.*"([^"]+)"[,)]$/\1/' | sort -u >"$tmp/marked"
sed -e 's/&amp;/\&/g' -e 's/&lt;/</g' -e 's/&gt;/>/g' -e "s/&apos;/'/g" -e 's/&quot;/"/g' "$src"/translations/*.ts |
    sed -n 's/^ *<source>\(.*\)<\/source>$/\1/p' | sort -u >"$tmp/known"
missed=$(comm -23 "$tmp/marked" "$tmp/known")
if [ -n "$missed" ]; then
    echo "marked in the sources but not found by lupdate:"
    echo "$missed"
    status=1
fi
exit $status

#!/bin/bash
# The end-to-end check of a sync folder (`make sync-check`): two Syncthing instances on the
# loopback address, each with its own home and its own copy of one shared folder, keep the
# folders of two computers in step while build/tools/sync_drive grades and edits on both data
# directories, in rounds, at the same time. Once Syncthing says both sides are in sync, each
# computer applies what arrived and the two collections (items, schedules, queue, categories)
# must be the same. Ends with PASS or FAIL; the Syncthing processes it started are ended.
#
#   scripts/sync-check.sh [BUILD_DIR]     (SYNC_CHECK_ROUNDS, default 4; SYNC_CHECK_KEEP=1 keeps the files)
set -u

build=${1:-build}
rounds=${SYNC_CHECK_ROUNDS:-4}
drive=$build/tools/sync_drive

fail() {
    echo "sync-check: FAIL: $*"
    exit 1
}

# Debian's syncthing (and curl for its REST interface), installed here rather than by
# install-deps.sh: only this check needs them.
missing=()
for tool in syncthing curl; do
    command -v "$tool" > /dev/null || missing+=("$tool")
done
if [ "${#missing[@]}" -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get -o DPkg::Lock::Timeout=300 install -y "${missing[@]}" > /dev/null || fail "${missing[*]} could not be installed"
fi
[ -x "$drive" ] || fail "$drive is missing (make build)"

work=$(mktemp -d "${TMPDIR:-/tmp}/cardwright-sync-check.XXXXXX")
pids=()
finish() {
    local code=$?
    for pid in "${pids[@]}"; do
        kill "$pid" 2> /dev/null && wait "$pid" 2> /dev/null
    done
    if [ "$code" -ne 0 ] || [ "${SYNC_CHECK_KEEP:-0}" = 1 ]; then
        echo "sync-check: the files and the Syncthing logs are in $work"
    else
        rm -rf "$work"
    fi
}
trap finish EXIT
trap 'exit 1' INT TERM

# Ports above 20000 for the peers' connections and the REST interface, loopback only.
base=$((20000 + RANDOM % 20000))
for side in 1 2; do
    mkdir -p "$work/st$side" "$work/sync$side" "$work/data$side"
    HOME=$work/st$side syncthing generate --home="$work/st$side" --no-default-folder > "$work/st$side/generate.log" 2>&1 \
        || fail "syncthing generate: $(cat "$work/st$side/generate.log")"
    id[$side]=$(HOME=$work/st$side syncthing serve --home="$work/st$side" --device-id 2> /dev/null)
    [ -n "${id[$side]}" ] || fail "no device id for side $side"
    key[$side]=cardwright-check-$side-$RANDOM$RANDOM
    port[$side]=$((base + side))
    gui[$side]=$((base + 10 + side))
done

# Each instance knows the other by its address: no discovery, no relays, no NAT, no usage
# reports, no upgrades. The REST interface (Syncthing's GUI address) answers on loopback only,
# to the API key; no browser is started.
for side in 1 2; do
    other=$((3 - side))
    cat > "$work/st$side/config.xml" << EOF
<configuration version="36">
    <folder id="cardwright" label="cardwright" path="$work/sync$side" type="sendreceive" rescanIntervalS="60" fsWatcherEnabled="true" fsWatcherDelayS="1">
        <device id="${id[1]}"></device>
        <device id="${id[2]}"></device>
        <minDiskFree unit="%">0</minDiskFree>
    </folder>
    <device id="${id[$side]}" name="side$side" compression="metadata">
        <address>dynamic</address>
    </device>
    <device id="${id[$other]}" name="side$other" compression="metadata">
        <address>tcp://127.0.0.1:${port[$other]}</address>
    </device>
    <gui enabled="true" tls="false">
        <address>127.0.0.1:${gui[$side]}</address>
        <apikey>${key[$side]}</apikey>
    </gui>
    <options>
        <listenAddress>tcp://127.0.0.1:${port[$side]}</listenAddress>
        <globalAnnounceEnabled>false</globalAnnounceEnabled>
        <localAnnounceEnabled>false</localAnnounceEnabled>
        <relaysEnabled>false</relaysEnabled>
        <natEnabled>false</natEnabled>
        <urAccepted>-1</urAccepted>
        <autoUpgradeIntervalH>0</autoUpgradeIntervalH>
        <crashReportingEnabled>false</crashReportingEnabled>
        <startBrowser>false</startBrowser>
        <minHomeDiskFree unit="%">0</minHomeDiskFree>
    </options>
</configuration>
EOF
    HOME=$work/st$side STNORESTART=1 STNOUPGRADE=1 nice -n 10 syncthing serve --home="$work/st$side" --no-browser \
        --no-restart --no-upgrade --logflags=0 > "$work/st$side/syncthing.log" 2>&1 &
    pids+=($!)
done

rest() {  # side, method, path
    curl -s -m 10 -X "$2" -H "X-API-Key: ${key[$1]}" "http://127.0.0.1:${gui[$1]}$3"
}
number() {  # the number after "name": in a JSON text
    grep -o "\"$1\": *[0-9.]*" | head -1 | grep -o '[0-9.]*$'
}

for side in 1 2; do
    for _ in $(seq 1 60); do
        rest "$side" GET /rest/system/ping 2> /dev/null | grep -q pong && break
        sleep 0.5
    done
    rest "$side" GET /rest/system/ping | grep -q pong || fail "Syncthing $side does not answer; see $work/st$side/syncthing.log"
done

# Both connected, both folders scanned and idle, nothing needed on either side, each side's
# completion of the other 100%, and the computers' files the same on both sides.
in_sync() {
    local side other status
    for side in 1 2; do
        other=$((3 - side))
        rest "$side" GET /rest/system/connections | tr -d ' \n' | grep -q "\"${id[$other]}\":{[^}]*\"connected\":true" || return 1
        status=$(rest "$side" GET "/rest/db/status?folder=cardwright")
        echo "$status" | grep -q '"state": *"idle"' || return 1
        [ "$(echo "$status" | number needTotalItems)" = 0 ] || return 1
        [ "$(rest "$side" GET "/rest/db/completion?folder=cardwright&device=${id[$other]}" | number completion)" = 100 ] || return 1
    done
    [ "$(cd "$work/sync1" && sha256sum changes-* snapshot-* 2> /dev/null)" = "$(cd "$work/sync2" && sha256sum changes-* snapshot-* 2> /dev/null)" ]
}
wait_in_sync() {
    for side in 1 2; do
        rest "$side" POST "/rest/db/scan?folder=cardwright" > /dev/null
    done
    for _ in $(seq 1 240); do
        in_sync && return 0
        sleep 0.5
    done
    fail "Syncthing did not bring the two folders in step within 2 minutes; see $work/st*/syncthing.log"
}

computer[1]=1111000000000001
computer[2]=2222000000000002
session() {  # side, seed
    "$drive" session "$work/data$1" "$work/sync$1" "${computer[$1]}" "$2" 2>> "$work/drive$1.log"
}

wait_in_sync
echo "sync-check: two Syncthing instances connected on 127.0.0.1:${port[1]} and :${port[2]}"
# The first computer alone, then both at once: the second starts from the first's snapshot.
session 1 1 || fail "the first session on side 1 failed: $(tail -3 "$work/drive1.log")"
wait_in_sync
for round in $(seq 2 "$rounds"); do
    session 1 "$round" & one=$!
    session 2 $((round + 100)) & two=$!
    wait "$one" || fail "round $round on side 1 failed: $(tail -3 "$work/drive1.log")"
    wait "$two" || fail "round $round on side 2 failed: $(tail -3 "$work/drive2.log")"
    wait_in_sync
    echo "sync-check: round $round in sync"
done
grep -q "started from a snapshot" "$work/drive2.log" || fail "side 2 did not start from side 1's snapshot"

# Each applies what arrived; what one applies may write its snapshot, which the other only reads.
for side in 1 2; do
    "$drive" image "$work/data$side" "$work/sync$side" "${computer[$side]}" > "$work/image$side.txt" 2>> "$work/drive$side.log" \
        || fail "side $side could not be opened: $(tail -3 "$work/drive$side.log")"
    tail -1 "$work/drive$side.log" | grep -q ", 0 waiting" || fail "records wait on side $side: $(tail -1 "$work/drive$side.log")"
done
items=$(grep -c '^item' "$work/image1.txt")
[ "$items" -gt 0 ] || fail "no items were made"
if ! cmp -s "$work/image1.txt" "$work/image2.txt"; then
    diff "$work/image1.txt" "$work/image2.txt" | head -20
    fail "the two computers hold different collections"
fi
echo "sync-check: PASS: both computers hold the same $items items, $(grep -c '^queued' "$work/image1.txt") queued items" \
    "and $(grep -c '^category' "$work/image1.txt") categories after $rounds rounds"

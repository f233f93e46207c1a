#!/usr/bin/env bash
# lumeq-cli diff: the settings in which two configuration files differ, in the words of show; exit 0 when
# the settings are equal, 1 when they differ or a file cannot be used, 2 on a usage error.
set -u
cli="$1"
data="${LUMEQ_TEST_DATA:-$(cd "$(dirname "$0")/../data" && pwd)}"
source "$(dirname "$0")/lib/checks.sh"

# CRC-16/UMTS (polynomial 0x8005, start 0) of the bytes given as hexadecimal pairs on stdin.
crc16() {
    local crc=0 pair bit
    for pair in $(tr -d '\r\n' | fold -w2); do
        crc=$((crc ^ (16#$pair << 8)))
        for bit in 1 2 3 4 5 6 7 8; do
            if ((crc & 0x8000)); then crc=$((((crc << 1) ^ 0x8005) & 0xFFFF)); else crc=$(((crc << 1) & 0xFFFF)); fi
        done
    done
    printf '%04X' "$crc"
}
# A configuration file from a file's data lines with changes (a sed script on them), its CRC made to hold.
changed_copy() { # source info sed-script target
    local lines
    lines="$(tail -n +2 "$1" | tr -d '\r' | sed -e "$3")"
    { printf 'MMN%s%s\r\n' "$(printf '%s' "$lines" | crc16)" "$2"; printf '%s\n' "$lines" | sed 's/$/\r/'; } >"$4"
}

# The helper itself: the example file made again unchanged is the same file, byte for byte.
changed_copy "$data/default.qcf" "" "" "$tmp/same.qcf"
cmp -s "$tmp/same.qcf" "$data/default.qcf" && pass || fail "the copy helper does not remake default.qcf"

run equal 0 "$cli" diff "$data/default.qcf" "$tmp/same.qcf"
has equal "$out" "the settings are equal"
run equal-json 0 "$cli" diff --json "$data/default.qcf" "$data/default.qcf"
is equal-json "$out" "[
]"

# Minimum level 0 -> 30 %, power-on level 100 -> 50 %, and a name.
changed_copy "$data/default.qcf" "North" '1s/^0C000064/0C001E32/' "$tmp/changed.qcf"
run changed-check 0 "$cli" check "$tmp/changed.qcf"
run changed 1 "$cli" diff "$data/default.qcf" "$tmp/changed.qcf"
has changed "$out" "--- \"$data/default.qcf\""
has changed "$out" "+++ \"$tmp/changed.qcf\""
has changed "$out" 'Info text:               ""  ->  "North"'
has changed "$out" "Output / Minimum level:  0 %  ->  30 %"
has changed "$out" "Power on / Level:        100 %  ->  50 %"
has changed "$out" "3 settings differ"
lacks changed "$out" "Delay"
lacks changed "$out" "CRC"
# The same words show uses for the changed values.
run show-changed 0 "$cli" show "$tmp/changed.qcf"
has show-changed "$out" "Minimum level:  30 %"

run changed-reversed 1 "$cli" diff "$tmp/changed.qcf" "$data/default.qcf"
has changed-reversed "$out" "Output / Minimum level:  30 %  ->  0 %"

run changed-json 1 "$cli" diff "$data/default.qcf" "$tmp/changed.qcf" --json
has changed-json "$out" '"setting": "Output / Minimum level"'
has changed-json "$out" '"key": "output.minimumLevel"'
has changed-json "$out" '"a": "0 %"'
has changed-json "$out" '"b": "30 %"'
[ "$(grep -c '"setting"' "$out")" -eq 3 ] && pass || fail "changed-json: not 3 entries"

# A second step for dimming engine 2: the step A does not have is "(not shown)" there.
changed_copy "$data/default.qcf" "" '1s/^\(0C000064FF000000000032\)0000FF/\1000014/' "$tmp/step.qcf"
run step 1 "$cli" diff "$data/default.qcf" "$tmp/step.qcf"
has step "$out" "Control input (LSt) and dimming engine 2 / Steps in use:"
has step "$out" "Control input (LSt) and dimming engine 2 / Step 2 / Level (%):   (not shown)  ->  20"

# Only the astro data bytes (76..84) differ: no setting shows them, so the settings are equal, with a note.
changed_copy "$data/default.qcf" "" '5s/^\(.\{24\}\)..../\11234/' "$tmp/astro.qcf"
run astro-only 0 "$cli" diff "$data/default.qcf" "$tmp/astro.qcf"
has astro-only "$out" "the settings are equal"
has astro-only "$err" "bytes no setting shows (76, 77)"

# Files that cannot be compared, as show would refuse them.
sed '2s/^0C000064/0C001E32/' "$data/default.qcf" >"$tmp/badcrc.qcf"
run bad-crc 1 "$cli" diff "$data/default.qcf" "$tmp/badcrc.qcf"
has bad-crc "$err" "badcrc.qcf"
lacks bad-crc "$out" "Minimum level"
run bad-crc-compared 1 "$cli" diff --no-load-check "$data/default.qcf" "$tmp/badcrc.qcf"
has bad-crc-compared "$err" "File is corrupted! Compared anyway"
has bad-crc-compared "$out" "Output / Minimum level:  0 %  ->  30 %"
run not-a-configuration 1 "$cli" diff "$data/default.qcf" "$data/not_a_configuration.txt"
has not-a-configuration "$err" "not_a_configuration.txt"
run missing 1 "$cli" diff "$tmp/none.qcf" "$data/default.qcf"
has missing "$err" "none.qcf"

run one-file 2 "$cli" diff "$data/default.qcf"
run three-files 2 "$cli" diff "$data/default.qcf" "$data/default.qcf" "$data/default.qcf"
run unknown-option 2 "$cli" diff --yaml "$data/default.qcf" "$data/default.qcf"
run help 0 "$cli" diff --help
has help "$out" "usage: lumeq-cli diff A.qcf B.qcf"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

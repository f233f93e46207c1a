#!/usr/bin/env bash
# lumeq-cli stick and fw: a simulated stick without a module (stick mode) read, written and updated through
# the stick-mode engine the window runs; firmware containers checked; firmware written with a module.
set -u
cli="$1"
data="${LUMEQ_TEST_DATA:-$(dirname "$0")/../data}"
# The test build's generated containers, beside the program's sources in the build tree.
firmware="$(dirname "$cli")/../firmware/test-50.qfw"
source "$(dirname "$0")/lib/checks.sh"
work="$tmp"

stick="$work/stick.ini"
run "sim init stick alone" 0 "$cli" sim init "$stick" --stick-alone --stick-fw 73 --log 1234,56,4,71 --device-number 00A1B2C3
export LUMEQ_SIMULATOR="$stick"
# The pause after the identification, one second on a real stick, is not needed by the simulator.
export LUMEQ_STICK_PAUSE_MS=0
run "stick info" 0 "$cli" stick info
expect_out "stick info" "device number 00A1B2C3, firmware 1.73"
expect_out "stick info" "operation 1234 min, switch count 56, over temperature 60 min, max. temperature 71"

# Written, then read: the same bytes back. A second configuration with other bytes goes the same way.
run "stick write" 0 "$cli" stick write "$data/default.qcf"
expect_out "stick write" "read back: identical"
run "stick read" 0 "$cli" stick read -o "$work/back.qcf"
cmp -s "$work/back.qcf" "$data/default.qcf" || fail "the stick's configuration read back differs from the file written"
sed -e '2s/^0C000064/0C001E50/' -e '6s/^FF0000FF01FF/FF0000FF01AB/' "$data/default.qcf" >"$work/other.qcf"
run "stick write other" 0 "$cli" stick write "$work/other.qcf" --no-load-check
run "stick read other" 0 "$cli" stick read -o "$work/other_back.qcf"
[ "$(tail -n +2 "$work/other_back.qcf" | tr -d '\r')" = "$(tail -n +2 "$work/other.qcf" | tr -d '\r')" ] ||
    fail "the second configuration read back differs"
run "sim show after the writes" 0 "$cli" sim show "$stick"
expect_out "sim show after the writes" "Log:       operation 1234 min" # the log is the stick's own

run "stick read without output" 2 "$cli" stick read
run "stick write of no configuration" 1 "$cli" stick write "$data/not_a_configuration.txt"
run "unknown stick command" 2 "$cli" stick erase

# Firmware containers.
if [ -f "$firmware" ]; then
    run "fw check" 0 "$cli" fw check "$firmware"
    expect_out "fw check" "Version:    1.50"
    expect_out "fw check" "Length:     6200 bytes (87 records of 72 for a stick, 49 blocks of 128 for a module)"
    expect_out "fw check" "Data lines: 49"
    expect_out "fw check" "holds"
    sed '2s/^\(.\)./\1Z/' "$firmware" >"$work/corrupted.qfw"
    run "fw check corrupted" 1 "$cli" fw check "$work/corrupted.qfw"
    expect_err "fw check corrupted" "File is corrupted!"
    sed '1s/^FWX..../FWX3000/' "$firmware" >"$work/long.qfw"
    run "fw check too long" 1 "$cli" fw check "$work/long.qfw"
    expect_err "fw check too long" "File is corrupted!"
    run "fw check of a configuration" 1 "$cli" fw check "$data/default.qcf"
    expect_err "fw check of a configuration" "not a firmware container"

    # The stick has 1.73: 1.50 is older and goes only with --allow-downgrade.
    run "stick update-fw older, refused" 1 "$cli" stick update-fw "$firmware"
    expect_err "stick update-fw older, refused" "The stick has firmware 1.73; updating would install the older version 1.50."
    expect_err "stick update-fw older, refused" "Nothing was sent (--allow-downgrade"
    run "sim show after the refused update" 0 "$cli" sim show "$stick"
    lacks "sim show after the refused update" "$out" "Firmware received"
    run "stick update-fw from a file" 0 "$cli" stick update-fw "$firmware" --allow-downgrade
    expect_out "stick update-fw from a file" "firmware 1.50 (6200 bytes, 87 records)"
    expect_err "stick update-fw from a file" "firmware: 87 of 87 records sent"
    run "sim show after the update" 0 "$cli" sim show "$stick"
    expect_out "sim show after the update" "Firmware received at the last update: 6264 bytes"
    run "stick update-fw built in" 0 "$cli" stick update-fw --60hz --allow-downgrade
    expect_out "stick update-fw built in" "the built-in 60 Hz firmware"
    run "stick update-fw corrupted" 1 "$cli" stick update-fw "$work/corrupted.qfw"
    expect_err "stick update-fw corrupted" "CRC does not hold"
    # 97 data lines: more than the firmware image holds, refused before anything is read.
    { cat "$firmware"; for _ in $(seq 48); do sed -n 2p "$firmware"; done; } >"$work/many.qfw"
    run "fw check of 97 lines" 1 "$cli" fw check "$work/many.qfw"
    expect_err "fw check of 97 lines" "File is corrupted! (97 data lines"

    # The stick refuses a record, or is pulled out, in the middle of the update.
    refusing_fw="$work/refusing_fw.ini"
    run "sim init refusing firmware" 0 "$cli" sim init "$refusing_fw" --stick-alone --fault RefuseFirmwareFrame=5
    # A stick that reports no version is never downgraded; one with an older version is updated unasked.
    for version in none 40; do
        newer="$work/newer_$version.ini"
        if [ "$version" = none ]; then fwopt=(); else fwopt=(--stick-fw "$version"); fi
        run "sim init firmware $version" 0 "$cli" sim init "$newer" --stick-alone "${fwopt[@]}"
        LUMEQ_SIMULATOR="$newer" run "stick update-fw on firmware $version" 0 "$cli" stick update-fw "$firmware"
        LUMEQ_SIMULATOR="$newer" run "sim show after update on $version" 0 "$cli" sim show "$newer"
        expect_out "sim show after update on $version" "Firmware received at the last update: 6264 bytes"
    done
    # An early B2 5A, while the second firmware frame is unanswered, shifts nothing.
    early="$work/early5a.ini"
    run "sim init early 5A" 0 "$cli" sim init "$early" --stick-alone --stick-fw 40 --fault StrayAnswerFrame=12 --fault StrayAnswerCode=0x5A
    LUMEQ_SIMULATOR="$early" run "stick update-fw with an early 5A" 0 "$cli" stick update-fw "$firmware"
    LUMEQ_SIMULATOR="$early" run "sim show after the early 5A" 0 "$cli" sim show "$early"
    expect_out "sim show after the early 5A" "Firmware received at the last update: 6264 bytes"
    LUMEQ_SIMULATOR="$refusing_fw" run "stick update-fw refused" 1 "$cli" stick update-fw "$firmware"
    expect_err "stick update-fw refused" "refused the firmware"
    pulled="$work/pulled.ini"
    run "sim init pulled during the update" 0 "$cli" sim init "$pulled" --stick-alone --fault UnplugAfter=40
    LUMEQ_SIMULATOR="$pulled" run "stick update-fw unplugged" 1 "$cli" stick update-fw "$firmware"
    expect_err "stick update-fw unplugged" "unplugged during the firmware update"
    LUMEQ_SIMULATOR="$pulled" run "sim show after the unplugging" 0 "$cli" sim show "$pulled"
    expect_out "sim show after the unplugging" "Stick:     absent"

    # A module: the firmware goes with the slot, the descriptor records it, the blocks read back.
    module="$work/module.ini"
    run "sim init module" 0 "$cli" sim init "$module" --fw-version 7
    LUMEQ_SIMULATOR="$module" run "module write with firmware" 0 "$cli" module write --slot 1 "$data/default.qcf" --firmware "$firmware"
    expect_out "module write with firmware" "firmware 1.50 in 49 blocks"
    LUMEQ_SIMULATOR="$module" run "module info after the firmware" 0 "$cli" module info
    expect_out "module info after the firmware" "Firmware  version 1.50, 6200 bytes"
    refusing="$work/refusing.ini"
    run "sim init refusing a firmware block" 0 "$cli" sim init "$refusing" --fw-version 7 --fault RefuseBlockAddress=0x0280
    LUMEQ_SIMULATOR="$refusing" run "module write, firmware refused" 1 "$cli" module write --slot 1 "$data/default.qcf" --firmware "$firmware"
    expect_err "module write, firmware refused" "Firmware Write Error!FW"
    LUMEQ_SIMULATOR="$refusing" run "module info after the refusal" 0 "$cli" module info
    expect_out "module info after the refusal" "Firmware  version 1.7"
    expect_out "module info after the refusal" "M1  filled"
    LUMEQ_SIMULATOR="$module" run "module write with a corrupted firmware" 1 "$cli" module write --slot 1 "$data/default.qcf" --firmware "$work/corrupted.qfw"
fi

# Faults of the stick.
refusing="$work/refuses.ini"
run "sim init refusing writes" 0 "$cli" sim init "$refusing" --stick-alone --fault RefuseWrites=6
LUMEQ_SIMULATOR="$refusing" run "write refused six times" 1 "$cli" stick write "$data/default.qcf"
expect_err "write refused six times" "Transfer Error!"
badcrc="$work/badcrc.ini"
run "sim init bad CRC" 0 "$cli" sim init "$badcrc" --stick-alone --fault BadReadCrc=6
LUMEQ_SIMULATOR="$badcrc" run "read with bad CRCs" 1 "$cli" stick info
expect_err "read with bad CRCs" "could not be read"
unplugged="$work/unplugged.ini"
run "sim init unplugged" 0 "$cli" sim init "$unplugged" --stick-alone --fault UnplugAfter=15
LUMEQ_SIMULATOR="$unplugged" run "unplugged during the write" 1 "$cli" stick write "$data/default.qcf"
expect_err "unplugged during the write" "unplugged"

# The stick's memory section of a state file.
memory_of() { sed -n '/^\[StickMemory\]/,/^$/p' "$1"; }

# Nothing is written after a read that failed: six answers with a wrong CRC, or an answer lost at 104.
for fault in BadReadCrc=6 LoseAnswersAfter=6; do
    failing="$work/failing_${fault%%=*}.ini"
    run "sim init $fault" 0 "$cli" sim init "$failing" --stick-alone --stick-fw 73 --log 1234,56,4,71 --fault "$fault"
    before="$(memory_of "$failing")"
    LUMEQ_SIMULATOR="$failing" run "write after a failed read ($fault)" 1 "$cli" stick write "$data/default.qcf"
    [ "$(memory_of "$failing")" = "$before" ] && pass || fail "write after a failed read ($fault) changed the stick's memory"
done
expect_err "write after a failed read (LoseAnswersAfter=6)" "stopped answering while its memory was read"

# A stick that identifies itself every 2 s after a lost answer: the read ends a second after the request.
repeating="$work/repeating.ini"
run "sim init re-identifying" 0 "$cli" sim init "$repeating" --stick-alone --fault LoseAnswersAfter=5 --fault ReidentifyMs=2000
started=$(date +%s%N)
LUMEQ_SIMULATOR="$repeating" run "read from a re-identifying stick" 1 timeout 20 "$cli" stick read -o "$work/never.qcf"
elapsed=$(( ($(date +%s%N) - started) / 1000000 ))
expect_err "read from a re-identifying stick" "the stick stopped answering while its memory was read"
[ "$elapsed" -lt 3000 ] && pass || fail "read from a re-identifying stick took $elapsed ms"

# A late answer (past the second each answer may take) ends the write; a stray B2 56 during the first
# write memory frame changes nothing.
late="$work/late.ini"
run "sim init late answer" 0 "$cli" sim init "$late" --stick-alone --fault LateAnswerFrame=13 --fault LateAnswerMs=1500
LUMEQ_SIMULATOR="$late" run "write with a late answer" 1 "$cli" stick write "$data/default.qcf"
expect_err "write with a late answer" "Transfer Error!: the stick stopped answering"
stray="$work/stray.ini"
run "sim init stray 56" 0 "$cli" sim init "$stray" --stick-alone --fault StrayAnswerFrame=11 --fault StrayAnswerCode=0x56
LUMEQ_SIMULATOR="$stray" run "write with a stray 56" 0 "$cli" stick write "$data/default.qcf"
expect_out "write with a stray 56" "read back: identical"
run "sim show the stray fault" 0 "$cli" sim show "$stray"
expect_out "sim show the stray fault" "StrayAnswerFrame=11 StrayAnswerCode=0x56 StrayAnswerFirst"
run "bad stray fault" 2 "$cli" sim init "$work/x.ini" --stick-alone --fault StrayAnswerCode=300

# A stick that keeps a byte otherwise than written: only the read-back finds it, and the log says so.
differs="$work/differs.ini"
run "sim init store differs" 0 "$cli" sim init "$differs" --stick-alone --fault StickStoreDiffersByte=130
LUMEQ_SIMULATOR="$differs" LUMEQ_LOG_FILE="$work/differs.log" run "write read back different" 1 "$cli" stick write "$data/default.qcf"
expect_err "write read back different" "the memory was written, but byte 130 reads back as 00 instead of FF"
LUMEQ_LOG_FILE="$work/differs.log" run "log of the differing write" 0 "$cli" log
expect_out "log of the differing write" "differs: byte 130 reads back as 00 instead of FF"
expect_out "log of the differing write" "failed: the read-back differs"

module="$work/plain.ini"
run "sim init plain module" 0 "$cli" sim init "$module"
LUMEQ_SIMULATOR="$module" run "stick info on a module" 1 "$cli" stick info
expect_err "stick info on a module" "module mode"
run "stick options need a stick alone" 2 "$cli" sim init "$work/x.ini" --stick-fw 3
run "bad log" 2 "$cli" sim init "$work/x.ini" --stick-alone --log 1,2,3

echo "stick: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

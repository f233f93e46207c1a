#!/usr/bin/env bash
# lumeq-cli sim and module: a simulated module filled from configuration files, read, written and erased
# through the same code the window uses.
set -u
cli="$1"
data="${LUMEQ_TEST_DATA:-$(dirname "$0")/../data}"
source "$(dirname "$0")/lib/checks.sh"
work="$tmp"

state="$work/module.ini"
run "sim init" 0 "$cli" sim init "$state" --slots "1=$data/default.qcf:North,3=$data/dali_astro_mff_thermal.qcf" --fw-version 7
run "sim show" 0 "$cli" sim show "$state"
expect_out "sim show" "FF80: 8A 65 C2 00 80 00 00 00 4E 6F 72 74 68 20 20 20"
expect_out "sim show" 'M1  filled  name "North   "  length 128  address 0x0000  records 8, CRC holds'
expect_out "sim show" "M2  empty"
expect_out "sim show" "Firmware:  version 1.7"

export LUMEQ_SIMULATOR="$state"
run "module info" 0 "$cli" module info
expect_out "module info" 'M1  filled  name "North   "  length 128  address 0x0000'
expect_out "module info" "M2  empty"
expect_out "module info" 'M3  filled  name "Str. 12 "  length 128  address 0x8000'
expect_out "module info" "Firmware  version 1.7"

# Written and read back: the same file again (its info text is empty, so the slot keeps no name).
run "module write" 0 "$cli" module write --slot 2 "$data/default.qcf"
run "module read" 0 "$cli" module read --slot 2 -o "$work/x.qcf"
cmp -s "$work/x.qcf" "$data/default.qcf" || fail "slot 2 read back differs from the file written"
run "module info after write" 0 "$cli" module info
expect_out "module info after write" 'M2  filled  name ""  length 128  address 0x4000'
run "write with a name" 0 "$cli" module write --slot 4 "$data/default.qcf" --name "Kreuzung 12"
run "module info after naming" 0 "$cli" module info
expect_out "module info after naming" 'M4  filled  name "Kreuzung"'

run "read without output" 2 "$cli" module read --slot 1
run "slot out of range" 2 "$cli" module read --slot 5 -o "$work/y.qcf"

# A dimming curve: levels go to the module through the curve and come back through its inverse.
seq 100 -1 0 >"$work/reverse.dc"
run "write through a curve" 0 "$cli" module write --slot 2 "$data/default.qcf" --curve "$work/reverse.dc"
run "read without the curve" 0 "$cli" module read --slot 2 -o "$work/stored.qcf"
cmp -s "$work/stored.qcf" "$data/default.qcf" && fail "the curve did not change the stored levels"
grep -q "^0C006400FF" "$work/stored.qcf" || fail "levels 0 and 100 % are not stored as 100 and 0 through the reversed curve"
run "read through the curve" 0 "$cli" module read --slot 2 --curve "$work/reverse.dc" -o "$work/back.qcf"
cmp -s "$work/back.qcf" "$data/default.qcf" || fail "levels read back through the curve differ from the file"
printf '5\n' >"$work/short.dc"
run "curve with too few points" 1 "$cli" module write --slot 2 "$data/default.qcf" --curve "$work/short.dc"
expect_err "curve with too few points" "short.dc"
run "not a configuration" 1 "$cli" module write --slot 1 "$data/not_a_configuration.txt"

# Slot data and slot names that begin a data report with the bytes of a block header (C0 44) or of the
# stick's own answer (B2 50): engine 1's second step fading at B2 to 80 % (image bytes 42, 43), thermal
# T1 80 degrees, L1 64 % with the relay off, T2 68 degrees (bytes 89 to 91); the names "²Park" and
# "ÀDorf" are stored as B2 50 ... and C0 44 .... Everything reads back unchanged.
sed -e '4s/^\(.\{20\}\)0064/\1B250/' -e '7s/^\(.\{18\}\)000000/\150C044/' "$data/default.qcf" >"$work/lookalike.qcf"
grep -q "323CB250" "$work/lookalike.qcf" && grep -q "0150C044" "$work/lookalike.qcf" || fail "lookalike.qcf was not built"
run "write report look-alikes" 0 "$cli" module write --slot 2 "$work/lookalike.qcf" --no-load-check --name "²Park"
expect_out "write report look-alikes" "read back: identical"
run "write a name like a header" 0 "$cli" module write --slot 3 "$work/lookalike.qcf" --no-load-check --name "ÀDorf"
expect_out "write a name like a header" "read back: identical"
run "info after look-alike names" 0 "$cli" module info
expect_out "info after look-alike names" 'M2  filled  name "²Park   "  length 128  address 0x4000'
expect_out "info after look-alike names" 'M3  filled  name "ÀDorf   "  length 128  address 0x8000'
run "read report look-alikes" 0 "$cli" module read --slot 2 -o "$work/lookalike_back.qcf"
[ "$(tail -n +2 "$work/lookalike_back.qcf" | tr -d '\r')" = "$(tail -n +2 "$work/lookalike.qcf" | tr -d '\r')" ] ||
    fail "the look-alike bytes of slot 2 read back differently"

run "erase without --yes" 2 "$cli" module erase
expect_err "erase without --yes" "add --yes"
run "erase" 0 "$cli" module erase --yes
run "module info after erase" 0 "$cli" module info
expect_out "module info after erase" "M1  empty"
expect_out "module info after erase" "Firmware  none recorded"
run "read of an empty slot" 1 "$cli" module read --slot 1 -o "$work/y.qcf"
expect_err "read of an empty slot" "slot M1 is empty"
[ -e "$work/y.qcf" ] && fail "a file was written for an empty slot"

# A module that refuses every block: the write fails with the program's message; the control block stays.
refusing="$work/refusing.ini"
run "sim init with a fault" 0 "$cli" sim init "$refusing" --slots "1=$data/default.qcf:Kept" --fault ConfirmStatus=0
LUMEQ_SIMULATOR="$refusing" run "write refused" 1 "$cli" module write --slot 2 "$data/default.qcf"
expect_err "write refused" "Firmware Write Error!CF"
LUMEQ_SIMULATOR="$refusing" run "info after the refused write" 0 "$cli" module info
expect_out "info after the refused write" "M2  empty"

# A module that confirms the slot's block but keeps one byte of it different: only the read-back finds it,
# and the log says so.
differs="$work/differs.ini"
run "sim init storing differently" 0 "$cli" sim init "$differs" --fault StoreDiffersAddress=0x4000
LUMEQ_LOG_FILE="$work/differs.log" LUMEQ_SIMULATOR="$differs" run "write kept differently" 1 "$cli" module write --slot 2 "$data/default.qcf" --name North
expect_err "write kept differently" "slot M2 was written, but the slot's data differs at byte 2: written "
grep -q "	differs: the slot's data differs at byte 2: written ..\, read back ..	failed: the read-back differs\$" "$work/differs.log" &&
    pass || fail "the log of the write kept differently: $(cat "$work/differs.log")"
LUMEQ_LOG_FILE="$work/differs.log" LUMEQ_SIMULATOR="$differs" run "write to another slot" 0 "$cli" module write --slot 3 "$data/default.qcf"
grep -q "	identical	ok\$" "$work/differs.log" && pass || fail "the verified write is not logged identical"
# Erase ALL is logged, with what reading the module back found.
LUMEQ_LOG_FILE="$work/differs.log" LUMEQ_SIMULATOR="$differs" run "erase logged" 0 "$cli" module erase --yes
grep -q "	erased	ok\$" "$work/differs.log" && pass || fail "the erase is not in the log: $(cat "$work/differs.log")"

# Firmware older than the module's is written only with --allow-downgrade; both versions are named.
firmware="$(dirname "$cli")/../firmware/test-50.qfw"
if [ -f "$firmware" ]; then
    newer="$work/newer.ini"
    run "sim init newer firmware" 0 "$cli" sim init "$newer" --fw-version 72
    LUMEQ_SIMULATOR="$newer" run "downgrade refused" 1 "$cli" module write --slot 1 "$data/default.qcf" --firmware "$firmware"
    expect_err "downgrade refused" "The module has firmware 1.72; updating would install the older version 1.50. Nothing was written"
    LUMEQ_SIMULATOR="$newer" run "info after the refused downgrade" 0 "$cli" module info
    expect_out "info after the refused downgrade" "M1  empty"
    expect_out "info after the refused downgrade" "Firmware  version 1.72"
    LUMEQ_SIMULATOR="$newer" run "downgrade allowed" 0 "$cli" module write --slot 1 "$data/default.qcf" --firmware "$firmware" --allow-downgrade
    expect_out "downgrade allowed" "firmware 1.50 in 49 blocks"
    expect_err "downgrade allowed" "The module has firmware 1.72; updating would install the older version 1.50. Writing it"
    # A container whose length field is 0 is no firmware.
    sed '1s/^FWX..../FWX0000/' "$firmware" >"$work/empty.qfw"
    LUMEQ_SIMULATOR="$newer" run "firmware of length 0" 1 "$cli" module write --slot 1 "$data/default.qcf" --firmware "$work/empty.qfw"
    expect_err "firmware of length 0" "File is corrupted!"
fi

# A module that never answers: nothing may be written.
silent="$work/silent.ini"
run "sim init silent" 0 "$cli" sim init "$silent" --fault NoAnswer=true
LUMEQ_SIMULATOR="$silent" run "write to a silent module" 1 "$cli" module write --slot 1 "$data/default.qcf"
expect_err "write to a silent module" "did not answer"

alone="$work/alone.ini"
run "sim init stick alone" 0 "$cli" sim init "$alone" --stick-alone
LUMEQ_SIMULATOR="$alone" run "info on a stick alone" 1 "$cli" module info
expect_err "info on a stick alone" "stick mode"
LUMEQ_SIMULATOR="$work/missing.ini" run "no stick" 1 "$cli" module info
expect_err "no stick" "no programming stick found"

run "bad slot list" 2 "$cli" sim init "$work/x.ini" --slots "7=$data/default.qcf"
run "bad fault" 2 "$cli" sim init "$work/x.ini" --fault Bogus=1
run "show of a non-state file" 1 "$cli" sim show "$data/default.qcf"

echo "module: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

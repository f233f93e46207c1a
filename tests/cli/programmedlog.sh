#!/usr/bin/env bash
# The log of programmed modules: every lumeq-cli write to a module or a stick through the simulator, ok or
# failed, adds one record; lumeq-cli log shows them as a table, CSV or JSON.
set -u
cli="$1"
data="${LUMEQ_TEST_DATA:-$(cd "$(dirname "$0")/../data" && pwd)}"
firmware="$(dirname "$cli")/../firmware/test-50.qfw"
source "$(dirname "$0")/lib/checks.sh"
export LUMEQ_LOG_FILE="$tmp/log/programmed.log"
export LUMEQ_STICK_PAUSE_MS=0

run empty 0 "$cli" log
has empty "$out" "no records in the log"
run empty-json 0 "$cli" log --json
is empty-json "$out" "[
]"

# A module: slot 2 written through a curve and read back; then slot 1 refused by the module.
run sim-module 0 "$cli" sim init "$tmp/module.ini" --fw-version 7
seq 0 100 >"$tmp/linear, v2.dc"
LUMEQ_SIMULATOR="$tmp/module.ini" run module-write 0 "$cli" module write --slot 2 "$data/default.qcf" --name North \
    --curve "$tmp/linear, v2.dc"
run sim-refusing 0 "$cli" sim init "$tmp/refusing.ini" --fault RefuseBlockAddress=0x0000
LUMEQ_SIMULATOR="$tmp/refusing.ini" run module-refused 1 "$cli" module write --slot 1 "$data/default.qcf"
# Nothing is written when the file is bad: no record.
LUMEQ_SIMULATOR="$tmp/module.ini" run module-missing-file 1 "$cli" module write --slot 1 "$tmp/none.qcf"

# A stick: written and read back; refused six times; pulled out half-way.
run sim-stick 0 "$cli" sim init "$tmp/stick.ini" --stick-alone --stick-fw 73
LUMEQ_SIMULATOR="$tmp/stick.ini" run stick-write 0 "$cli" stick write "$data/dali_astro_mff_thermal.qcf"
run sim-stick-refusing 0 "$cli" sim init "$tmp/stick-refusing.ini" --stick-alone --fault RefuseWrites=6
LUMEQ_SIMULATOR="$tmp/stick-refusing.ini" run stick-refused 1 "$cli" stick write "$data/default.qcf"
run sim-stick-pulled 0 "$cli" sim init "$tmp/stick-pulled.ini" --stick-alone --fault UnplugAfter=15
LUMEQ_SIMULATOR="$tmp/stick-pulled.ini" run stick-pulled 1 "$cli" stick write "$data/default.qcf"
if [ -f "$firmware" ]; then
    # The stick has 1.73: the test firmware 1.50 goes to it only when the downgrade is allowed.
    LUMEQ_SIMULATOR="$tmp/stick.ini" run stick-update 0 "$cli" stick update-fw "$firmware" --allow-downgrade
fi

records=5
[ -f "$firmware" ] && records=6
[ "$(wc -l <"$LUMEQ_LOG_FILE")" -eq "$records" ] && pass || fail "the log holds $(wc -l <"$LUMEQ_LOG_FILE") lines, not $records"

run table 0 "$cli" log
is table-lines <(wc -l <"$out") "$((records + 1))"
has table "$out" "Time                  Mode    Slot  Name"
has table "$out" "North"
has table "$out" "linear, v2.dc"
has table "$out" "8A1C"
has table "$out" "identical  ok"
has table "$out" "failed: Firmware Write Error!CF"
has table "$out" "failed: the stick refused a frame six times"
has table "$out" "interrupted: the stick was unplugged during the write"
# The module record in the log file, field by field (the time is today's).
grep -q "^$(date -u +%Y-%m-%d)T[0-9:]*Z	module	2	North	8A1C	linear, v2.dc		identical	ok\$" "$LUMEQ_LOG_FILE" &&
    pass || { fail "the module write's record"; cat "$LUMEQ_LOG_FILE"; }
# The stick carries no slot; its record names the file's configuration by its info text and CRC.
grep -q "	stick		Str. 12	[0-9A-F]\{4\}			identical	ok\$" "$LUMEQ_LOG_FILE" &&
    pass || { fail "the stick write's record"; cat "$LUMEQ_LOG_FILE"; }
if [ -f "$firmware" ]; then
    grep -q "	stick					1.50		ok\$" "$LUMEQ_LOG_FILE" && pass || fail "the firmware update's record"
fi

run csv 0 "$cli" log --csv
has csv "$out" "time,mode,slot,name,crc,curve,firmware,readBack,outcome"
has csv "$out" ",module,2,North,8A1C,\"linear, v2.dc\",,identical,ok"
run json 0 "$cli" log --json
has json "$out" '"curve": "linear, v2.dc"'
has json "$out" '"outcome": "failed"'
has json "$out" '"outcome": "interrupted"'
has json "$out" '"reason": "the stick refused a frame six times"'
has json "$out" '"slot": 2'

run since-today 0 "$cli" log --since "$(date -u +%Y-%m-%d)" --csv
is since-today-lines <(wc -l <"$out") "$((records + 1))"
run since-tomorrow 0 "$cli" log --since "$(date -u -d tomorrow +%Y-%m-%d)"
has since-tomorrow "$out" "no records since"
run since-bad 2 "$cli" log --since 3.5.2024
has since-bad "$err" "--since takes a date"
run both-formats 2 "$cli" log --csv --json
run unknown-option 2 "$cli" log --all

# A write cut short by a crash: the half line is skipped with a note, and the next record is whole.
head -c 30 "$LUMEQ_LOG_FILE" >>"$LUMEQ_LOG_FILE"
run cut 0 "$cli" log --csv
has cut "$err" "1 line of the log is not a whole record"
LUMEQ_SIMULATOR="$tmp/module.ini" run write-after-cut 0 "$cli" module write --slot 3 "$data/default.qcf"
run after-cut 0 "$cli" log --csv
has after-cut "$out" ",module,3,,8A1C,,,identical,ok"
has after-cut "$err" "1 line of the log is not a whole record"

# A log that cannot be written: the write still happens, with a warning.
LUMEQ_LOG_FILE="$tmp" LUMEQ_SIMULATOR="$tmp/module.ini" run unwritable 0 "$cli" module write --slot 3 "$data/default.qcf"
has unwritable "$err" "warning: this write is not in the log of programmed modules"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

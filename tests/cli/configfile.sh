#!/usr/bin/env bash
# lumeq-cli check and show on configuration files: what they print, their messages and exit codes.
set -u
cli="$1"
data="${LUMEQ_TEST_DATA:-$(cd "$(dirname "$0")/../data" && pwd)}"
source "$(dirname "$0")/lib/checks.sh"

# The example file: a good configuration.
run check-default 0 "$cli" check "$data/default.qcf"
has check-default "$out" "configuration file (MMN)"
has check-default "$out" "8A1C, holds"

run show-default 0 "$cli" show "$data/default.qcf"
for text in "Analog 1-10V" "Delay:" "Random" "22:00:00" "05:00:00" "OFF (Winter Time)" "Zero-cross switching:  ON"; do
    has show-default "$out" "$text"
done

# Every setting in use, in the program's words.
run show-full 0 "$cli" show "$data/dali_astro_mff_thermal.qcf"
for text in 'Info text: "Str. 12"' "DALI linear" "Store POL:      ON" "01:30:00" "00,060 s/%" "High->Low" \
    "-00:30:00" "ON (Summer Time)" "10:00" "Midnight Protect" "50000 h" "80 °C" "Relay at T1:         OFF"; do
    has show-full "$out" "$text"
done

run show-json 0 "$cli" show --json "$data/dali_astro_mff_thermal.qcf"
if command -v python3 >/dev/null; then
    if python3 -m json.tool "$out" >/dev/null 2>&1; then pass; else fail "show --json: not valid JSON"; fi
    value="$(python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); print(d["settings"]["output"]["type"], d["info"], d["settings"]["astro"]["steps"][1]["relay"])' "$out" 2>&1)"
    [ "$value" = "DALI linear Str. 12 OFF" ] && pass || fail "show --json values: $value"
else
    echo "skip: no python3 to parse the JSON"
fi

# The old format loads with its note; lower-case hex and LF line ends read as well.
run check-old-format 0 "$cli" check "$data/old_format_mem_lowercase_lf.qcf"
has check-old-format "$out" "old MEM format"
has check-old-format "$out" "Old Format: Please check Parameter!"
run show-old-format 0 "$cli" show "$data/old_format_mem_lowercase_lf.qcf"
has show-old-format "$err" "Old Format: Please check Parameter!"
has show-old-format "$out" "Analog 1-10V"

# One hex digit changed: the CRC no longer holds.
sed '2s/^0C/0E/' "$data/default.qcf" >"$tmp/corrupted.qcf"
run check-corrupted 1 "$cli" check "$tmp/corrupted.qcf"
has check-corrupted "$err" "File is corrupted!"
has check-corrupted "$out" "does not hold"
run show-corrupted 1 "$cli" show "$tmp/corrupted.qcf"
has show-corrupted "$err" "File is corrupted!"
lacks show-corrupted "$out" "Analog 1-10V"
run show-corrupted-no-load-check 0 "$cli" show --no-load-check "$tmp/corrupted.qcf"
has show-corrupted-no-load-check "$out" "Output type:    PWM" # 0x0E: bit 1 set without DALI

# Not a configuration at all.
run check-not-configuration 1 "$cli" check "$data/not_a_configuration.txt"
has check-not-configuration "$err" "Not a configuration or firmware file!"
run show-not-configuration 1 "$cli" show "$data/not_a_configuration.txt"
has show-not-configuration "$err" "Not a configuration or firmware file!"

# Empty, missing, a directory, too large.
: >"$tmp/empty.qcf"
run check-empty 1 "$cli" check "$tmp/empty.qcf"
has check-empty "$err" "no data lines"
run check-missing 1 "$cli" check "$tmp/missing.qcf"
has check-missing "$err" "missing.qcf"
run check-directory 1 "$cli" check "$tmp"
head -c 2000000 /dev/zero | tr '\0' '0' | cat "$data/default.qcf" - >"$tmp/huge.qcf"
run check-huge 1 "$cli" check "$tmp/huge.qcf"
has check-huge "$err" "Not a configuration or firmware file!"

# Usage errors.
run check-no-arguments 2 "$cli" check
has check-no-arguments "$err" "usage: lumeq-cli check FILE"
run check-two-files 2 "$cli" check "$data/default.qcf" "$data/default.qcf"
run show-no-arguments 2 "$cli" show
run show-unknown-option 2 "$cli" show --yaml "$data/default.qcf"
run show-json-without-file 2 "$cli" show --json
run show-flag-with-value 2 "$cli" show --json=yes "$data/default.qcf"
has show-flag-with-value "$err" "usage: lumeq-cli show"
run show-empty-name 2 "$cli" show ""
run show-help 0 "$cli" show --help
has show-help "$out" "usage: lumeq-cli show FILE.qcf"
run fw-check-help 0 "$cli" fw check -h
has fw-check-help "$out" "Checks a firmware container"

# Options as the parser takes them: "--option=value", options after the file, and "--" before a file whose
# name starts with a dash.
cp "$data/default.qcf" "$tmp/-dash.qcf"
run dash-name 0 "$cli" show --no-load-check -- "$tmp/-dash.qcf"
( cd "$tmp" && "$cli" check -- -dash.qcf >"$out" 2>"$err" ) && pass || fail "check -- -dash.qcf"
has dash-name "$out" "8A1C, holds"
run report-equals 0 "$cli" report "$data/default.qcf" --output="$tmp/equals.pdf" --project=North
[ -s "$tmp/equals.pdf" ] && pass || fail "report --output=FILE wrote nothing"

# A name that is not valid UTF-8 (copied from old Windows media) is taken as the file system has it.
odd="$tmp/$(printf 'Caf\xe9.qcf')"
cp "$data/default.qcf" "$odd"
run odd-name-check 0 "$cli" check "$odd"
has odd-name-check "$out" "8A1C, holds"
run odd-name-show 0 "$cli" show "$odd"
has odd-name-show "$out" "Output type:"
run odd-name-diff 0 "$cli" diff "$odd" "$data/default.qcf"
# A name beginning with the bytes of a byte-order mark keeps them (Qt drops such a mark when it decodes).
bom="$tmp/$(printf '\xef\xbb\xbfBOM.qcf')"
cp "$data/default.qcf" "$bom"
run bom-name-check 0 "$cli" check "$bom"
has bom-name-check "$out" "8A1C, holds"
run odd-name-report 0 "$cli" report "$odd" -o "$tmp/odd.pdf"
run odd-name-sim 0 "$cli" sim init "$tmp/odd-sim.ini" --slots "1=$odd:North"
run odd-name-report-out 0 "$cli" report "$data/default.qcf" -o "$tmp/$(printf 'R\xe9sum\xe9.pdf')"
[ -s "$tmp/$(printf 'R\xe9sum\xe9.pdf')" ] && pass || fail "report -o: the PDF is not under its name"
# The report's header file and a simulator state file under such names.
printf '[Header]\r\nLine1=Odd Header Line\r\n' >"$tmp/$(printf 'H\xe9.ini')"
run odd-name-header 0 "$cli" report "$data/default.qcf" --header "$tmp/$(printf 'H\xe9.ini')" -o "$tmp/header.pdf"
if command -v pdftotext >/dev/null; then
    pdftotext "$tmp/header.pdf" "$tmp/header.txt"
    has odd-name-header "$tmp/header.txt" "Odd Header Line"
fi
run missing-header 1 "$cli" report "$data/default.qcf" --header "$tmp/$(printf 'N\xe9.ini')" -o "$tmp/none.pdf"
has missing-header "$err" "no such header file"
cp "$tmp/odd-sim.ini" "$tmp/$(printf 'S\xe9.ini')"
run odd-name-sim-show 0 "$cli" sim show "$tmp/$(printf 'S\xe9.ini')"
has odd-name-sim-show "$out" "M1"
# The simulator saves what is written to it, so it takes no state file it could not save under its name.
LUMEQ_SIMULATOR="$tmp/$(printf 'S\xe9.ini')" run odd-name-simulator 1 "$cli" module info
has odd-name-simulator "$err" "the simulator state file needs a name in UTF-8"
# A configuration cannot be saved under a name that is not UTF-8: refused, nothing written elsewhere.
LUMEQ_SIMULATOR="$tmp/odd-sim.ini" run odd-name-read-out 2 "$cli" module read --slot 1 -o "$tmp/$(printf 'M\xe9.qcf')"
has odd-name-read-out "$err" "needs a name in UTF-8"
[ -z "$(find "$tmp" -name 'M*.qcf')" ] && pass || fail "module read -o: a file was written: $(find "$tmp" -name 'M*.qcf')"
run odd-name-sim-init 2 "$cli" sim init "$tmp/$(printf 'T\xe9.ini')"
has odd-name-sim-init "$err" "needs a name in UTF-8"
[ -z "$(find "$tmp" -name 'T*.ini')" ] && pass || fail "sim init: a file was written: $(find "$tmp" -name 'T*.ini')"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

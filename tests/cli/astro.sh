#!/usr/bin/env bash
# lumeq-cli night-length and isd-offset: the calculators of the ISD editor, their messages and exit codes.
set -u
cli="$1"
source "$(dirname "$0")/lib/checks.sh"

# ---- night-length: every example of the calculator --------------------------------------------------------
night() { # name expected latitude date twilight
    run "$1" 0 "$cli" night-length --latitude "$3" --date "$4" --twilight "$5"
    is "$1" "$out" "$2"
}
night n50-10mar 12:01 50 2014-03-10 -3
night n50-30mar 10:46 50 2014-03-30 -3
night n50-26oct 13:23 50 2014-10-26 -3
night n50-21jun-horizon 07:51 50 2014-06-21 0
night n50-21dec-horizon 16:09 50 2014-12-21 0
night equator-21mar 12:00 0 2014-03-21 0
night n50-30mar-civil 10:07 50 2014-03-30 -6
night s50-21jun-horizon 16:09 -50 2014-06-21 0
night n60-21jun-civil 01:35 60 2014-06-21 -6
night plus-sign 12:01 +50 2014-03-10 -3
night half-degrees 10:39 55.5 2014-03-30 -2.5
# Degrees between the window's half-degree steps are taken as given (55 gives 16:10, 55.5 16:16).
night between-half-degrees 16:13 55.25 2014-12-21 -3

# The twilight angle defaults to -3; options in any order.
run default-twilight 0 "$cli" night-length --date 2014-03-10 --latitude 50
is default-twilight "$out" "12:01"

# Impossible inputs: exit 1 with a message that says why.
run no-night 1 "$cli" night-length --latitude 62 --date 2014-06-21 --twilight -6
has no-night "$err" "no night at latitude 62 on 2014-06-21"
has no-night "$err" "twilight angle of -6"
run before-2000 1 "$cli" night-length --latitude 50 --date 1999-12-31
has before-2000 "$err" "1999-12-31 is before 2000"
run no-such-day 1 "$cli" night-length --latitude 50 --date 2014-02-30
has no-such-day "$err" "2014-02-30 is no day of the calendar"
run latitude-north 1 "$cli" night-length --latitude 62.5 --date 2014-03-10
has latitude-north "$err" "latitude 62.5 is beyond 62 degrees"
run latitude-south 1 "$cli" night-length --latitude -70 --date 2014-03-10
has latitude-south "$err" "latitude -70 is beyond 62 degrees"
run twilight-low 1 "$cli" night-length --latitude 50 --date 2014-03-10 --twilight -7
has twilight-low "$err" "twilight angle -7 is outside -6 to 0 degrees"
run twilight-above 1 "$cli" night-length --latitude 50 --date 2014-03-10 --twilight 0.5
has twilight-above "$err" "twilight angle 0.5 is outside"

# Usage errors: exit 2.
run night-no-date 2 "$cli" night-length --latitude 50
run night-no-latitude 2 "$cli" night-length --date 2014-03-10
run night-word 2 "$cli" night-length --latitude fifty --date 2014-03-10
has night-word "$err" "--latitude needs a number"
run night-nan 2 "$cli" night-length --latitude nan --date 2014-03-10
run night-comma 2 "$cli" night-length --latitude 50,5 --date 2014-03-10
run night-date-form 2 "$cli" night-length --latitude 50 --date 10.03.2014
has night-date-form "$err" "YYYY-MM-DD"
run night-short-date 2 "$cli" night-length --latitude 50 --date 2014-3-10
run night-unknown-option 2 "$cli" night-length --latitude 50 --date 2014-03-10 --dst
run night-missing-value 2 "$cli" night-length --latitude 50 --date
run night-help 0 "$cli" night-length --help
has night-help "$out" "half degrees"

# ---- isd-offset ---------------------------------------------------------------------------------------------
run e9-utc1 0 "$cli" isd-offset --utc 1 --longitude 9
has e9-utc1 "$out" "Offset minutes: -24"
has e9-utc1 "$out" "Offset text:    -00:24:00"
run e9-utc1-dst 0 "$cli" isd-offset --utc 1 --longitude 9 --dst
has e9-utc1-dst "$out" "Offset minutes: -84"
has e9-utc1-dst "$out" "Offset text:    -01:24:00"
run w180-utc-11 0 "$cli" isd-offset --utc -11 --longitude -180
has w180-utc-11 "$out" "Offset minutes: -60"
has w180-utc-11 "$out" "-01:00:00"
run greenwich 0 "$cli" isd-offset --utc 0 --longitude 0
has greenwich "$out" "Offset text:    0"
run e7-5 0 "$cli" isd-offset --longitude 7.5 --utc +0
has e7-5 "$out" "Offset minutes: 30"
has e7-5 "$out" "00:30:00"
# DST stops at the end of the offset's range, as the editor's slider does.
run dst-at-the-end 0 "$cli" isd-offset --utc 8 --longitude 60 --dst
has dst-at-the-end "$out" "Offset minutes: -256"
has dst-at-the-end "$out" "-04:16:00"

run e180-utc-11 1 "$cli" isd-offset --utc -11 --longitude 180
has e180-utc-11 "$err" "1380 minutes is out of range"
run utc-13 1 "$cli" isd-offset --utc 13 --longitude 0
has utc-13 "$err" "UTC+13 is outside -11 to 12"
run utc-minus-12 1 "$cli" isd-offset --utc -12 --longitude 0
run longitude-181 1 "$cli" isd-offset --utc 0 --longitude 181
has longitude-181 "$err" "longitude 181 is beyond 180 degrees"

run offset-no-utc 2 "$cli" isd-offset --longitude 9
run offset-no-longitude 2 "$cli" isd-offset --utc 1
run offset-utc-fraction 2 "$cli" isd-offset --utc 1.5 --longitude 9
has offset-utc-fraction "$err" "--utc needs a whole number"
run offset-word 2 "$cli" isd-offset --utc 1 --longitude east
run offset-extra 2 "$cli" isd-offset --utc 1 --longitude 9 extra
run offset-help 0 "$cli" isd-offset --help
has offset-help "$out" "2-minute steps"

# Both commands are listed.
run help 0 "$cli" --help
has help "$out" "night-length --latitude DEG --date YYYY-MM-DD"
has help "$out" "isd-offset --utc N --longitude DEG [--dst]"

echo "astro: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

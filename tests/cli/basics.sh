#!/usr/bin/env bash
# lumeq-cli: help, version and usage errors with their exit codes.
set -u
cli="$1"
failures=0
check() { # name expected-exit command...
    local name="$1" expected="$2"
    shift 2
    "$@" >/tmp/lumeq-cli-out.$$ 2>/tmp/lumeq-cli-err.$$
    local got=$?
    if [ "$got" -ne "$expected" ]; then
        echo "FAIL $name: exit $got, expected $expected"; failures=$((failures + 1))
    fi
}
check help 0 "$cli" --help
grep -q "Usage: lumeq-cli" /tmp/lumeq-cli-out.$$ || { echo "FAIL help text"; failures=$((failures + 1)); }
check version 0 "$cli" --version
grep -qx "lumeq-cli 2.20c" /tmp/lumeq-cli-out.$$ || { echo "FAIL version text"; failures=$((failures + 1)); }
check no-arguments 2 "$cli"
check unknown-command 2 "$cli" frobnicate
grep -q "unknown command 'frobnicate'" /tmp/lumeq-cli-err.$$ || { echo "FAIL unknown command message"; failures=$((failures + 1)); }
check huge-argument 2 "$cli" "$(head -c 100000 /dev/zero | tr '\0' 'x')"
rm -f /tmp/lumeq-cli-out.$$ /tmp/lumeq-cli-err.$$
[ "$failures" -eq 0 ] && echo "all lumeq-cli basics passed"
exit "$failures"

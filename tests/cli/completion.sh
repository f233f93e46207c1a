#!/usr/bin/env bash
# The bash completion of lumeq-cli: commands, subcommands, options and files by extension.
set -u
source "$(dirname "$0")/lib/checks.sh"
source "$(dirname "$0")/../../packaging/lumeq-cli.bash-completion"

completes() { # name expected words...: completing the last word gives exactly `expected` (sorted)
    local name="$1" expected="$2"
    shift 2
    COMP_WORDS=(lumeq-cli "$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _lumeq_cli
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//')
    if [ "$got" = "$expected" ]; then pass; else fail "$name: '$got', expected '$expected'"; fi
}

cd "$tmp" && mkdir dir && touch a.qcf b.qfw c.dc d.txt
completes command "module" mod
completes commands-s "show sim stick" s
completes module-subcommands "erase info read write" module ""
completes stick-update "update-fw" stick up
completes show-options "--help --json --no-load-check" show --
completes write-options "--slot" module write --sl
completes slot-numbers "1 2 3 4" module write --slot ""
completes configuration-files "a.qcf dir" show ""
completes firmware-files "b.qfw dir" fw check ""
completes curve-files "c.dc dir" module write --curve ""
completes firmware-option-files "b.qfw dir" module write --slot 1 a.qcf --firmware ""

echo "completion: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

# Checks shared by the lumeq-cli test scripts (sourced, not run): each check counts as passed or failed and
# says what it saw when it fails. Commands run by `run` leave their output in $out and messages in $err.
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
out="$tmp/out"
err="$tmp/err"
passed=0
failed=0

pass() { passed=$((passed + 1)); }
fail() { echo "FAIL $*"; failed=$((failed + 1)); }

run() { # name expected-exit command...
    local name="$1" expected="$2"
    shift 2
    "$@" >"$out" 2>"$err"
    local got=$?
    if [ "$got" -eq "$expected" ]; then pass; else fail "$name: exit $got, expected $expected"; sed 's/^/    /' "$err"; fi
}
has() { # name file text: the file holds the text on some line
    if grep -qF -- "$3" "$2"; then pass; else fail "$1: no '$3' in output"; sed 's/^/    /' "$2"; fi
}
lacks() { # name file text
    if grep -qF -- "$3" "$2"; then fail "$1: unexpected '$3' in output"; else pass; fi
}
is() { # name file text: the file is exactly one line, the text
    if [ "$(cat "$2")" = "$3" ]; then pass; else fail "$1: '$(cat "$2")', expected '$3'"; fi
}
expect_out() { # name pattern: some line of the last run's output matches the pattern
    if grep -q -- "$2" "$out"; then pass; else fail "$1: output lacks '$2'"; sed 's/^/    /' "$out"; fi
}
expect_err() { # name pattern: some line of the last run's messages matches the pattern
    if grep -q -- "$2" "$err"; then pass; else fail "$1: message lacks '$2'"; sed 's/^/    /' "$err"; fi
}

#!/usr/bin/env bash
# The layers of the program, checked on the includes: model/ includes only model/ (and no Qt, which its
# library does not link); files/, link/ and report/ include no window code, and files/ not link/;
# diagram/ and editors/ do not include the window (app/); the command-line tool includes nothing graphical.
set -u
src=${1:?usage: layers.sh SRC_DIR}
cd "$src" || exit 2
status=0
forbid() { # folder, pattern, what
    local hits
    hits=$(grep -rnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"]($2)" "$1" 2>/dev/null)
    if [ -n "$hits" ]; then
        echo "$1 must not include $3:"
        echo "$hits"
        status=1
    fi
}
forbid model 'files/|link/|report/|diagram/|editors/|app/|cli/|Q[A-Za-z]+|qt' 'Qt or any other layer'
for core in files link report; do
    forbid "$core" 'diagram/|editors/|app/|cli/|QtWidgets|QtGui|QWidget|QApplication|QPainter' 'window code'
done
# Files are read and written without the stick link: what both need (the module's memory map) is in model/.
forbid files 'link/' 'the stick link'
forbid diagram 'editors/|app/' 'the editors or the window'
forbid editors 'app/' 'the window'
forbid cli 'diagram/|editors/|app/|QtWidgets|QWidget|QApplication' 'window code'
[ $status -eq 0 ] && echo "layers: every include is allowed"
exit $status

#!/usr/bin/env bash
# The Debian package, made from this build tree by its own CPack configuration (the package that
# scripts/package.sh makes from a Release build holds the same files): its name, its file list and
# permissions, its control fields, the desktop entry and AppStream metainfo, and lintian without errors.
# Lintian's warnings are printed, not failed on.
set -u
build=${1:?usage: package.sh BUILD_DIR VERSION_TEXT}
version_text=${2:?usage: package.sh BUILD_DIR VERSION_TEXT}

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
for tool in cpack dpkg-deb dpkg-shlibdeps lintian; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/test.sh installs it)"; exit 1; }
done

work="$build/package-check"
rm -rf "$work"
mkdir -p "$work"
# Stripping and compressing a sanitizer build's binaries is the slow part; gzip at its fastest keeps it short.
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip \
        >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack"
    exit 1
fi
debs=("$work"/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { ls -l "$work"; echo "FAIL: not exactly one .deb"; exit 1; }
deb=${debs[0]}

# --- Name and control fields --------------------------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
version=$(field Version)
case "$version" in
"$version_text"-[0-9]*) ;;
*) fail "Version '$version' is not the program's version $version_text with a packaging revision" ;;
esac
[ "$(basename "$deb")" = "lumeq-config_${version}_amd64.deb" ] || fail "file name $(basename "$deb")"
[ "$(field Package)" = lumeq-config ] || fail "Package '$(field Package)'"
[ "$(field Architecture)" = amd64 ] || fail "Architecture '$(field Architecture)'"
[ "$(field Section)" = electronics ] || fail "Section '$(field Section)'"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer '$(field Maintainer)'"
depends=$(field Depends)
# Computed from the programs' links: the window's Qt libraries, libharu, the C++ run time.
for lib in libqt6widgets6 libqt6svg6 libqt6core6 libhpdf-2.3.0 libstdc++6 libc6; do
    [[ ", $depends," == *", $lib "* || ", $depends," == *", $lib,"* ]] || fail "Depends lacks $lib: $depends"
done
[[ "$(field Recommends)" == *libhidapi-hidraw0* ]] || fail "Recommends '$(field Recommends)' lacks libhidapi-hidraw0"
[ -n "$(field Description)" ] || fail "no Description"

# --- File list -----------------------------------------------------------------------------------------
dpkg-deb -c "$deb" >"$work/contents.txt" || fail "dpkg-deb -c"
# "-rw-r--r-- root/root 1234 2025-01-01 00:00 ./usr/bin/x" -> "-rw-r--r-- root/root usr/bin/x"
awk '{ path = $6; for (i = 7; i <= NF; ++i) path = path " " $i; sub(/^\.\//, "", path); sub(/\/$/, "", path);
       if (path != "" && path != ".") print $1 " " $2 " " path }' "$work/contents.txt" >"$work/files.txt"
echo "--- package contents"
cat "$work/files.txt"

app_id=$(sed -n 's|.* usr/share/applications/\(.*\)\.desktop$|\1|p' "$work/files.txt")
[ "$(echo "$app_id" | wc -w)" -eq 1 ] || fail "not exactly one desktop entry in usr/share/applications"
required=(
    "-rwxr-xr-x usr/bin/lumeq-config"
    "-rwxr-xr-x usr/bin/lumeq-cli"
    "-rw-r--r-- usr/share/applications/$app_id.desktop"
    "-rw-r--r-- usr/share/icons/hicolor/scalable/apps/$app_id.svg"
    "-rw-r--r-- usr/share/metainfo/$app_id.metainfo.xml"
    "-rw-r--r-- usr/lib/udev/rules.d/70-lumeq-stick.rules"
    "-rw-r--r-- usr/share/lumeq-config/pdf.ini"
    "-rw-r--r-- usr/share/doc/lumeq-config/copyright"
    "-rw-r--r-- usr/share/doc/lumeq-config/changelog.Debian.gz"
    "-rw-r--r-- usr/share/man/man1/lumeq-config.1.gz"
    "-rw-r--r-- usr/share/man/man1/lumeq-cli.1.gz"
    "-rw-r--r-- usr/share/bash-completion/completions/lumeq-cli"
)
here=$(cd "$(dirname "$0")/.." && pwd)
for curve in "$here"/res/DimmingCurve/*.dc; do
    required+=("-rw-r--r-- usr/share/lumeq-config/DimmingCurve/$(basename "$curve")")
done
for entry in "${required[@]}"; do
    mode=${entry%% *}
    path=${entry#* }
    grep -qxF -- "$mode root/root $path" "$work/files.txt" || fail "missing or wrong mode/owner: $mode root/root $path"
done
# Everything owned by root, directories 0755, nothing outside the places a package of this kind uses,
# nothing of the build (libraries, headers, test firmware, sanitizer options).
allowed='^usr/(bin/lumeq-(config|cli)|share/(applications|icons/hicolor|metainfo|lumeq-config|doc/lumeq-config|man/man1|lintian/overrides|bash-completion/completions)(/.*)?|lib/udev/rules.d(/.*)?)$'
while read -r mode owner path; do
    [ "$owner" = root/root ] || fail "$path is owned by $owner"
    [[ $mode != d* || $mode == drwxr-xr-x ]] || fail "directory $path has mode $mode"
    [[ $mode != d* ]] || continue
    [[ $path =~ $allowed ]] || fail "unexpected file $path"
    [[ $path != *.a && $path != *.h && $path != *.qfw && $path != *.so* ]] || fail "build product in the package: $path"
done <"$work/files.txt"

# --- Desktop entry, metainfo, binaries -----------------------------------------------------------------
mkdir -p "$work/root"
dpkg-deb -x "$deb" "$work/root"
grep -qx "Exec=lumeq-config" "$work/root/usr/share/applications/$app_id.desktop" || fail "desktop entry does not start lumeq-config"
grep -qx "Icon=$app_id" "$work/root/usr/share/applications/$app_id.desktop" || fail "desktop entry's icon is not $app_id"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$work/root/usr/share/applications/$app_id.desktop" || fail "desktop-file-validate"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$work/root/usr/share/metainfo/$app_id.metainfo.xml" || fail "appstreamcli validate"
fi
for program in lumeq-config lumeq-cli; do
    file "$work/root/usr/bin/$program" | grep -q ", stripped" || fail "usr/bin/$program is not stripped"
done
grep -q '^\[Header\]' "$work/root/usr/share/lumeq-config/pdf.ini" || fail "pdf.ini has no [Header] section"

# --- lintian: no errors -------------------------------------------------------------------------------
echo "--- lintian"
lintian --tag-display-limit 0 --display-info "$deb" >"$work/lintian.txt" 2>&1
cat "$work/lintian.txt"
if grep -q '^E: ' "$work/lintian.txt"; then
    fail "lintian reports errors"
fi

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "package: $(basename "$deb") holds every file and lintian reports no errors"
rm -rf "$work/root"

# Debian 12 packages the project needs, and a helper that installs whichever are missing.
# Sourced by run.sh and test.sh.

LUMEQ_BUILD_PACKAGES="cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools qt6-svg-dev libhpdf-dev"
LUMEQ_RUNTIME_PACKAGES="libhidapi-hidraw0 libhidapi-libusb0"
LUMEQ_TEST_PACKAGES="libgtest-dev poppler-utils dpkg-dev file lintian desktop-file-utils appstream"
# Making the Debian package (scripts/package.sh); the test command checks one made from its build.
LUMEQ_PACKAGE_PACKAGES="dpkg-dev file"

lumeq_install_missing() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

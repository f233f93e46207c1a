#!/usr/bin/env bash
# Installs what is missing, makes a Release build for installation (no tests, benchmarks, sanitizers or
# test firmware) in build-package with Debian's hardening flags, and makes the Debian package
# lumeq-config_<version>_amd64.deb from it. Prints the package's path.
# Parameters are passed to CMake's configure step, e.g. -DLUMEQ_FIRMWARE_50HZ=/path/to/standard.qfw.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
lumeq_install_missing $LUMEQ_BUILD_PACKAGES $LUMEQ_RUNTIME_PACKAGES $LUMEQ_PACKAGE_PACKAGES

# Debian's build flags (fortified functions, stack protector, read-only relocations); CMake reads no
# CPPFLAGS, so those go with the compiler flags.
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
# --as-needed keeps libraries the programs use no symbol of (OpenGL through Qt's link interface) out of
# the package's dependencies.
LDFLAGS="$(dpkg-buildflags --get LDFLAGS) -Wl,--as-needed"
export CXXFLAGS LDFLAGS

# Release at Debian's -O2 (CMake's -O3 on top of these flags makes g++ 12 crash on src/link/simstate.cpp).
# Without the tests there is no test firmware either.
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG" \
      -DCMAKE_INSTALL_PREFIX=/usr -DLUMEQ_BUILD_TESTS=OFF -DLUMEQ_BUILD_BENCH=OFF -DLUMEQ_SANITIZE=OFF "$@"
cmake --build build-package -j2
(cd build-package && cpack -G DEB >cpack.log) || { cat build-package/cpack.log >&2; exit 1; }
package=$(ls -t build-package/lumeq-config_*.deb | head -n 1)
echo "$(pwd)/$package"

#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
lumeq_install_missing $LUMEQ_BUILD_PACKAGES $LUMEQ_RUNTIME_PACKAGES $LUMEQ_TEST_PACKAGES
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLUMEQ_SANITIZE=ON
cmake --build build-test -j2
cd build-test
ctest --output-on-failure -j2 --timeout 300

#!/usr/bin/env bash
# Installs what is missing, builds Lumeq Config and starts it. Parameters are passed to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
lumeq_install_missing $LUMEQ_BUILD_PACKAGES $LUMEQ_RUNTIME_PACKAGES
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMEQ_BUILD_TESTS=OFF -DLUMEQ_BUILD_BENCH=OFF
cmake --build build -j2
exec ./build/src/lumeq-config "$@"

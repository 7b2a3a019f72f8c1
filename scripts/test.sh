#!/usr/bin/env bash
# Builds Vitrion and runs the whole test suite on a Debian 12 machine:
#   1. every layer's unit suites under AddressSanitizer + UndefinedBehaviorSanitizer (g++),
#   2. the end-to-end suite against the optimised binary under a real X server, then everyday
#      programs (vim, less, htop, tmux, mc, ...) in the same window,
#   3. the Debian package of the optimised build: linted, installed, run and removed,
#   4. a short libFuzzer smoke of the engine (clang).
# Longer runs: `ctest --test-dir build/release -L soak` and `-L bench` (see bench/README.md).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

bash scripts/install-deps.sh

echo "== unit suites (ASan + UBSan)"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVITRION_SANITIZE=ON -DVITRION_WERROR=ON \
    -DVITRION_BUILD_BENCH=OFF
cmake --build build/asan -j "$jobs"
ctest --test-dir build/asan -L 'engine|session|terminal|settings|view|app' --output-on-failure -j "$jobs"

echo "== end-to-end suite (optimised build, real X server)"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVITRION_WERROR=ON
cmake --build build/release -j "$jobs"
ctest --test-dir build/release -L e2e --output-on-failure
ctest --test-dir build/release -L programs --output-on-failure

echo "== Debian package (cpack, lintian, install, run, remove)"
bash scripts/package-test.sh build/release

echo "== fuzzing smoke (libFuzzer, ASan + UBSan)"
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DVITRION_FUZZ=ON -DVITRION_BUILD_QT=OFF -DVITRION_BUILD_BENCH=OFF -DVITRION_WERROR=ON
cmake --build build/fuzz -j "$jobs"
ctest --test-dir build/fuzz -L fuzz --output-on-failure

#!/usr/bin/env bash
# Installs what Vitrion needs, builds it optimised and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/release -j "$(nproc)" --target vitrion
exec build/release/app/vitrion "$@"

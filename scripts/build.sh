#!/usr/bin/env bash
# Configures and builds the program, the command-line front end, the tests
# and the benchmarks into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build "$@"

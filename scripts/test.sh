#!/usr/bin/env bash
# Builds everything and runs the whole test suite: the engine and window
# tests, then the engine tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 300)
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZJIG_ENGINE_ONLY=ON -DZJIG_SANITIZE=ON >/dev/null
ninja -C build-asan zjig_tests
(cd build-asan && ctest --output-on-failure -j2 --timeout 300)

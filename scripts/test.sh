#!/usr/bin/env bash
# Installs what is missing, builds Quadrix and runs the whole test suite through CTest,
# first in the ordinary build, then with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
export QT_QPA_PLATFORM=offscreen
bash "$root/scripts/build.sh" build
(cd "$root/build" && ctest --output-on-failure -j2 --timeout 600)
if [ "${QUADRIX_SKIP_SANITIZE:-0}" != 1 ]; then
  # Light optimisation and line tables only: the sanitizers find the faults, and the build takes half the time.
  bash "$root/scripts/build.sh" build-asan -DQUADRIX_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1"
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  (cd "$root/build-asan" && ctest --output-on-failure -j2 --timeout 600)
fi

#!/usr/bin/env bash
# Configures and builds into the given folder; extra arguments go to CMake.
set -euo pipefail
dir=${1:-build}; shift || true
cd "$(dirname "$0")/.."
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$dir" -j2

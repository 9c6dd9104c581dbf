#!/usr/bin/env bash
# Installs what is missing, builds Quadrix and starts it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" build
exec "$root/build/src/app/quadrix"

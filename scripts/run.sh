#!/usr/bin/env bash
# Builds Kelvane and starts it; arguments are passed on.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
exec ./build/kelvane "$@"

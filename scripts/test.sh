#!/usr/bin/env bash
# Builds Kelvane and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
ctest --test-dir build --output-on-failure --parallel "$(nproc)" "$@"

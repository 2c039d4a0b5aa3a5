#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds everything (the application, its tests, benchmarks and tools) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
ctest --test-dir build --output-on-failure --parallel "$(nproc)" "$@"

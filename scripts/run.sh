#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the application alone (no tests or benchmarks) and starts it; arguments are passed on.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh --target kelvane
exec ./build/kelvane "$@"

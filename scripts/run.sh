#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the application alone (no tests or benchmarks) and starts it; arguments are passed on.
# What the build says goes to standard error: standard output is the program's alone,
# so `run.sh --auto-recompress > log` holds only its lines.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh --target kelvane >&2
exec ./build/kelvane "$@"

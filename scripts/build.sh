#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Configures and builds Kelvane into build/ (installs missing packages first).
# Arguments go to the build: `--target kelvane` builds the application alone.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build build --parallel "$(nproc)" "$@"

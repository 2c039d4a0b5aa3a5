#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A copy of the repository with nothing beside it (no ../shared, no
# KELVANE_TESTDATA_DIR) configures, makes its own test corpus folder setting,
# and builds the application.
# Usage: standalone_build_test.sh SOURCE_DIR WORK_DIR
set -euo pipefail
source=$1 work=$2
copy=$work/kelvane
rm -rf "$work"
mkdir -p "$copy"
if git -C "$source" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  # The files a clone would have, plus new ones not yet committed.
  (cd "$source" && git ls-files -z --cached --others --exclude-standard |
     while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
     tar --null -T - -cf -) | tar -xf - -C "$copy"
else
  (cd "$source" && tar --exclude='./build*' -cf - .) | tar -xf - -C "$copy"
fi
[ ! -e "$work/shared" ] || { echo "$work/shared must not exist"; exit 1; }

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # The copy's path is the same on every run; ccache may key on it.
  export CCACHE_BASEDIR=$work CCACHE_NOHASHDIR=1
fi
env -u KELVANE_TESTDATA_DIR cmake -S "$copy" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  "${launcher[@]}" >"$work/configure.log" 2>&1 || { cat "$work/configure.log"; exit 1; }
grep -q "Test corpus: $work/build/testdata/corpus" "$work/configure.log" ||
  { echo "the copy did not plan its own corpus:"; cat "$work/configure.log"; exit 1; }
cmake --build "$work/build" --target kelvane --parallel "${KELVANE_BUILD_JOBS:-$(nproc)}" >"$work/build.log" 2>&1 ||
  { tail -n 50 "$work/build.log"; exit 1; }
"$work/build/kelvane" --version
rm -rf "$work"

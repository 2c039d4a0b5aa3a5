#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Every source file names its licence in its first lines.
# Usage: licence_identifiers_test.sh SOURCE_DIR
set -euo pipefail
cd "$1"
missing=0
while IFS= read -r -d '' file; do
  if ! head -n 3 "$file" | grep -q 'SPDX-License-Identifier: MIT'; then
    echo "no SPDX-License-Identifier: $file"
    missing=$((missing + 1))
  fi
done < <(find src tests bench tools cmake scripts packaging .ci CMakeLists.txt \
           -path tests/data -prune -o -type f \
           \( -name '*.cpp' -o -name '*.h' -o -name '*.in' -o -name '*.py' -o -name '*.sh' \
              -o -name '*.cmake' -o -name 'CMakeLists.txt' -o -path '.ci/run' \) -print0)
echo "$missing file(s) without an identifier"
[ "$missing" -eq 0 ]

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The version being built is the newest release in the AppStream metadata and
# the first entry of CHANGELOG.md.
# Usage: release_notes_test.sh SOURCE_DIR VERSION
set -euo pipefail
source=$1 version=$2
metainfo=$(grep -o '<release version="[^"]*"' "$source/packaging/com.orbwright.kelvane.metainfo.xml" | head -n1 | cut -d'"' -f2)
changelog=$(grep -m1 '^## ' "$source/CHANGELOG.md" | awk '{print $2}')
status=0
[ "$metainfo" = "$version" ] || { echo "metainfo's newest release is $metainfo, the build is $version"; status=1; }
[ "$changelog" = "$version" ] || { echo "CHANGELOG.md starts with $changelog, the build is $version"; status=1; }
exit $status

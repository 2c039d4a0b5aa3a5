#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a validator over installed files; exits 77 (skipped) with the reason
# when the validator is not installed.
# Usage: validate_test.sh desktop|metainfo|man PREFIX
set -euo pipefail
kind=$1 prefix=$2
id=com.orbwright.kelvane
need() {
  if ! command -v "$1" >/dev/null; then
    echo "SKIPPED: $1 is not installed (Debian package $2; scripts/install-deps.sh installs it)"
    exit 77
  fi
}
case $kind in
  desktop)
    need desktop-file-validate desktop-file-utils
    desktop-file-validate "$prefix/share/applications/$id.desktop"
    ;;
  metainfo)
    need appstreamcli appstream
    metainfo=$prefix/share/metainfo/$id.metainfo.xml
    appstreamcli validate --no-net --pedantic "$metainfo"
    # Software centres find a package by the commands it provides: every installed one is named.
    for program in "$prefix"/bin/*; do
      name=$(basename "$program")
      grep -q "<binary>$name</binary>" "$metainfo" || { echo "<provides> does not name $name"; exit 1; }
    done
    ;;
  man)
    need man man-db
    status=0
    for page in "$prefix"/share/man/man1/*.1.gz; do
      # man prints formatting problems on standard error; any of them fails the page.
      warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
      if [ -n "$warnings" ]; then
        echo "$(basename "$page"):"; echo "$warnings"; status=1
      fi
    done
    exit $status
    ;;
  *) echo "unknown check $kind"; exit 2 ;;
esac

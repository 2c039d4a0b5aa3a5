#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# scripts/install-deps.sh as a user who is not root: with sudo it installs
# only what is missing through sudo; without sudo it names what is missing and
# stops before apt, instead of failing on a command that is not there.
# Runs against stand-ins for dpkg-query, id, sudo and apt-get.
# Usage: install_deps_test.sh SOURCE_DIR
set -euo pipefail
source=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bin=$work/bin
mkdir "$bin"
for tool in bash grep; do ln -s "$(command -v "$tool")" "$bin/$tool"; done
printf '#!/bin/sh\necho 1000\n' >"$bin/id"
# Everything is installed but g++ and lintian.
cat >"$bin/dpkg-query" <<'STUB'
#!/bin/sh
for last; do :; done
case $last in g++|lintian) exit 1 ;; esac
echo "install ok installed"
STUB
printf '#!/bin/sh\necho "apt-get $*" >>"%s/calls"\n' "$work" >"$bin/apt-get"
chmod +x "$bin/id" "$bin/dpkg-query" "$bin/apt-get"

status=0
run() { env -i PATH="$bin" bash "$source/scripts/install-deps.sh" >"$work/out" 2>"$work/err"; }

# No sudo on the machine.
if run; then echo "without sudo: exited 0"; status=1; fi
[ ! -e "$work/calls" ] || { echo "without sudo: apt ran:"; cat "$work/calls"; status=1; }
grep -q 'g++ lintian' "$work/err" || { echo "without sudo: the missing packages are not named:"; cat "$work/err"; status=1; }
if grep -q 'command not found' "$work/err"; then echo "without sudo: $(cat "$work/err")"; status=1; fi

# With sudo: apt runs through it, for the missing packages only.
printf '#!/bin/sh\necho "sudo $*" >>"%s/calls"\n' "$work" >"$bin/sudo"
chmod +x "$bin/sudo"
run || { echo "with sudo: failed"; cat "$work/err"; status=1; }
expected="sudo apt-get update -q
sudo apt-get install -y -q --no-install-recommends g++ lintian"
[ "$(cat "$work/calls" 2>/dev/null)" = "$expected" ] || {
  echo "with sudo, expected:"; echo "$expected"; echo "got:"; cat "$work/calls" 2>/dev/null; status=1; }
exit $status

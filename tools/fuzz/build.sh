#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds the fuzz targets with libFuzzer and the address and undefined
# behaviour sanitizers (CMake option KELVANE_FUZZ, clang), and seeds their
# corpora from the shared LZFSE vectors. Run by hand, for example:
#   tools/fuzz/build.sh
#   build-fuzz/lzfse_decode_fuzz -max_total_time=300 build-fuzz/corpus-lzfse
#   build-fuzz/lzvn_decode_fuzz -max_total_time=300 build-fuzz/corpus-lzvn
#   build-fuzz/roundtrip_fuzz -max_total_time=300 build-fuzz/corpus-roundtrip
#   build-fuzz/decmpfs_inode_fuzz -max_total_time=300 build-fuzz/corpus-inode
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:-"$root/build-fuzz"}
vectors="$root/tests/data/lzfse/vectors"
mkdir -p "$out"

# The targets are built by CMake from the libraries' own source lists.
cmake -S "$root" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DKELVANE_FUZZ=ON -DKELVANE_BUILD_TESTS=OFF -DKELVANE_BUILD_BENCH=OFF >/dev/null
cmake --build "$out" --parallel 3 --target kelvane_fuzz
for target in lzfse_decode_fuzz lzvn_decode_fuzz roundtrip_fuzz decmpfs_inode_fuzz; do
    ln -sf "$out/tools/fuzz/$target" "$out/$target"
    echo "built $out/$target"
done

# Seeds: every vector stream; for LZVN the payloads of the `bvxn` blocks,
# behind the two bytes that choose the prefix length (0). Beside them the
# hand-made ones in corpus/: blocks at the edges of what the decoder accepts.
mkdir -p "$out/corpus-lzfse" "$out/corpus-lzvn" "$out/corpus-roundtrip" "$out/corpus-inode"
cp "$vectors"/*.lzfse "$root/tools/fuzz/corpus/lzfse"/* "$out/corpus-lzfse/"
cp "$root/tools/fuzz/corpus/lzvn"/* "$out/corpus-lzvn/"
head -c 5000 "$vectors/multiblock-text-1m.raw" > "$out/corpus-roundtrip/text"
for f in "$vectors"/*.lzfse; do
    python3 - "$f" "$out/corpus-lzvn/$(basename "$f" .lzfse)" <<'PY'
import struct, sys
s = open(sys.argv[1], 'rb').read()
if s[:4] == b'bvxn' and len(s) >= 12:
    n = struct.unpack_from('<I', s, 8)[0]
    open(sys.argv[2], 'wb').write(b'\0\0' + s[12:12 + n])
PY
done

# Inodes: the shared decmpfs vectors, each as attribute length, attribute, fork.
for f in "$vectors"/../../decmpfs/*.decmpfs; do
    python3 - "$f" "$out/corpus-inode/$(basename "$f" .decmpfs)" <<'PY'
import os, struct, sys
attribute = open(sys.argv[1], 'rb').read()
fork_path = sys.argv[1][:-len('.decmpfs')] + '.rsrc'
fork = open(fork_path, 'rb').read() if os.path.exists(fork_path) else b''
open(sys.argv[2], 'wb').write(struct.pack('<H', len(attribute)) + attribute + fork)
PY
done

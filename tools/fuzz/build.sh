#!/bin/sh
# Builds the decoder fuzz targets with libFuzzer and the address and undefined
# behaviour sanitizers, and seeds their corpora from the shared LZFSE vectors.
# Run by hand, for example:
#   tools/fuzz/build.sh
#   build-fuzz/lzfse_decode_fuzz -max_total_time=300 build-fuzz/corpus-lzfse
#   build-fuzz/lzvn_decode_fuzz -max_total_time=300 build-fuzz/corpus-lzvn
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:-"$root/build-fuzz"}
vectors=${KELVANE_TESTDATA_DIR:-"$root/../shared/testdata"}/lzfse/vectors
[ -d "$vectors" ] || vectors=/work/shared/testdata/lzfse/vectors
mkdir -p "$out"

flags="-std=c++20 -O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I$root/src"
codec="$root/src/codec/LzfseDecoder.cpp $root/src/codec/LzvnDecoder.cpp $root/src/codec/LzfseBlockHeader.cpp $root/src/codec/Fse.cpp"
for target in lzfse_decode_fuzz lzvn_decode_fuzz; do
    clang++ $flags "$root/tools/fuzz/$target.cpp" $codec -o "$out/$target"
    echo "built $out/$target"
done

# Seeds: every vector stream; for LZVN the payloads of the `bvxn` blocks,
# behind the two bytes that choose the prefix length (0).
mkdir -p "$out/corpus-lzfse" "$out/corpus-lzvn"
cp "$vectors"/*.lzfse "$out/corpus-lzfse/"
for f in "$vectors"/*.lzfse; do
    python3 - "$f" "$out/corpus-lzvn/$(basename "$f" .lzfse)" <<'PY'
import struct, sys
s = open(sys.argv[1], 'rb').read()
if s[:4] == b'bvxn' and len(s) >= 12:
    n = struct.unpack_from('<I', s, 8)[0]
    open(sys.argv[2], 'wb').write(b'\0\0' + s[12:12 + n])
PY
done

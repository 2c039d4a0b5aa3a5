#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Runs Kelvane's encoder (through lzfse_tool) and judges every stream with lzfse_check.

usage: lzfse_independent_check.py LZFSE_TOOL CORPUS_DIR

Inputs: edge sizes of text, random bytes and zeros; every 64 KiB chunk of
every corpus file, each its own stream as the engine writes them; one whole
stream of 1 MiB of text (blocks full of triples) and one of random hex digits
(blocks full of literals). Each stream must decode to its
input under the encoder rules (--strict-ours). Failing streams and their
inputs are kept in ./lzfse_check_failures for a closer look.
"""

import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lzfse_check  # noqa: E402

CHUNK = 64 * 1024
EDGE_SIZES = list(range(1, 10)) + [100, 1000, 3000, 4095, 4096, 4097, 16384]
TEXT_FILE = "text-headers.bin"
WHOLE_TEXT = 1024 * 1024
KEEP_FOLDER = "lzfse_check_failures"


class Run:
    def __init__(self, tool, work, keep):
        self.tool, self.work, self.keep = tool, work, keep
        self.streams = self.bytes_in = self.bytes_out = 0
        self.failures = []

    def tool_call(self, *args):
        done = subprocess.run([self.tool, *args], capture_output=True, text=True)
        if done.returncode:
            raise RuntimeError("lzfse_tool %s failed: %s" % (" ".join(args), done.stderr.strip()))

    def judge(self, label, stream, data):
        self.streams += 1
        self.bytes_in += len(data)
        self.bytes_out += len(stream)
        out, violations = lzfse_check.check_stream(stream, strict_ours=True)
        if not violations and out != data:
            violations = ["decoded bytes differ from the input (%d decoded, %d expected)" % (len(out), len(data))]
        if violations:
            self.failures.append((label, violations))
            self.save(label, stream, data)

    def save(self, label, stream, data):
        os.makedirs(self.keep, exist_ok=True)
        base = os.path.join(self.keep, "".join(c if c.isalnum() or c in "-_." else "_" for c in label))
        with open(base + ".lzfse", "wb") as f:
            f.write(stream)
        with open(base + ".raw", "wb") as f:
            f.write(data)

    def encode(self, label, data):
        src = os.path.join(self.work, "input")
        dst = os.path.join(self.work, "stream")
        with open(src, "wb") as f:
            f.write(data)
        self.tool_call("encode", src, dst)
        with open(dst, "rb") as f:
            self.judge(label, f.read(), data)

    def chunks(self, path):
        name = os.path.basename(path)
        folder = os.path.join(self.work, name + ".chunks")
        self.tool_call("chunks", path, folder)
        with open(path, "rb") as f:
            data = f.read()
        count = (len(data) + CHUNK - 1) // CHUNK
        # every chunk: about 11 s for the whole corpus
        for index in range(count):
            with open(os.path.join(folder, "chunk-%06d.lzfse" % index), "rb") as f:
                stream = f.read()
            self.judge("%s chunk %d of %d" % (name, index, count), stream,
                       data[index * CHUNK:(index + 1) * CHUNK])
        shutil.rmtree(folder)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("tool")
    parser.add_argument("corpus")
    args = parser.parse_args()
    keep = os.path.abspath(KEEP_FOLDER)

    corpus = sorted(os.path.join(args.corpus, n) for n in os.listdir(args.corpus) if n.endswith(".bin"))
    with open(os.path.join(args.corpus, TEXT_FILE), "rb") as f:
        text = f.read(WHOLE_TEXT)
    if len(text) < WHOLE_TEXT or not corpus:
        sys.exit("corpus incomplete: %s" % args.corpus)

    started = time.monotonic()
    shutil.rmtree(keep, ignore_errors=True)
    with tempfile.TemporaryDirectory(prefix="lzfse-check-") as work:
        run = Run(args.tool, work, keep)
        rng = random.Random(7411)
        for size in EDGE_SIZES:
            run.encode("text-%d" % size, text[:size])
            run.encode("random-%d" % size, bytes(rng.getrandbits(8) for _ in range(size)))
            run.encode("zeros-%d" % size, bytes(size))
        for path in corpus:
            run.chunks(path)
        run.encode("text-whole-%d" % WHOLE_TEXT, text)
        hex_digits = bytes(range(48, 58)) + bytes(range(97, 103))
        run.encode("hex-digits-%d" % WHOLE_TEXT, rng.randbytes(WHOLE_TEXT).translate(hex_digits * 16))

    for label, violations in run.failures:
        for v in violations:
            print("FAIL %s: %s" % (label, v))
    print("%d streams checked, %d input bytes, %d stream bytes (ratio %.4f), %d failing, %.1f s"
          % (run.streams, run.bytes_in, run.bytes_out, run.bytes_out / max(run.bytes_in, 1),
             len(run.failures), time.monotonic() - started))
    if run.failures:
        print("failing streams and their inputs kept in %s" % keep)
    return 1 if run.failures else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Holds lzfse_check.py to the reference streams and to streams damaged on purpose.

usage: lzfse_check_test.py VECTOR_DIR [unittest options]

A checker that passes everything is worthless, so every rule it enforces is
also shown to fire: on the bad reference streams, on good streams with one
field or bit changed, and on small streams written here that break one
encoder rule each.
"""

import os
import random
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lzfse_check as lc  # noqa: E402

VECTORS = None


def read(name):
    with open(os.path.join(VECTORS, name), "rb") as f:
        return f.read()


def manifest():
    with open(os.path.join(VECTORS, "MANIFEST.tsv"), encoding="utf-8") as f:
        head, *rows = [line.rstrip("\n").split("\t") for line in f if line.strip()]
    return [dict(zip(head, row)) for row in rows]


def patched(data, at, new_bytes):
    return data[:at] + bytes(new_bytes) + data[at + len(new_bytes):]


def set_bits(data, at, shift, width, value):
    """Replaces a bit field of the little-endian 64-bit word at `at`."""
    word = int.from_bytes(data[at:at + 8], "little")
    mask = ((1 << width) - 1) << shift
    word = (word & ~mask) | ((value << shift) & mask)
    return patched(data, at, word.to_bytes(8, "little"))


def v2_layout(data, at=0):
    """Offsets of one bvx2 block: (table end, literal payload end, L/M/D payload end)."""
    w0 = int.from_bytes(data[at + 8:at + 16], "little")
    w1 = int.from_bytes(data[at + 16:at + 24], "little")
    w2 = int.from_bytes(data[at + 24:at + 32], "little")
    header_end = at + (w2 & 0xFFFFFFFF)
    lit_end = header_end + ((w0 >> 20) & 0xFFFFF)
    return header_end, lit_end, lit_end + ((w1 >> 40) & 0xFFFFF)


# -- a small bvx2 writer, so that single encoder rules can be broken ---------

def table_code(freqs):
    acc = nbits = 0
    for v in freqs:
        if v < 2:
            code, n = v << 1, 2
        elif v < 4:
            code, n = 1 | (v - 2) << 2, 3
        elif v < 8:
            code, n = 3 | (v - 4) << 3, 5
        elif v < 24:
            code, n = 7 | (v - 8) << 4, 8
        else:
            code, n = 15 | (v - 24) << 4, 14
        acc |= code << nbits
        nbits += n
    return acc.to_bytes((nbits + 7) // 8, "little")


def spread(symbols, nsymbols, total):
    """Frequencies giving every used symbol a share of `total` states."""
    used = sorted(set(symbols)) or [0]
    freqs = [0] * nsymbols
    for i, s in enumerate(used):
        freqs[s] = total // len(used) + (1 if i < total % len(used) else 0)
    return freqs


def chain(freqs, nstates, symbols):
    """FSE-encodes `symbols` backwards: (start state, [(bits, count)] in reading order)."""
    table = lc.FseTable(freqs, nstates)
    states_of = {}
    for state, entry in enumerate(table.entries):
        if entry:
            states_of.setdefault(entry[0], []).append((state,) + entry[1:])
    target, steps = 0, []
    for sym in reversed(symbols):
        state, k, base = next(s for s in states_of[sym] if s[2] <= target < s[2] + (1 << s[1]))
        steps.append((target - base, k))
        target = state
    steps.reverse()
    return target, steps


def value_symbol(value, extra, base):
    sym = max(s for s in range(len(base)) if base[s] <= value)
    assert value - base[sym] < 1 << extra[sym]
    return sym, value - base[sym]


def bit_payload(pulls, zero_prefix):
    """Bytes a backward reader turns into `pulls`, plus the final-byte bit count."""
    acc = nbits = 0
    for value, n in pulls:
        acc = (acc << n) | value
        nbits += n
    size = (nbits + 7) // 8
    body = acc.to_bytes(size, "little") if size else b""
    return (bytes(8) if zero_prefix else b"") + body, nbits - 8 * size


def bvx2_block(triples, literals, n_literals=None, zero_prefix=True, short_by=None, literal_lead=b""):
    """One bvx2 block for (L, M, D) triples taking `literals` in order.

    `short_by` maps a table name (L, M, D, literal) to states left out of
    its frequency sum; `literal_lead` goes in front of the literal bits.
    """
    short_by = short_by or {}
    n_lit = (len(literals) + 3) & ~3 if n_literals is None else n_literals
    symbols = list(literals) + [literals[-1] if literals else 0] * (((n_lit + 3) & ~3) - len(literals))
    lit_freqs = spread(symbols, 256, lc.LITERAL_STATES - short_by.get("literal", 0))
    lanes = [chain(lit_freqs, lc.LITERAL_STATES, symbols[lane::4]) for lane in range(4)]
    lit_pulls = [lanes[i & 3][1][i >> 2] for i in range(len(symbols))]
    lit_payload, lit_bits = bit_payload(lit_pulls, zero_prefix=False)
    lit_payload = literal_lead + lit_payload

    coded, freqs, starts = [], [], []
    for col, (name, nsym, nstates, extra, base) in enumerate((
            ("L", 20, lc.L_STATES, lc.L_EXTRA, lc.L_BASE),
            ("M", 20, lc.M_STATES, lc.M_EXTRA, lc.M_BASE),
            ("D", 64, lc.D_STATES, lc.D_EXTRA, lc.D_BASE))):
        syms, extras = zip(*(value_symbol(t[col], extra, base) for t in triples))
        f = spread(syms, nsym, nstates - short_by.get(name, 0))
        start, steps = chain(f, nstates, list(syms))
        coded.append([((b << extra[s]) | x, k + extra[s]) for (b, k), s, x in zip(steps, syms, extras)])
        freqs += f
        starts.append(start)
    lmd_pulls = [p for triple in zip(*coded) for p in triple]
    lmd_payload, lmd_bits = bit_payload(lmd_pulls, zero_prefix)

    tables = table_code(freqs + lit_freqs)
    w0 = n_lit | len(lit_payload) << 20 | len(triples) << 40 | (lit_bits + 7) << 60
    w1 = sum(lanes[i][0] << (10 * i) for i in range(4)) | len(lmd_payload) << 40 | (lmd_bits + 7) << 60
    w2 = (lc.V2_FIXED_HEADER + len(tables)) | starts[0] << 32 | starts[1] << 42 | starts[2] << 52
    raw_size = sum(t[0] + t[1] for t in triples)
    return (lc.MAGIC_V2 + raw_size.to_bytes(4, "little") + w0.to_bytes(8, "little")
            + w1.to_bytes(8, "little") + w2.to_bytes(8, "little") + tables + lit_payload + lmd_payload)


def lz_output(triples, literals, prior=b""):
    out, pos, d_prev = bytearray(prior), 0, None
    for L, M, D in triples:
        out += literals[pos:pos + L]
        pos += L
        d_prev = D or d_prev
        for _ in range(M):
            out.append(out[-d_prev])
    return bytes(out[len(prior):])


def random_triples(rng, count, alphabet=b"abcdefgh"):
    """Triples whose matches stay inside what the block has produced so far."""
    triples, literals, produced = [], bytearray(), 0
    for i in range(count):
        L = rng.choice([0, 1, 2, 5, 17, 40, 315]) if produced else rng.randint(1, 30)
        literals += bytes(rng.choice(alphabet) for _ in range(L))
        produced += L
        M = rng.choice([3, 4, 9, 100, 2359])
        D = 0 if i and rng.random() < 0.2 else rng.randint(1, min(produced, 262139))
        triples.append((L, M, D))
        produced += M
    # long enough for a bvx2 block to be the encoder's choice
    triples += [(0, 2359, 1), (0, 2359, 0), (7, 0, 0)]
    literals += bytes(rng.choice(alphabet) for _ in range(7))
    return triples, bytes(literals)


END = lc.MAGIC_END


class ReferenceStreams(unittest.TestCase):
    def test_good_vectors_decode_and_encoder_made_ones_meet_our_rules(self):
        for row in manifest():
            if row["expect"] != "ok":
                continue
            with self.subTest(vector=row["name"]):
                stream, raw = read(row["name"] + ".lzfse"), read(row["name"] + ".raw")
                out, violations = lc.check_stream(stream)
                self.assertEqual(violations, [])
                self.assertEqual(out, raw)
                out, violations = lc.check_stream(stream, strict_ours=True)
                if row["how_made"].startswith(("reference encoder", "Kelvane's encoder")):
                    self.assertEqual(violations, [])
                    self.assertEqual(out, raw)
                else:
                    # bvx1 rewrites, mixed blocks, trailing junk and a bare end
                    # marker are not what an encoder writes
                    self.assertNotEqual(violations, [])

    def test_bad_vectors_fail_for_their_own_reason(self):
        bad = [row for row in manifest() if row["expect"].startswith("reject")]
        self.assertGreaterEqual(len(bad), 5)
        for row in bad:
            with self.subTest(vector=row["name"]):
                for strict in (False, True):
                    _, violations = lc.check_stream(read(row["name"] + ".lzfse"), strict)
                    self.assertNotEqual(violations, [])
                    truncated = "cut short" in violations[0]
                    self.assertEqual(truncated, row["expect"] == "reject:truncated", violations[0])

    def test_main_reports_and_sets_exit_status(self):
        import contextlib
        import io
        import tempfile
        printed = io.StringIO()
        with tempfile.TemporaryDirectory() as tmp, contextlib.redirect_stdout(printed), \
                contextlib.redirect_stderr(printed):
            good = os.path.join(VECTORS, "text-4096.lzfse")
            out = os.path.join(tmp, "out")
            self.assertEqual(lc.main([good, "--strict-ours", "-o", out]), 0)
            with open(out, "rb") as f:
                self.assertEqual(f.read(), read("text-4096.raw"))
            self.assertEqual(lc.main([good, "--expect", os.path.join(VECTORS, "text-4097.raw")]), 1)
            self.assertEqual(lc.main([os.path.join(VECTORS, "bad-magic.lzfse")]), 1)
            self.assertEqual(lc.main([os.path.join(tmp, "missing")]), 2)
        self.assertIn("first at output byte 4096", printed.getvalue())
        self.assertIn("bad-magic.lzfse: block 0 (at 0), offset 0: unknown block magic", printed.getvalue())


class DamagedStreams(unittest.TestCase):
    def setUp(self):
        self.stream, self.raw = read("text-4096.lzfse"), read("text-4096.raw")
        self.header_end, self.lit_end, self.lmd_end = v2_layout(self.stream)

    def assertRejected(self, stream, strict=True, expect=None):
        out, violations = lc.check_stream(stream, strict)
        self.assertTrue(violations or out != (self.raw if expect is None else expect),
                        "damaged stream passed")

    def test_every_flipped_table_bit_fails(self):
        for bit in range(8 * lc.V2_FIXED_HEADER, 8 * self.header_end):
            with self.subTest(bit=bit):
                damaged = bytearray(self.stream)
                damaged[bit // 8] ^= 1 << (bit % 8)
                _, violations = lc.check_stream(bytes(damaged), strict_ours=True)
                self.assertNotEqual(violations, [])

    def test_wrong_final_bit_counts_fail(self):
        for word, name in ((8, "literal"), (16, "L/M/D")):
            right = (int.from_bytes(self.stream[word:word + 8], "little") >> 60) & 7
            for value in set(range(8)) - {right}:
                with self.subTest(payload=name, stored=value):
                    self.assertRejected(set_bits(self.stream, word, 60, 3, value), strict=False)

    def test_nonzero_padding_fails(self):
        w0 = int.from_bytes(self.stream[8:16], "little")
        lit_used = 8 + ((w0 >> 60) & 7) - 7
        self.assertLess(lit_used, 8, "vector no longer has padding in its final literal byte")
        last = self.lit_end - 1
        damaged = patched(self.stream, last, [self.stream[last] | 0x80])
        for strict in (False, True):
            self.assertRejected(damaged, strict)

        # the L/M/D payload's leading zero bytes
        for at in (self.lit_end, self.lit_end + 7):
            damaged = patched(self.stream, at, [0x01])
            _, violations = lc.check_stream(damaged, strict_ours=True)
            self.assertTrue(any("zero bytes" in v for v in violations), violations)

        # bits after the frequency table code, and spare bits of the packed words
        tables = self.header_end - 1
        if self._table_bits() % 8:
            damaged = patched(self.stream, tables, [self.stream[tables] | 0x80])
            _, violations = lc.check_stream(damaged, strict_ours=True)
            self.assertTrue(any("after the frequency table" in v for v in violations), violations)
        for word, shift in ((8, 63), (16, 63), (24, 62), (24, 63)):
            _, violations = lc.check_stream(set_bits(self.stream, word, shift, 1, 1), strict_ours=True)
            self.assertTrue(any("unused bits of the packed" in v for v in violations), violations)

    def _table_bits(self):
        _, bits = lc.decode_table_code(lc.Report(), self.stream, lc.V2_FIXED_HEADER, self.header_end)
        return bits

    def test_header_faults_fail(self):
        # one table ends with padding bits, the other on a byte boundary
        for name in ("text-4096", "chunk64k-elf-sharedlib"):
            stream = read(name + ".lzfse")
            _, violations = lc.check_stream(set_bits(stream, 24, 0, 32, v2_layout(stream)[0] + 1))
            self.assertTrue(any("unused bytes after the frequency table" in v for v in violations),
                            (name, violations))
        faults = {
            "L start state 64": set_bits(self.stream, 24, 32, 10, 64),
            "D start state 256": set_bits(self.stream, 24, 52, 10, 256),
            "header one byte short": set_bits(self.stream, 24, 0, 32, self.header_end - 1),
            "header one byte long": set_bits(self.stream, 24, 0, 32, self.header_end + 1),
            "header below fixed part": set_bits(self.stream, 24, 0, 32, 31),
            "literal payload one byte long": set_bits(
                self.stream, 8, 20, 20, self.lit_end - self.header_end + 1),
            "raw size one more": patched(self.stream, 4, (len(self.raw) + 1).to_bytes(4, "little")),
            "payload cut": self.stream[:self.lmd_end - 1] + END,
        }
        for name, damaged in faults.items():
            with self.subTest(fault=name):
                _, violations = lc.check_stream(damaged)
                self.assertNotEqual(violations, [])
        # an extra triple decodes from the zero bytes in front of the L/M/D
        # bits without changing the output: only bit accounting catches it
        triples = (int.from_bytes(self.stream[8:16], "little") >> 40) & 0xFFFFF
        _, violations = lc.check_stream(set_bits(self.stream, 8, 40, 20, triples + 1), strict_ours=True)
        self.assertTrue(any("bits left over" in v for v in violations), violations)

    def test_endless_empty_triples_end_quickly(self):
        # a bvx1 block announcing 2^32 - 1 triples that read no bits and add nothing
        import struct
        header = struct.pack("<4s6Ii4Hi3H", lc.MAGIC_V1, 0, 0, 0, 0xFFFFFFFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)
        freqs = [0] * 360
        freqs[0], freqs[20], freqs[41] = 64, 64, 256  # L = 0, M = 0, D = 1
        block = header + struct.pack("<360H", *freqs) + bytes(2)
        self.assertEqual(len(block), lc.V1_HEADER)
        self.assertEqual(lc.check_stream(block + END), (b"", []))

    def test_bvx1_table_sum_above_state_count_fails(self):
        stream = read("v1-text-4096.lzfse")
        self.assertEqual(lc.check_stream(stream)[1], [])
        for name, at in (("L", 50), ("M", 90), ("D", 130), ("literal", 258)):
            with self.subTest(table=name):
                freqs = [int.from_bytes(stream[at + 2 * i:at + 2 * i + 2], "little") for i in range(20)]
                i = max(range(20), key=lambda j: freqs[j])
                damaged = patched(stream, at + 2 * i, (freqs[i] + 1).to_bytes(2, "little"))
                _, violations = lc.check_stream(damaged)
                self.assertTrue(any("above the" in v and name in v for v in violations), violations)


def lzvn_stream(payload, raw_size):
    return (lc.MAGIC_LZVN + raw_size.to_bytes(4, "little") + len(payload).to_bytes(4, "little")
            + bytes(payload) + END)


EOS = [0x06] + [0] * 7


class LzvnStreams(unittest.TestCase):
    def test_hand_made_payloads(self):
        # 0x68: one literal then 8 bytes from distance 1
        # 0xF0: 16 + 255 more from the same distance; 0xE2: two literals
        good = [0x68, 0x01, 0x41, 0xF0, 0xFF, 0xE2, 0x42, 0x43] + EOS
        out, violations = lc.check_stream(lzvn_stream(good, 282), strict_ours=True)
        self.assertEqual((out, violations), (b"A" * 280 + b"BC", []))

        cases = {
            "distance beyond output": ([0x68, 0x02, 0x41] + EOS, 9),
            "previous distance before any": ([0xE1, 0x41, 0xF3] + EOS, 4),
            "end opcode before the end": ([0x68, 0x01, 0x41] + EOS + [0], 9),
            "no end opcode": ([0x68, 0x01, 0x41], 9),
            "literals past the payload": ([0xE3, 0x41] + EOS[:1], 3),
            "fewer bytes than announced": ([0x68, 0x01, 0x41] + EOS, 10),
            "more bytes than announced": ([0x68, 0x01, 0x41] + EOS, 8),
        }
        for name, (payload, size) in cases.items():
            with self.subTest(fault=name):
                self.assertNotEqual(lc.check_stream(lzvn_stream(payload, size))[1], [])
        undefined = [0x1E, 0x26, 0x2E, 0x36, 0x3E] + list(range(0x70, 0x80)) + list(range(0xD0, 0xE0))
        for op in undefined:
            with self.subTest(opcode=op):
                _, violations = lc.check_stream(lzvn_stream([0xE1, 0x41, op, 0, 0, 0] + EOS, 9))
                self.assertTrue(any("undefined LZVN opcode" in v for v in violations), violations)

    def test_encoder_rules(self):
        junk_tail = [0x68, 0x01, 0x41, 0xF0, 0xFF] + [0x06, 0, 0, 0, 1, 0, 0, 0]
        self.assertEqual(lc.check_stream(lzvn_stream(junk_tail, 280))[1], [])
        _, violations = lc.check_stream(lzvn_stream(junk_tail, 280), strict_ours=True)
        self.assertTrue(any("seven zero bytes" in v for v in violations), violations)
        # a payload as large as its output gains nothing: the encoder must store raw
        no_gain = [0x68, 0x01, 0x41, 0xF3] + EOS
        _, violations = lc.check_stream(lzvn_stream(no_gain, 12), strict_ours=True)
        self.assertTrue(any("not smaller" in v for v in violations), violations)
        self.assertEqual(lc.check_stream(lzvn_stream(no_gain[:3] + [0xF4] + EOS, 13), strict_ours=True)[1], [])
        # an LZVN block for 4096 bytes or more is not our encoder's choice
        big = [0x68, 0x01, 0x41] + [0xF0, 0xFF] * 15 + [0xF0, 0x06] + EOS
        out, violations = lc.check_stream(lzvn_stream(big, 4096), strict_ours=True)
        self.assertEqual(out, b"A" * 4096)
        self.assertTrue(any("block layout" in v for v in violations), violations)


class WrittenStreams(unittest.TestCase):
    """Streams from the writer above: valid ones pass, each broken rule is caught."""

    def setUp(self):
        self.rng = random.Random(20240611)

    def check(self, blocks, expected, strict=True):
        out, violations = lc.check_stream(b"".join(blocks) + END, strict)
        if not violations:
            self.assertEqual(out, expected)
        return violations

    def test_valid_blocks_pass_and_decode(self):
        for count in (1, 2, 50, 600):
            with self.subTest(triples=count):
                triples, literals = random_triples(self.rng, count)
                self.assertEqual(self.check([bvx2_block(triples, literals)], lz_output(triples, literals)), [])
        # a second block reaching back into the first
        t1, l1 = random_triples(self.rng, 40)
        first = lz_output(t1, l1)
        t2 = [(3, 50, len(first) + 2), (0, 10, 0), (1, 0, 0)]
        l2 = b"xyz" + b"q"
        second = lz_output(t2, l2, prior=first)
        self.assertEqual(self.check([bvx2_block(t1, l1), bvx2_block(t2, l2)], first + second), [])
        # all literals one symbol: an empty literal payload
        t, l = [(8, 2359, 1), (0, 2359, 0)], b"\0" * 8
        block = bvx2_block(t, l)
        self.assertEqual(self.check([block], lz_output(t, l)), [])

    def assertBreaks(self, block, expected, phrase, plain_ok=True):
        self.assertEqual(self.check([block], expected, strict=False) == [], plain_ok)
        violations = self.check([block], expected)
        self.assertTrue(any(phrase in v for v in violations), (phrase, violations))

    def test_each_encoder_rule_is_enforced(self):
        triples, literals = random_triples(self.rng, 30)
        want = lz_output(triples, literals)
        used = len(literals)
        self.assertEqual(self.check([bvx2_block(triples, literals)], want), [])

        unpadded = used if used % 4 else used + 1
        if used % 4 == 0:
            triples[-1] = (8, 0, 0)
            literals += b"h"
            want = lz_output(triples, literals)
            unpadded = used + 1
        self.assertBreaks(bvx2_block(triples, literals, n_literals=unpadded), want, "not a multiple of 4")
        self.assertBreaks(bvx2_block(triples, literals, n_literals=((unpadded + 3) & ~3) + 4), want,
                          "more than padding")
        self.assertBreaks(bvx2_block(triples, literals, n_literals=(unpadded - 1) & ~3), want,
                          "uses literals", plain_ok=False)
        self.assertBreaks(bvx2_block(triples, literals, literal_lead=b"\0"), want,
                          "literal payload has 8 bits left over")
        for table in ("L", "M", "D", "literal"):
            self.assertBreaks(bvx2_block(triples, literals, short_by={table: 1}), want,
                              "%s table not normalized" % table)
        self.assertBreaks(bvx2_block(triples, literals, zero_prefix=False), want, "zero bytes")

        lead = [(5, 0, 0)] + triples
        lit = b"vwxyz" + literals
        self.assertBreaks(bvx2_block(lead, lit), lz_output([(5, 0, 1)] + triples, lit), "first triple")
        self.assertBreaks(bvx2_block([(5, 4, 0)], b"vwxyz"), b"", "first triple", plain_ok=False)
        self.assertBreaks(bvx2_block([(2, 4, 3)], b"ab"), b"", "reaches before", plain_ok=False)

    def test_block_choice_by_size(self):
        def raw(data):
            return lc.MAGIC_RAW + len(data).to_bytes(4, "little") + data

        text = bytes(self.rng.randrange(256) for _ in range(5000))
        self.assertEqual(self.check([raw(text)], text), [])
        self.assertTrue(any("block layout" in v for v in self.check([raw(text[:7]), raw(text[7:])], text)))
        small = [(5, 4, 1), (2, 0, 0)]
        _, violations = lc.check_stream(bvx2_block(small, b"abcdefg") + END, strict_ours=True)
        self.assertTrue(any("block layout" in v for v in violations), violations)

    def test_block_limits(self):
        many = [(1, 3, 1)] * (lc.MAX_TRIPLES_PER_BLOCK + 1)
        lit = b"a" * len(many)
        self.assertBreaks(bvx2_block(many, lit), lz_output(many, lit), "L/M/D triples in one block")
        self.assertEqual(self.check([bvx2_block(many[:-1], lit[:-1])], lz_output(many[:-1], lit[:-1])), [])

        runs = lc.MAX_LITERALS_PER_BLOCK // 315 + 1
        long = [(315, 0, 0) if i else (315, 0, 1) for i in range(runs)]
        lit = bytes(self.rng.randrange(256) for _ in range(315 * runs))
        self.assertBreaks(bvx2_block(long, lit), lit, "literals in one block", plain_ok=False)


if __name__ == "__main__":
    if len(sys.argv) < 2 or not os.path.isdir(sys.argv[1]):
        sys.exit("usage: lzfse_check_test.py VECTOR_DIR [unittest options]")
    VECTORS = sys.argv.pop(1)
    unittest.main()

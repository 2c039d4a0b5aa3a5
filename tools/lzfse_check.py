#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Strict LZFSE stream checker, independent of Kelvane's C++ codec.

Decodes a stream block by block and reports every rule it breaks, with the
block index and the byte offset in the stream. Without --strict-ours it acts
as a strict decoder: it accepts what a compatible decoder must accept and
rejects what it must reject. With --strict-ours it also holds the stream to
what Kelvane's encoder promises to write (normalized tables, zero padding,
block limits, block choice by input size), so a stream that merely decodes
is not enough.

Exit status: 0 clean, 1 violations found, 2 bad usage or unreadable file.
Standard library only: it runs wherever Python 3 does.
"""

import argparse
import sys

MAGIC_RAW = b"bvx-"
MAGIC_LZVN = b"bvxn"
MAGIC_V1 = b"bvx1"
MAGIC_V2 = b"bvx2"
MAGIC_END = b"bvx$"

L_STATES, M_STATES, D_STATES, LITERAL_STATES = 64, 64, 256, 1024
L_SYMBOLS, M_SYMBOLS, D_SYMBOLS, LITERAL_SYMBOLS = 20, 20, 64, 256

MAX_TRIPLES_PER_BLOCK = 10_000
MAX_LITERALS_PER_BLOCK = 40_000

V2_FIXED_HEADER = 32   # magic, raw size, three packed 64-bit words
V1_HEADER = 772        # plain tables, padded to a 4-byte boundary
LZVN_HEADER = 12
LMD_ZERO_PREFIX = 8    # the L/M/D payload opens with this many zero bytes


def _extra_bits_and_bases(extra_bits):
    bases, base = [], 0
    for n in extra_bits:
        bases.append(base)
        base += 1 << n
    return list(extra_bits), bases


L_EXTRA, L_BASE = _extra_bits_and_bases([0] * 16 + [2, 3, 5, 8])
M_EXTRA, M_BASE = _extra_bits_and_bases([0] * 16 + [3, 5, 8, 11])
D_EXTRA, D_BASE = _extra_bits_and_bases([0] * 4 + [g for g in range(1, 16) for _ in range(4)])


class Malformed(Exception):
    """A fault after which nothing further in the stream can be trusted."""


class Report:
    """Collects violations; `fail` also stops decoding."""

    def __init__(self):
        self.violations = []
        self.block = None      # index of the block being decoded
        self.block_at = None   # its offset in the stream

    def _where(self, offset):
        if self.block is None:
            return "offset %d" % offset
        return "block %d (at %d), offset %d" % (self.block, self.block_at, offset)

    def note(self, offset, message):
        self.violations.append("%s: %s" % (self._where(offset), message))

    def fail(self, offset, message):
        self.note(offset, message)
        raise Malformed(message)


def _u32(data, at):
    return int.from_bytes(data[at:at + 4], "little")


def _field(word, shift, width):
    return (word >> shift) & ((1 << width) - 1)


class BackwardBits:
    """Reads an FSE bit stream: written forwards, read backwards from its end.

    `data[start:end]` holds the stream; `final_bits` (-7..0) is how many of
    the last byte's eight bits are unused, negated. Nothing before `start`
    is ever read, so a stream whose symbols need more bits than it holds is
    caught instead of borrowing bytes from whatever lies in front of it.
    """

    def __init__(self, report, data, start, end, final_bits, what):
        self.report, self.data, self.start, self.what = report, data, start, what
        self.pos = end          # bytes before pos are not loaded yet
        self.acc = 0
        self.nbits = 0
        if end == start:
            if final_bits != 0:
                report.fail(start, "%s: empty payload with final-byte bit count %d"
                            % (what, final_bits))
            return
        used = 8 + final_bits
        last = data[end - 1]
        if last >> used:
            report.fail(end - 1, "%s: unused high bits of the final byte are not zero (byte 0x%02x, "
                        "%d bits used)" % (what, last, used))
        self.pos = end - 1
        self.acc = last
        self.nbits = used

    def pull(self, n):
        while self.nbits < n:
            if self.pos == self.start:
                self.report.fail(self.start, "%s: bit stream exhausted (needs %d more bits)"
                                 % (self.what, n - self.nbits))
            self.pos -= 1
            self.acc = (self.acc << 8) | self.data[self.pos]
            self.nbits += 8
        self.nbits -= n
        value = self.acc >> self.nbits
        self.acc &= (1 << self.nbits) - 1
        return value

    def bits_left(self):
        return self.nbits + 8 * (self.pos - self.start)

    def offset(self):
        return self.pos


class FseTable:
    """Decoding table for one alphabet: per state (symbol, bits to read, base of next state).

    States are handed out to symbols in symbol order; a symbol of frequency f
    reads k or k-1 bits so that its f states cover all `nstates` next states.
    States at or above the frequency sum belong to no symbol (None).
    """

    def __init__(self, freqs, nstates):
        self.nstates = nstates
        self.total = sum(freqs)
        self.entries = [None] * nstates
        if self.total > nstates:
            return  # caller reports; the table is unusable
        state = 0
        for symbol, f in enumerate(freqs):
            if f == 0:
                continue
            k = nstates.bit_length() - f.bit_length()
            j0 = ((2 * nstates) >> k) - f
            for j in range(f):
                if j < j0:
                    self.entries[state] = (symbol, k, ((f + j) << k) - nstates)
                else:
                    self.entries[state] = (symbol, k - 1, (j - j0) << (k - 1))
                state += 1


def decode_table_code(report, data, start, end):
    """Decodes the variable-length frequency code of a `bvx2` header.

    Codes, least significant bit first: 0 -> `00`, 1 -> `10`, 2 -> `001`,
    3 -> `101`, 4..7 -> `xx011`, 8..23 -> 4 bits + `0111`, 24..1047 ->
    10 bits + `1111`. Returns the frequencies and the bit count used.
    """
    total = L_SYMBOLS + M_SYMBOLS + D_SYMBOLS + LITERAL_SYMBOLS
    if start == end:
        return [0] * total, 0  # tables omitted
    bits = int.from_bytes(data[start:end], "little")
    avail = 8 * (end - start)
    pos = 0
    freqs = []
    for i in range(total):
        low = (bits >> pos) & 0xF
        if low & 1 == 0:
            n, value = 2, (low >> 1) & 1
        elif low & 3 == 1:
            n, value = 3, 2 + ((low >> 2) & 1)
        elif low & 7 == 3:
            n, value = 5, 4 + ((bits >> (pos + 3)) & 3)
        elif low == 7:
            n, value = 8, 8 + ((bits >> (pos + 4)) & 0xF)
        else:
            n, value = 14, 24 + ((bits >> (pos + 4)) & 0x3FF)
        if pos + n > avail:
            report.fail(start + pos // 8, "frequency table code runs past the header end "
                        "(value %d of %d)" % (i, total))
        freqs.append(value)
        pos += n
    if avail - pos >= 8:
        report.fail(start + (pos + 7) // 8, "header size leaves %d unused bytes after the "
                    "frequency table code" % ((avail - pos) // 8))
    return freqs, pos


class Checker:
    def __init__(self, strict_ours):
        self.strict = strict_ours
        self.report = Report()
        self.out = bytearray()
        self.kinds = []

    # -- helpers ----------------------------------------------------------

    def need(self, data, at, n, what):
        if at + n > len(data):
            self.report.fail(at, "%s cut short: needs %d bytes, %d left" % (what, n, len(data) - at))

    def ours(self, offset, message):
        if self.strict:
            self.report.note(offset, message)

    def copy_match(self, at, distance, length, what):
        if distance == 0 or distance > len(self.out):
            self.report.fail(at, "%s distance %d reaches before the start of the output (%d bytes "
                             "produced)" % (what, distance, len(self.out)))
        out = self.out
        src = len(out) - distance
        if distance >= length:
            out += out[src:src + length]
        else:
            for i in range(length):
                out.append(out[src + i])

    # -- stream -----------------------------------------------------------

    def run(self, data):
        rep = self.report
        at = 0
        try:
            while True:
                rep.block, rep.block_at = len(self.kinds), at
                self.need(data, at, 4, "block magic")
                magic = bytes(data[at:at + 4])
                if magic == MAGIC_END:
                    self.kinds.append(magic)
                    at += 4
                    break
                self.kinds.append(magic)
                if magic == MAGIC_RAW:
                    at = self.raw_block(data, at)
                elif magic == MAGIC_LZVN:
                    at = self.lzvn_block(data, at)
                elif magic == MAGIC_V2:
                    at = self.lzfse_block(data, at, self.v2_header)
                elif magic == MAGIC_V1:
                    at = self.lzfse_block(data, at, self.v1_header)
                else:
                    rep.fail(at, "unknown block magic %r" % magic)
        except Malformed:
            return
        rep.block = None
        if at != len(data):
            self.ours(at, "%d bytes follow the end-of-stream block" % (len(data) - at))
        if self.strict:
            self.check_layout()

    def check_layout(self):
        """Block choice of our encoder, judged by the decoded size."""
        n, kinds = len(self.out), self.kinds[:-1]
        names = ",".join(k.decode("latin-1") for k in self.kinds)
        if n < 8:
            ok = kinds == [MAGIC_RAW]
            rule = "under 8 bytes: one raw block"
        elif n < 4096:
            ok = kinds in ([MAGIC_RAW], [MAGIC_LZVN])
            rule = "8 to 4095 bytes: one LZVN or one raw block"
        else:
            ok = kinds == [MAGIC_RAW] or (kinds and all(k == MAGIC_V2 for k in kinds))
            rule = "from 4096 bytes: bvx2 blocks or one raw block"
        if not ok:
            self.report.note(0, "block layout %s for %d decoded bytes breaks '%s'" % (names, n, rule))

    # -- raw ----------------------------------------------------------------

    def raw_block(self, data, at):
        self.need(data, at, 8, "raw block header")
        n = _u32(data, at + 4)
        self.need(data, at + 8, n, "raw block payload")
        self.out += data[at + 8:at + 8 + n]
        return at + 8 + n

    # -- LZVN ---------------------------------------------------------------

    def lzvn_block(self, data, at):
        self.need(data, at, LZVN_HEADER, "LZVN block header")
        raw_size = _u32(data, at + 4)
        payload_size = _u32(data, at + 8)
        start = at + LZVN_HEADER
        self.need(data, start, payload_size, "LZVN payload")
        if payload_size >= raw_size:
            self.ours(at + 8, "LZVN payload of %d bytes is not smaller than its %d raw bytes"
                      % (payload_size, raw_size))
        self.lzvn_payload(data, start, start + payload_size, raw_size)
        return start + payload_size

    def lzvn_payload(self, data, p, end, raw_size):
        rep = self.report
        goal = len(self.out) + raw_size
        d_prev = 0

        def operands(n):
            if p + n > end:
                rep.fail(p, "LZVN opcode 0x%02x cut short by the payload end" % op)
            return data[p:p + n]

        while True:
            if p >= end:
                rep.fail(p, "LZVN payload ends without the end opcode")
            op = data[p]
            lit = match = 0
            dist = None
            if op == 0x06:
                if p + 8 != end:
                    rep.fail(p, "LZVN end opcode at %d bytes before the payload end, not 8"
                             % (end - p))
                if any(data[p + 1:end]):
                    self.ours(p + 1, "LZVN end opcode not followed by seven zero bytes")
                break
            if op in (0x0E, 0x16):                      # nop
                p += 1
                continue
            if 0x70 <= op <= 0x7F or 0xD0 <= op <= 0xDF or op in (0x1E, 0x26, 0x2E, 0x36, 0x3E):
                rep.fail(p, "undefined LZVN opcode 0x%02x" % op)
            if 0xA0 <= op <= 0xBF:                      # medium distance
                b = operands(3)
                lit = (op >> 3) & 3
                match = (((op & 7) << 2) | (b[1] & 3)) + 3
                dist = (b[2] << 6) | (b[1] >> 2)
                p += 3
            elif op == 0xE0:                            # long literal run
                lit = operands(2)[1] + 16
                p += 2
            elif op > 0xE0 and op < 0xF0:               # short literal run
                lit = op & 0xF
                p += 1
            elif op == 0xF0:                            # long match, previous distance
                match = operands(2)[1] + 16
                p += 2
            elif op > 0xF0:                             # short match, previous distance
                match = op & 0xF
                p += 1
            else:
                lit = op >> 6
                match = ((op >> 3) & 7) + 3
                kind = op & 7
                if kind == 6:                           # previous distance
                    p += 1
                elif kind == 7:                         # 16-bit distance
                    b = operands(3)
                    dist = b[1] | (b[2] << 8)
                    p += 3
                else:                                   # 11-bit distance
                    b = operands(2)
                    dist = (kind << 8) | b[1]
                    p += 2
            if lit:
                if p + lit > end:
                    rep.fail(p, "LZVN literals run past the payload end")
                if len(self.out) + lit > goal:
                    rep.fail(p, "LZVN block produces more than its %d raw bytes" % raw_size)
                self.out += data[p:p + lit]
                p += lit
            if match:
                if dist is None:
                    dist = d_prev
                if len(self.out) + match > goal:
                    rep.fail(p, "LZVN block produces more than its %d raw bytes" % raw_size)
                self.copy_match(p, dist, match, "LZVN match")
                d_prev = dist
            elif dist is not None:
                d_prev = dist
        if len(self.out) != goal:
            rep.fail(p, "LZVN block produced %d bytes, its header says %d"
                     % (raw_size - (goal - len(self.out)), raw_size))

    # -- LZFSE headers ------------------------------------------------------

    def v2_header(self, data, at):
        rep = self.report
        self.need(data, at, V2_FIXED_HEADER, "bvx2 header")
        raw_size = _u32(data, at + 4)
        w0 = int.from_bytes(data[at + 8:at + 16], "little")
        w1 = int.from_bytes(data[at + 16:at + 24], "little")
        w2 = int.from_bytes(data[at + 24:at + 32], "little")
        if w0 >> 63 or w1 >> 63 or w2 >> 62:
            self.ours(at + 8, "unused bits of the packed header fields are not zero")
        h = {
            "raw_size": raw_size,
            "n_literals": _field(w0, 0, 20),
            "literal_payload": _field(w0, 20, 20),
            "n_matches": _field(w0, 40, 20),
            "literal_bits": _field(w0, 60, 3) - 7,
            "literal_states": [_field(w1, s, 10) for s in (0, 10, 20, 30)],
            "lmd_payload": _field(w1, 40, 20),
            "lmd_bits": _field(w1, 60, 3) - 7,
            "header_size": _field(w2, 0, 32),
            "l_state": _field(w2, 32, 10),
            "m_state": _field(w2, 42, 10),
            "d_state": _field(w2, 52, 10),
        }
        size = h["header_size"]
        if size < V2_FIXED_HEADER:
            rep.fail(at + 24, "header size %d is below the %d fixed bytes" % (size, V2_FIXED_HEADER))
        self.need(data, at, size, "bvx2 header with frequency tables")
        freqs, used = decode_table_code(rep, data, at + V2_FIXED_HEADER, at + size)
        if used % 8 and data[at + size - 1] >> (used % 8):
            self.ours(at + size - 1, "unused high bits after the frequency table code are not zero")
        h["freqs"] = freqs
        return h, at + size

    def v1_header(self, data, at):
        rep = self.report
        self.need(data, at, V1_HEADER, "bvx1 header")

        def u16(off):
            return int.from_bytes(data[at + off:at + off + 2], "little")

        def i32(off):
            return int.from_bytes(data[at + off:at + off + 4], "little", signed=True)

        h = {
            "raw_size": _u32(data, at + 4),
            "n_literals": _u32(data, at + 12),
            "n_matches": _u32(data, at + 16),
            "literal_payload": _u32(data, at + 20),
            "lmd_payload": _u32(data, at + 24),
            "literal_bits": i32(28),
            "literal_states": [u16(32 + 2 * i) for i in range(4)],
            "lmd_bits": i32(40),
            "l_state": u16(44),
            "m_state": u16(46),
            "d_state": u16(48),
            "freqs": [u16(50 + 2 * i) for i in range(L_SYMBOLS + M_SYMBOLS + D_SYMBOLS + LITERAL_SYMBOLS)],
        }
        payload = _u32(data, at + 8)
        if payload != h["literal_payload"] + h["lmd_payload"]:
            rep.fail(at + 8, "bvx1 payload size %d is not the literal %d plus L/M/D %d bytes"
                     % (payload, h["literal_payload"], h["lmd_payload"]))
        for name in ("literal_bits", "lmd_bits"):
            if not -7 <= h[name] <= 0:
                rep.fail(at + (28 if name == "literal_bits" else 40),
                         "%s %d outside -7..0" % (name, h[name]))
        return h, at + V1_HEADER

    # -- LZFSE blocks -------------------------------------------------------

    def lzfse_block(self, data, at, read_header):
        rep = self.report
        h, p = read_header(data, at)
        freqs = h["freqs"]
        splits = [0, L_SYMBOLS, L_SYMBOLS + M_SYMBOLS, L_SYMBOLS + M_SYMBOLS + D_SYMBOLS, len(freqs)]
        tables = []
        for (name, nstates), lo, hi in zip(
                (("L", L_STATES), ("M", M_STATES), ("D", D_STATES), ("literal", LITERAL_STATES)),
                splits, splits[1:]):
            t = FseTable(freqs[lo:hi], nstates)
            if t.total > nstates:
                rep.fail(at, "%s frequencies sum to %d, above the %d states" % (name, t.total, nstates))
            if t.total != nstates:
                self.ours(at, "%s table not normalized: frequencies sum to %d, not %d"
                          % (name, t.total, nstates))
            tables.append(t)
        l_table, m_table, d_table, lit_table = tables

        for name, value, nstates in (("L", h["l_state"], L_STATES), ("M", h["m_state"], M_STATES),
                                     ("D", h["d_state"], D_STATES)) + tuple(
                ("literal %d" % i, s, LITERAL_STATES) for i, s in enumerate(h["literal_states"])):
            if value >= nstates:
                rep.fail(at, "%s start state %d out of range (%d states)" % (name, value, nstates))

        n_lit, n_match = h["n_literals"], h["n_matches"]
        if n_lit % 4:
            self.ours(at, "literal count %d is not a multiple of 4" % n_lit)
        if n_lit > MAX_LITERALS_PER_BLOCK:
            # decoders hold a block's literals in a fixed buffer of this size
            rep.fail(at, "%d literals in one block, above %d" % (n_lit, MAX_LITERALS_PER_BLOCK))
        if n_match > MAX_TRIPLES_PER_BLOCK:
            self.ours(at, "%d L/M/D triples in one block, above %d" % (n_match, MAX_TRIPLES_PER_BLOCK))

        lit_start = p
        lmd_start = lit_start + h["literal_payload"]
        end = lmd_start + h["lmd_payload"]
        self.need(data, lit_start, end - lit_start, "LZFSE payload")

        literals = self.decode_literals(data, lit_start, lmd_start, h, lit_table)
        self.decode_lmd(data, lmd_start, end, h, (l_table, m_table, d_table), literals)
        return end

    def decode_literals(self, data, start, end, h, table):
        rep = self.report
        bits = BackwardBits(rep, data, start, end, h["literal_bits"], "literal payload")
        states = list(h["literal_states"])
        count = (h["n_literals"] + 3) & ~3
        literals = bytearray(count)
        entries = table.entries
        for i in range(count):
            lane = i & 3
            e = entries[states[lane]]
            if e is None:
                rep.fail(bits.offset(), "literal state %d belongs to no symbol" % states[lane])
            symbol, k, base = e
            literals[i] = symbol
            states[lane] = base + (bits.pull(k) if k else 0)
        left = bits.bits_left()
        if left:
            self.ours(start, "literal payload has %d bits left over after %d literals" % (left, count))
        return literals

    def decode_lmd(self, data, start, end, h, tables, literals):
        rep = self.report
        bits = BackwardBits(rep, data, start, end, h["lmd_bits"], "L/M/D payload")
        (l_entries, m_entries, d_entries) = (t.entries for t in tables)
        ls, ms, ds = h["l_state"], h["m_state"], h["d_state"]
        out = self.out
        goal = len(out) + h["raw_size"]
        lit_pos = 0
        d_prev = None
        for triple in range(h["n_matches"]):
            before = (ls, ms, ds, bits.bits_left())
            values = []
            for name, entries, state, extra, base in (
                    ("L", l_entries, ls, L_EXTRA, L_BASE),
                    ("M", m_entries, ms, M_EXTRA, M_BASE),
                    ("D", d_entries, ds, D_EXTRA, D_BASE)):
                e = entries[state]
                if e is None:
                    rep.fail(bits.offset(), "%s state %d belongs to no symbol (triple %d)"
                             % (name, state, triple))
                symbol, k, next_base = e
                vbits = extra[symbol]
                v = bits.pull(k + vbits) if k + vbits else 0
                values.append((next_base + (v >> vbits), base[symbol] + (v & ((1 << vbits) - 1))))
            (ls, L), (ms, M), (ds, D) = values

            if L:
                if lit_pos + L > h["n_literals"]:
                    rep.fail(bits.offset(), "triple %d uses literals %d..%d of only %d"
                             % (triple, lit_pos, lit_pos + L, h["n_literals"]))
                if len(out) + L > goal:
                    rep.fail(bits.offset(), "block produces more than its %d raw bytes" % h["raw_size"])
                out += literals[lit_pos:lit_pos + L]
                lit_pos += L
            if D == 0:
                if d_prev is None:
                    self.ours(bits.offset(), "triple %d: previous distance (D = 0) in the first "
                              "triple of the block" % triple)
                    if M:
                        rep.fail(bits.offset(), "first triple of the block has no previous distance")
                D = d_prev
            d_prev = D
            if M:
                if len(out) + M > goal:
                    rep.fail(bits.offset(), "block produces more than its %d raw bytes" % h["raw_size"])
                self.copy_match(bits.offset(), D, M, "triple %d" % triple)
            elif not L and before == (ls, ms, ds, bits.bits_left()):
                break  # all remaining triples decode alike and add nothing

        if len(out) != goal:
            rep.fail(end, "block produced %d bytes, its header says %d"
                     % (h["raw_size"] - (goal - len(out)), h["raw_size"]))
        if (lit_pos + 3) & ~3 != h["n_literals"]:
            self.ours(end, "%d literals declared but the triples use %d: more than padding"
                      % (h["n_literals"], lit_pos))
        left = bits.bits_left()
        if self.strict:
            if left != 8 * LMD_ZERO_PREFIX or any(data[start:start + LMD_ZERO_PREFIX]):
                rep.note(start, "L/M/D payload must open with %d zero bytes and use every bit "
                         "after them: %d bits left over, first bytes %s"
                         % (LMD_ZERO_PREFIX, left, bytes(data[start:start + LMD_ZERO_PREFIX]).hex()))


def check_stream(data, strict_ours=False):
    """Returns (decoded bytes, list of violation texts)."""
    checker = Checker(strict_ours)
    checker.run(memoryview(bytes(data)))
    return bytes(checker.out), checker.report.violations


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("stream", help="LZFSE stream to check")
    parser.add_argument("--strict-ours", action="store_true",
                        help="also enforce the rules Kelvane's encoder follows")
    group = parser.add_mutually_exclusive_group()
    group.add_argument("-o", "--output", help="write the decoded bytes here")
    group.add_argument("--expect", help="compare the decoded bytes with this file")
    args = parser.parse_args(argv)

    try:
        with open(args.stream, "rb") as f:
            data = f.read()
        expected = None
        if args.expect:
            with open(args.expect, "rb") as f:
                expected = f.read()
    except OSError as e:
        print("lzfse_check: %s" % e, file=sys.stderr)
        return 2

    out, violations = check_stream(data, args.strict_ours)
    if expected is not None and not violations and out != expected:
        diff = next((i for i, (a, b) in enumerate(zip(out, expected)) if a != b),
                    min(len(out), len(expected)))
        violations.append("decoded %d bytes differ from the %d expected, first at output byte %d"
                          % (len(out), len(expected), diff))
    if args.output and not violations:
        try:
            with open(args.output, "wb") as f:
                f.write(out)
        except OSError as e:
            print("lzfse_check: %s" % e, file=sys.stderr)
            return 2
    for v in violations:
        print("%s: %s" % (args.stream, v))
    return 1 if violations else 0


if __name__ == "__main__":
    sys.exit(main())

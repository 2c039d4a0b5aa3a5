#!/usr/bin/env python3
"""Writes the benchmark and test corpus into OUT_DIR.

Nine files of the kinds Kelvane meets (text, an ELF library, data that is
already compressed, a database, logs, Japanese prose, sparse data, random
bytes, an application-like archive), made from files every Debian 12 machine
with Kelvane's build packages has and from fixed seeds, so two runs on one
machine give the same bytes. Sizes and recipes follow corpus/REFERENCE-MANIFEST.tsv,
the corpus the reference figures were measured on; only random.bin is the
same byte for byte everywhere. OUT_DIR/MANIFEST.tsv records what was made.

Usage: make_corpus.py OUT_DIR
"""

import glob
import gzip
import hashlib
import io
import itertools
import json
import os
import random
import sqlite3
import sys
import tarfile
import tempfile

MIB = 1 << 20


def text_headers(size=5 * MIB):
    # C headers of the system include folder, then the C++ library's headers.
    files = sorted(p.encode() for p in glob.glob("/usr/include/*.h"))
    cxx = sorted(glob.glob("/usr/include/c++/*"))
    if cxx:
        tree = []
        for root, _, names in os.walk(cxx[-1]):
            tree.extend(os.path.join(root, n).encode() for n in names)
        files += sorted(tree)
    out = bytearray()
    for path in files:
        if len(out) >= size:
            break
        try:
            with open(path, "rb") as f:
                out += f.read()
        except OSError:
            continue
    if not out:
        sys.exit("no headers under /usr/include: install the build packages first")
    while len(out) < size:  # a machine with few headers: repeat them
        out += out[: size - len(out)]
    return bytes(out[:size])


def elf_sharedlib():
    # The crypto library Kelvane links; failing that, this interpreter's binary.
    for pattern in ("/usr/lib/*-linux-gnu/libcrypto.so.3", "/lib/*-linux-gnu/libcrypto.so.3"):
        for path in sorted(glob.glob(pattern)):
            with open(path, "rb") as f:
                return f.read()
    with open(os.path.realpath(sys.executable), "rb") as f:
        return f.read()


def precompressed_gzip(size=2173770):
    # Deflate output of text still shrinks a little under another compressor;
    # data that is already compressed as well as it can be does not.
    data = gzip.compress(hashlib.shake_256(b"corpus-gzip-v1").digest(size), compresslevel=9, mtime=0)
    return data[:size]


def sqlite_db():
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "db.sqlite")
        db = sqlite3.connect(path)
        db.execute("PRAGMA page_size=4096")
        db.execute("PRAGMA journal_mode=DELETE")
        db.execute("CREATE TABLE customers(id INTEGER PRIMARY KEY, name TEXT, email TEXT, city TEXT,"
                   " balance REAL, created INTEGER)")
        db.execute("CREATE TABLE orders(id INTEGER PRIMARY KEY, customer INTEGER, item TEXT, quantity INTEGER,"
                   " price REAL, placed INTEGER, note TEXT)")
        cities = ["Tokyo", "Osaka", "Nagoya", "Sapporo", "Fukuoka", "Kobe", "Kyoto", "Sendai"]
        items = ["widget", "gadget", "bolt", "nut", "spring", "gear", "lever", "valve", "cable", "panel"]
        db.executemany("INSERT INTO customers VALUES (?,?,?,?,?,?)",
                       ((i, "customer%05d" % i, "user%d@example.com" % (i * 7919 % 100000),
                         cities[i * 31 % len(cities)], (i * 37 % 10007) / 100.0, 1700000000 + i * 86)
                        for i in range(1, 20001)))
        db.executemany("INSERT INTO orders VALUES (?,?,?,?,?,?,?)",
                       ((i, i * 13 % 20000 + 1, items[i * 7 % len(items)], i % 17 + 1, (i * 101 % 50000) / 100.0,
                         1700000000 + i * 53, "order note %d: deliver to dock %d, shelf %s" % (i % 97, i % 13, items[i % 10]))
                        for i in range(1, 30001)))
        db.execute("CREATE INDEX customers_city ON customers(city)")
        db.execute("CREATE INDEX orders_customer ON orders(customer)")
        db.execute("CREATE INDEX orders_placed ON orders(placed)")
        db.commit()
        db.close()
        with open(path, "rb") as f:
            return f.read()


def json_log(size=4500115):
    rng = random.Random(20240601)
    services = ["billing", "worker", "api", "auth", "search", "media"]
    levels = ["INFO"] * 6 + ["WARN", "ERROR", "DEBUG"]
    methods = ["GET"] * 5 + ["POST", "PUT", "DELETE"]
    paths = ["/health", "/v1/orders/%d", "/v1/users/%d", "/v1/search", "/v1/items/%d/price", "/login"]
    agents = ["Mozilla/5.0 (X11; Linux x86_64; rv:126.0) Gecko/20100101 Firefox/126.0",
              "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/125.0 Safari/537.36",
              "curl/7.88.1", "python-requests/2.28.1"]
    messages = ["ok", "slow query detected", "rate limit applied", "cache miss", "retrying upstream", "done"]
    out = io.StringIO()
    length = 0
    ms = 0
    while length < size:
        ms += rng.randint(1, 90)
        path = rng.choice(paths)
        if "%d" in path:
            path = path % rng.randint(1, 99999)
        record = {"ts": "2024-06-01T%02d:%02d:%02d.%03dZ" % (ms // 3600000 % 24, ms // 60000 % 60, ms // 1000 % 60, ms % 1000),
                  "level": rng.choice(levels), "svc": rng.choice(services), "req_id": "%016x" % rng.getrandbits(64),
                  "method": rng.choice(methods), "path": path, "status": rng.choice([200, 200, 200, 201, 304, 404, 500]),
                  "ms": round(rng.uniform(0.5, 250.0), 2), "bytes": rng.randint(0, 120000), "ua": rng.choice(agents),
                  "msg": rng.choice(messages)}
        line = json.dumps(record, separators=(",", ":")) + "\n"
        out.write(line)
        length += len(line)
    return out.getvalue().encode()[:size]


def text_japanese(size=3000000):
    rng = random.Random(7741)
    hiragana = [chr(c) for c in range(0x3041, 0x3097)]
    katakana = [chr(c) for c in range(0x30A1, 0x30FB)]
    kanji = [chr(c) for c in range(0x4E00, 0x4E00 + 2000)]

    def word():
        kind = rng.random()
        if kind < 0.45:
            return "".join(rng.choice(kanji) for _ in range(rng.randint(1, 3)))
        if kind < 0.75:
            return "".join(rng.choice(hiragana) for _ in range(rng.randint(2, 5)))
        return "".join(rng.choice(katakana) for _ in range(rng.randint(2, 6)))

    words = [word() for _ in range(6000)]
    cumulative = list(itertools.accumulate(1.0 / (rank + 1) for rank in range(len(words))))  # Zipf-like
    particles = ["は", "が", "を", "に", "で", "と", "の", "から", "まで", "へ"]
    endings = ["です。", "ます。", "でした。", "だろう。", "ではない。", "か？"]
    out = []
    length = 0
    chapter = 0
    while length < size:
        if rng.random() < 0.01:
            chapter += 1
            piece = "\n\n第%d章　%s\n\n" % (chapter, rng.choice(words))
        else:
            parts = []
            for _ in range(rng.randint(2, 6)):
                parts.append(rng.choices(words, cum_weights=cumulative)[0] + rng.choice(particles))
            piece = "".join(parts) + rng.choices(words, cum_weights=cumulative)[0] + rng.choice(endings)
            if rng.random() < 0.15:
                piece += "\n"
        out.append(piece)
        length += len(piece.encode())
    data = "".join(out).encode()[:size]
    return data.decode("utf-8", "ignore").encode().ljust(size, b"\n")


def sparse_zeros(size=5 * MIB):
    rng = random.Random(99)
    data = bytearray(size)
    for block in range(0, size, 64 * 1024):
        header = b"SPRS" + bytes(6) + b"\xa5\xa5" + bytes(8) + bytes(range(32))
        data[block:block + 48] = header[:48]
    for _ in range(90):
        page = rng.randrange(16, size // 4096) * 4096
        for i in range(rng.randint(16, 512)):
            data[page + 4 * i:page + 4 * i + 4] = rng.getrandbits(20).to_bytes(4, "little")
    for _ in range(12):
        start = rng.randrange(0, size - 70000)
        length = rng.randint(100, 65536)
        data[start:start + length] = b"\xff" * length
    for i in range(25):
        start = rng.randrange(0, size - 200)
        record = ("record %d: %s\n" % (i, " ".join(rng.choice(["alpha", "beta", "gamma", "delta"]) for _ in range(8)))).encode()
        data[start:start + len(record)] = record
    return bytes(data)


def random_bytes(size=2 * MIB):
    return hashlib.shake_256(b"corpus-random-v1").digest(size)


def app_bundle(elf, size=6328320):
    rng = random.Random(4242)
    mtime = 1700000000
    members = []

    def add(name, payload):
        members.append((name, payload))

    add("Sample.app/Contents/Info.plist",
        ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
         + "".join("  <key>Key%d</key>\n  <string>value-%08x</string>\n" % (i, rng.getrandbits(32)) for i in range(40))
         + "</dict>\n</plist>\n").encode())
    binaries = [p for p in ("/usr/bin/git", "/usr/bin/cmake", os.path.realpath(sys.executable)) if os.path.isfile(p)]
    with open(binaries[0], "rb") as f:
        add("Sample.app/Contents/MacOS/Sample", f.read()[:3713416])
    used = sum(len(p) + 512 for _, p in members)
    icons = sorted(p.encode() for p in glob.glob("/usr/share/icons/**/*.png", recursive=True))
    for path in icons:
        if used > size * 0.85:
            break
        if os.path.getsize(path) <= 8192:
            continue
        with open(path, "rb") as f:
            payload = f.read()
        name = path.decode().replace("/usr/share/icons/", "").replace("/", "_")
        add("Sample.app/Contents/Resources/icons/" + name, payload)
        used += len(payload) + 512
    for lang in ("en", "ja", "de", "fr"):
        lines = "".join('"key.%d" = "%s %d";\n' % (i, lang, rng.randint(0, 10 ** 6)) for i in range(300))
        add("Sample.app/Contents/Resources/%s.lproj/Localizable.strings" % lang, lines.encode("utf-16-le"))
    add("Sample.app/Contents/Resources/Assets.json",
        json.dumps({"assets": [{"name": n, "scale": rng.choice([1, 2, 3])} for n, _ in members]}, indent=2).encode())
    signatures = "".join("  <key>%s</key>\n  <data>%s</data>\n" % (n, hashlib.sha256(p).hexdigest()) for n, p in members)
    add("Sample.app/Contents/_CodeSignature/CodeResources",
        ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" + signatures + "</dict>\n</plist>\n").encode())

    buffer = io.BytesIO()
    with tarfile.open(fileobj=buffer, mode="w", format=tarfile.USTAR_FORMAT) as tar:
        for name, payload in members:
            info = tarfile.TarInfo(name)
            info.size = len(payload)
            info.mtime = mtime
            info.mode = 0o644
            tar.addfile(info, io.BytesIO(payload))
    return buffer.getvalue()


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out_dir = sys.argv[1]
    os.makedirs(out_dir, exist_ok=True)
    text = text_headers()
    elf = elf_sharedlib()
    files = [
        ("text-headers.bin", text, "first 5 MiB of /usr/include/*.h (byte-sorted) then the newest C++ library header tree"),
        ("elf-sharedlib.bin", elf, "verbatim copy of libcrypto.so.3 (else the Python interpreter's binary)"),
        ("precompressed-gzip.bin", precompressed_gzip(), "gzip -9 (mtime 0) of SHAKE-256 output for the seed 'corpus-gzip-v1', first 2173770 bytes: compressed data no compressor shrinks (the same everywhere)"),
        ("sqlite-db.bin", sqlite_db(), "SQLite database (page_size 4096): customers (20000 rows), orders (30000 rows), 3 indexes, values computed from the row number"),
        ("json-log.bin", json_log(), "JSON-lines request log, Python random.Random(20240601), compact separators"),
        ("text-japanese.bin", text_japanese(), "Japanese-looking prose: 6000 pseudo-words drawn Zipf-like, particles, endings, chapter headings; random.Random(7741)"),
        ("sparse-zeros.bin", sparse_zeros(), "5 MiB mostly zero: 48-byte header every 64 KiB, 90 pages of uint32 tables, 12 runs of 0xFF, 25 text records; random.Random(99)"),
        ("random.bin", random_bytes(), "2 MiB of SHAKE-256 output for the ASCII seed 'corpus-random-v1' (the same everywhere)"),
        ("app-bundle.bin", None, "ustar archive of an application-like tree: Info.plist, an ELF executable, >8 KiB PNG icons of the installed themes, 4 UTF-16LE string tables, Assets.json, a SHA-256 list; fixed mtime, random.Random(4242)"),
    ]
    files[-1] = (files[-1][0], app_bundle(elf), files[-1][2])
    rows = ["name\tbytes\tsha256\thow_made"]
    for name, data, how in files:
        path = os.path.join(out_dir, name)
        with open(path + ".part", "wb") as f:
            f.write(data)
        os.replace(path + ".part", path)
        rows.append("%s\t%d\t%s\t%s" % (name, len(data), hashlib.sha256(data).hexdigest(), how))
    # Written last: its presence says the corpus is complete.
    with open(os.path.join(out_dir, "MANIFEST.tsv"), "w") as f:
        f.write("\n".join(rows) + "\n")


if __name__ == "__main__":
    main()

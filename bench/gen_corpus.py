#!/usr/bin/env python3
"""Writes one benchmark corpus of an exact size from text shipped with Debian packages.

usage: gen_corpus.py {mixed|dense|oneline} OUTPUT SIZE_BYTES
       gen_corpus.py utf16 SOURCE OUTPUT SIZE_BYTES

The same machine state and arguments give the same bytes: files are read in
sorted order and every random choice comes from a fixed seed. A seed block of
real text is built once and then emitted in shuffled chunks, round after round,
so the output is large without being a plain repetition of one block.
"""

import glob
import gzip
import os
import random
import sys

SEED_BYTES = 48 << 20
CRLF = b"\r\n"

# Prose, code and changelogs, taken in turns so the kinds mix throughout.
SOURCES = {
    "changelog": ["/usr/share/doc/*/changelog.Debian.gz", "/usr/share/doc/*/changelog.gz"],
    "copyright": ["/usr/share/doc/*/copyright", "/usr/share/common-licenses/*"],
    "manpage": ["/usr/share/man/man1/*.gz", "/usr/share/man/man3/*.gz", "/usr/share/man/man5/*.gz",
                "/usr/share/man/man8/*.gz"],
    "header": ["/usr/include/*.h", "/usr/include/*/*.h", "/usr/include/*/*/*.h",
               "/usr/include/c++/*/bits/*"],
}

SCHEMES = [b"http://", b"http://", b"http://", b"HTTP://", b"Http://", b"hTTp://", b"HttP://"]
HOSTS = [b"www.example.org", b"deb.debian.org", b"lists.example.net", b"bugs.example.com",
         b"192.0.2.17:8080", b"localhost", b"ftp.example.de", b"mirror.example.ac.uk"]
WORDS = [b"doc", b"index.html", b"debian", b"pool", b"main", b"src", b"v2", b"README", b"bug",
         b"download", b"%7Euser", b"a_b-c", b"release-notes", b"LICENSE.txt", b"x86_64"]
# What may follow a link: nothing, one mark that is dropped, or bytes that stay.
ENDINGS = [b"", b"", b"", b",", b".", b":", b";", b"..", b"),", b")", b"!", b"'", b">", b".;"]
NEAR_MISSES = [b"https://www.example.org/", b"ftp://ftp.example.org/pub", b"http:/broken",
               b"http//also-broken", b"file:///usr/share", b"HTTPS://Example.COM/"]


def seed_lines():
    """Lines of real text, without CR, NUL or line ends, about SEED_BYTES long."""
    queues = []
    for patterns in SOURCES.values():
        paths = sorted({p for pat in patterns for p in glob.glob(pat) if os.path.isfile(p)})
        queues.append(paths)
    lines, total, turn = [], 0, 0
    while total < SEED_BYTES and any(queues):
        queue = queues[turn % len(queues)]
        turn += 1
        if not queue:
            continue
        path = queue.pop(0)
        try:
            with (gzip.open if path.endswith(".gz") else open)(path, "rb") as f:
                data = f.read(4 << 20)
        except (OSError, EOFError):
            continue
        data = data.replace(b"\0", b"").replace(b"\r", b"")
        for line in data.split(b"\n"):
            lines.append(line)
            total += len(line) + 2
    if total < (1 << 20):
        sys.exit("gen_corpus.py: found too little text under /usr/share and /usr/include")
    return lines


def make_link(rng):
    parts = [rng.choice(SCHEMES), rng.choice(HOSTS)]
    for _ in range(rng.randrange(0, 5)):
        parts.append(b"/" + rng.choice(WORDS))
    if rng.random() < 0.2:
        parts.append(b"?q=%d&lang=en#top" % rng.randrange(1000))
    return b"".join(parts) + rng.choice(ENDINGS)


def insert_at_word(rng, line, piece):
    """Puts piece into line at a blank, at the start, or at the end."""
    where = rng.random()
    if not line or where < 0.2:
        return piece + b" " + line if line else piece
    if where < 0.5:
        return line + b" " + piece
    blanks = [i for i in range(len(line)) if line[i] == 0x20]
    if not blanks:
        return line + b" " + piece
    i = rng.choice(blanks)
    return line[:i + 1] + piece + b" " + line[i + 1:]


def long_lines(rng, lines, count):
    """A few very long lines, as minified code or pasted logs have."""
    out = []
    for n in range(count):
        start = rng.randrange(len(lines))
        body = b" ".join(lines[start:start + rng.randrange(500, 8000)])
        if n % 2 == 0:
            body += b" " + make_link(rng)
        out.append(body)
    return out


def mixed_lines(rng, lines):
    per_mille = 4
    natural = sum(1 for line in lines if b"http://" in line.lower())
    want = len(lines) * per_mille // 1000
    extra = max(0, want - natural)
    for i in rng.sample(range(len(lines)), extra):
        lines[i] = insert_at_word(rng, lines[i], make_link(rng))
    for i in rng.sample(range(len(lines)), len(lines) // 500):
        lines[i] = insert_at_word(rng, lines[i], rng.choice(NEAR_MISSES))
    for i, line in zip(rng.sample(range(len(lines)), 6), long_lines(rng, lines, 6)):
        lines[i] = line
    return lines


def dense_lines(rng, lines):
    out = []
    for line in lines:
        line = insert_at_word(rng, line, make_link(rng))
        if rng.random() < 0.1:
            line = insert_at_word(rng, line, make_link(rng))
        if rng.random() < 0.05:
            line = line + b"\t" + rng.choice(NEAR_MISSES)
        out.append(line)
    return out


def chunks_of(rng, lines, end):
    """Groups lines (each given its line end) into chunks of 1 to 400 lines."""
    chunks, i = [], 0
    while i < len(lines):
        n = rng.randrange(1, 400)
        chunks.append(b"".join(line + end for line in lines[i:i + n]))
        i += n
    return chunks


def emit(out, rng, chunks, size, filler):
    """Writes chunks in a fresh shuffled order per round until exactly size bytes."""
    left = size
    order = list(range(len(chunks)))
    while True:
        rng.shuffle(order)
        batch = []
        for k in order:
            c = chunks[k]
            if len(c) + 4096 > left:
                out.writelines(batch)
                out.write(filler(left))
                return
            batch.append(c)
            left -= len(c)
        out.writelines(batch)


def write_lines_corpus(out, rng, lines, size, dense):
    chunks = chunks_of(rng, lines, CRLF)

    # The last line fills the exact size; in the dense corpus it too holds a link.
    def filler(left):
        head = b"last line http://example.org/" if dense else b"last line "
        return head + b"z" * (left - len(head) - 2) + CRLF

    emit(out, rng, chunks, size, filler)


def write_oneline(out, rng, lines, size):
    # Any byte but blank, CR and LF keeps the link going; tabs and quotes stay.
    table = bytes.maketrans(b" \n", b"_/")
    pieces = [line.translate(table) + b"/" for line in lines]
    chunks = chunks_of(rng, pieces, b"")
    head = b"see http://"

    # The line ends in a mark, which the link must lose after a gigabyte of bytes.
    def filler(left):
        return b"q" * (left - 1) + b"."

    out.write(head)
    emit(out, rng, chunks, size - len(head), filler)


def write_utf16(source, path, size):
    """The start of SOURCE as UTF-16LE with its mark, SIZE bytes in all: each
    byte becomes the Latin-1 character it codes, so the lines, links and their
    places stay as they were."""
    units = (size - 2) // 2
    with open(source, "rb") as src, open(path, "wb") as out:
        out.write(b"\xff\xfe")
        while units > 0:
            block = src.read(min(units, 1 << 24))
            if not block:
                sys.exit(f"gen_corpus.py: {source} is shorter than {(size - 2) // 2} bytes")
            out.write(block.decode("latin-1").encode("utf-16-le"))
            units -= len(block)


def main():
    if len(sys.argv) == 5 and sys.argv[1] == "utf16":
        write_utf16(sys.argv[2], sys.argv[3], int(sys.argv[4]))
        return
    if len(sys.argv) != 4 or sys.argv[1] not in ("mixed", "dense", "oneline"):
        sys.exit("\n".join(__doc__.strip().splitlines()[2:4]))
    kind, path, size = sys.argv[1], sys.argv[2], int(sys.argv[3])
    if size < (1 << 20):
        sys.exit("gen_corpus.py: SIZE_BYTES must be at least 1 MiB")
    rng = random.Random("linksift-" + kind)
    lines = seed_lines()
    with open(path, "wb") as out:
        if kind == "mixed":
            write_lines_corpus(out, rng, mixed_lines(rng, lines), size, dense=False)
        elif kind == "dense":
            write_lines_corpus(out, rng, dense_lines(rng, lines), size, dense=True)
        else:
            write_oneline(out, rng, lines, size)
    if os.path.getsize(path) != size:
        sys.exit(f"gen_corpus.py: wrote {os.path.getsize(path)} bytes to {path}, wanted {size}")


if __name__ == "__main__":
    main()

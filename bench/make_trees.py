#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Vardell authors
"""Writes the deterministic benchmark trees: make_trees.py KIND FOLDER [SEED]

KIND is nested (100,000 small files), flat (20,000 files in one folder), big (20 files of
100 MB), copyset (10,000 files of 100 kB, about 1 GB), onebig (one 1 GB file), small
(100,000 files of 0-16 KiB in 5,000 folders), flat1k (20,000 files of 1 KiB in one folder)
or lognormal (10,000 files of log-normal sizes, about 1 GB in all), or million (1,000,000
files of 0-63 bytes in 2,000 folders, for a tmpfs).
`mutate FOLDER` changes 1% of a tree's files (content, size and time), deletes 0.5% and
adds 0.5% new ones, the same way every time."""
import os
import random
import sys

STAMP = 1600000000


def write(path, size, rng, stamp=STAMP):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        remaining = size
        block = rng.randbytes(min(size, 1 << 20)) if size else b""
        while remaining > 0:
            f.write(block[: min(remaining, len(block))])
            remaining -= len(block)
    os.utime(path, (stamp, stamp))


def nested(root, rng):
    for i in range(100000):
        write(f"{root}/d{i % 100:02d}/s{(i // 100) % 10}/f{i:06d}.dat", rng.randrange(0, 2048), rng)


def flat(root, rng):
    for i in range(20000):
        write(f"{root}/f{i:06d}.dat", rng.randrange(0, 2048), rng)


def big(root, rng):
    for i in range(20):
        write(f"{root}/big{i:02d}.bin", 100_000_000, rng)


def small(root, rng):
    for i in range(100000):
        write(f"{root}/d{i % 100:02d}/s{(i // 100) % 50:02d}/f{i:06d}.dat", rng.randrange(0, 16385), rng)


def flat1k(root, rng):
    for i in range(20000):
        write(f"{root}/f{i:06d}.dat", 1024, rng)


def lognormal(root, rng):
    sizes = [rng.lognormvariate(10, 2) for _ in range(10000)]
    scale = 1_000_000_000 / sum(sizes)
    for i, size in enumerate(sizes):
        write(f"{root}/d{i % 20:02d}/f{i:05d}.bin", int(size * scale), rng)


def copyset(root, rng):
    for i in range(10000):
        write(f"{root}/d{i % 50:02d}/f{i:05d}.bin", 100_000, rng)


def onebig(root, rng):
    write(f"{root}/one.bin", 1_000_000_000, rng)


def million(root, rng):
    for i in range(1_000_000):
        write(f"{root}/d{i % 40:02d}/s{(i // 40) % 50:02d}/f{i:07d}.dat", rng.randrange(0, 64), rng)


def mutate(root, rng):
    files = sorted(os.path.join(d, f) for d, _, fs in os.walk(root) for f in fs)
    for path in files[:: 100]:
        with open(path, "ab") as f:
            f.write(b"mutated")
        os.utime(path, (STAMP + 3600, STAMP + 3600))
    for path in files[50:: 200]:
        os.remove(path)
    for i, path in enumerate(files[25:: 200]):
        write(path + ".new", 100 + i, rng)


if __name__ == "__main__":
    kind, folder = sys.argv[1], sys.argv[2]
    generator = {"nested": nested, "flat": flat, "big": big, "copyset": copyset, "onebig": onebig,
                 "small": small, "flat1k": flat1k, "lognormal": lognormal, "million": million, "mutate": mutate}
    generator[kind](folder, random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 42))

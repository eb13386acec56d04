#!/usr/bin/env python3
"""Writes the fuzz targets' seed files into corpus/: valid files and the edge cases the
tests use. Run it from this folder after changing a target's input format."""
import os
import struct


def settings(count, folder=b"C:\\Data\\", password=b"pw"):
    return struct.pack("<I", count) + folder.ljust(256, b"\0")[:256] + password.ljust(60, b"\0")[:60]


def record(website, url=b"u", user=b"n", password=b"p", remarks=b""):
    def field(text, size):
        return text.ljust(size, b"\0")[:size]
    return field(website, 128) + field(url, 128) + field(user, 64) + field(password, 64) + field(remarks, 128)


def text(s):
    return bytes([len(s)]) + s


def add(website, url=b"u"):
    return b"\x00" + text(website) + text(url) + text(b"n") + text(b"p") + text(b"")


seeds = {
    "settings": {
        "valid": settings(3),
        "empty-folder": settings(2, b""),
        "count-zero": settings(0),
        "count-full": settings(1024),
        "count-too-big": settings(5000),
        "short": b"\x03\x00\x00",
        "longer": settings(1) + b"x" * 80,
        "folder-unterminated": struct.pack("<I", 1) + b"F" * 316,
        "password-60": settings(1, b"C:\\x\\", b"k" * 60),
        "folder-too-long": settings(1, b"C:\\" + b"d" * 250),
    },
    # Two bytes of count in force, then the database file.
    "database": {
        "three": struct.pack("<H", 3) + record(b"alpha", b"a.example") + record(b"beta", b"b.example") + record(b"gamma"),
        "zero": struct.pack("<H", 0),
        "short-file": struct.pack("<H", 5) + record(b"only") + b"half" * 20,
        "unterminated": struct.pack("<H", 2) + b"z" * 1024,
        "duplicates": struct.pack("<H", 3) + record(b"Example.COM") + record(b"example.com") + record(b"", b"EXAMPLE.com"),
        "full": struct.pack("<H", 1024) + b"".join(record(b"s%d" % i) for i in range(1024)),
    },
    # Operation scripts: see fuzz_operations.cpp for the byte codes.
    "operations": {
        "add-delete": add(b"A") + add(b"B") + add(b"C") + b"\x03\x01\x00" + b"\x01" + b"\x07",
        "save-load": add(b"A") + add(b"B") + b"\x06" + b"\x04\x01\x00" + b"\x05" + b"\x07",
        "duplicates": add(b"Example.COM", b"x") + b"\x02" + text(b"example.com") + text(b"zzz")
        + b"\x02" + text(b"q") + text(b"X"),
        "shrink-then-delete": add(b"A") + add(b"B") + add(b"C") + b"\x04\x01\x00" + b"\x03\x02\x00" + b"\x01" + b"\x05",
        "count-too-big": b"\x04\x00\x08" + b"\x04\x00\x04" + b"\x07",
    },
}

for target, files in seeds.items():
    os.makedirs(os.path.join("corpus", target), exist_ok=True)
    for name, data in files.items():
        with open(os.path.join("corpus", target, name), "wb") as out:
            out.write(data)

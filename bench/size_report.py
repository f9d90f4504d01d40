#!/usr/bin/env python3
"""NimbicSetup.exe's size: as built, stripped, stripped without its two payloads, and (given the
GNU ld link map) the libraries and objects its loaded bytes come from."""
import argparse
import collections
import os
import re

# Sections that strip removes or that take no room in the file.
NOT_IN_FILE = re.compile(r"^(\.debug|\.zdebug|\.bss|COMMON|\*fill\*|\.gnu_debuglink)")
FULL = re.compile(r"^ (\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")
NAME_ONLY = re.compile(r"^ (\S+)\s*$")
CONTINUED = re.compile(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")


def input_sections(map_path):
    """(section, size, origin) for every input section placed in the image."""
    with open(map_path, encoding="utf-8", errors="replace") as lines:
        placed = False
        pending = None
        for line in lines:
            line = line.rstrip("\n")
            if line.startswith("Linker script and memory map"):
                placed = True
                continue
            if not placed:
                continue
            # A long section name puts its address and size on the next line.
            full = FULL.match(line)
            if full:
                pending = None
                yield full.group(1), int(full.group(3), 16), full.group(4).strip()
                continue
            continued = CONTINUED.match(line) if pending else None
            if continued:
                yield pending, int(continued.group(2), 16), continued.group(3).strip()
            named = NAME_ONLY.match(line)
            pending = named.group(1) if named else None


def library_and_member(origin):
    """'/path/libfoo.a(bar.o)' -> ('libfoo.a', 'bar.o'); a plain object is its own library."""
    archive = re.match(r"^(.*)\((.*)\)$", origin)
    if archive:
        return os.path.basename(archive.group(1)), archive.group(2)
    name = os.path.basename(origin)
    return name, name


def contributions(map_path):
    libraries = collections.Counter()
    objects = collections.Counter()
    sections = collections.Counter()
    for section, size, origin in input_sections(map_path):
        if NOT_IN_FILE.match(section) or size == 0:
            continue
        library, member = library_and_member(origin)
        libraries[library] += size
        objects[f"{library}({member})" if library != member else member] += size
        sections[section.split("$")[0]] += size
    return libraries, objects, sections


def kib(size):
    return f"{size / 1024:8.1f} KiB"


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--stripped", required=True)
    parser.add_argument("--payload", action="append", default=[])
    parser.add_argument("--map")
    parser.add_argument("--top", type=int, default=5)
    args = parser.parse_args()

    built = os.path.getsize(args.exe)
    stripped = os.path.getsize(args.stripped)
    payloads = sum(os.path.getsize(path) for path in args.payload)
    print(f"  as built                    {built:>10,} bytes")
    print(f"  stripped                    {stripped:>10,} bytes")
    names = ", ".join(f"{os.path.basename(p)} {os.path.getsize(p):,}" for p in args.payload)
    print(f"  payloads ({names}) {payloads:>10,} bytes")
    print(f"  stripped without payloads   {stripped - payloads:>10,} bytes")
    if not args.map or not os.path.exists(args.map):
        print("  (no link map: configure with -DNIMBIC_LINK_MAP=ON for the contributors)")
        return

    libraries, objects, sections = contributions(args.map)
    total = sum(libraries.values())
    print(f"  loaded input sections from the link map: {total:,} bytes "
          f"({', '.join(f'{name} {kib(size).strip()}' for name, size in sections.most_common(6))})")
    print(f"  biggest libraries and objects (the .res object holds the payloads and manifest):")
    for name, size in libraries.most_common(args.top):
        print(f"    {kib(size)}  {100 * size / total:5.1f}%  {name}")
    print("  biggest single objects:")
    for name, size in objects.most_common(args.top):
        print(f"    {kib(size)}  {100 * size / total:5.1f}%  {name}")


if __name__ == "__main__":
    main()

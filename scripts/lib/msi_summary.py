"""The summary information stream of a Windows Installer package, patched where it lies in the
compound file: the package code and the times, which msibuild cannot set to chosen values."""
import struct


class PackageError(Exception):
    """The file is not a package this module can patch."""


def fail(message):
    raise PackageError(message)


SUMMARY_STREAM = "\x05SummaryInformation"
FREE_CHAIN_END = 0xFFFFFFFE
PID_REVISION = 9  # the package code, as "{GUID}"
PID_TIMES = (11, 12, 13)  # last printed, created, last saved
VT_LPSTR = 30
VT_FILETIME = 64


def stream_offsets(data, wanted):
    """The file offset of every byte of the named stream of a compound file."""
    if data[:8] != bytes.fromhex("D0CF11E0A1B11AE1"):
        fail("the package is not a compound file")
    sector_size = 1 << struct.unpack_from("<H", data, 30)[0]
    mini_size = 1 << struct.unpack_from("<H", data, 32)[0]
    first_directory, _, cutoff, first_minifat = struct.unpack_from("<IIII", data, 48)
    first_difat, difat_count = struct.unpack_from("<II", data, 68)
    per_sector = sector_size // 4

    def at(sector):
        return (sector + 1) * sector_size

    fat_sectors = list(struct.unpack_from("<109I", data, 76))
    sector = first_difat
    for _ in range(difat_count):
        entries = struct.unpack_from("<%dI" % per_sector, data, at(sector))
        fat_sectors += entries[:-1]
        sector = entries[-1]
    fat = []
    for sector in fat_sectors:
        if sector < 0xFFFFFFFA:
            fat += struct.unpack_from("<%dI" % per_sector, data, at(sector))

    def chain(start, table):
        sectors = []
        while start != FREE_CHAIN_END:
            sectors.append(start)
            start = table[start]
        return sectors

    directory = b"".join(data[at(s) : at(s) + sector_size] for s in chain(first_directory, fat))
    entries = [directory[i : i + 128] for i in range(0, len(directory), 128)]
    root_start = struct.unpack_from("<I", entries[0], 116)[0]
    for entry in entries:
        length = struct.unpack_from("<H", entry, 64)[0]
        if length < 2 or entry[:length - 2].decode("utf-16-le") != wanted:
            continue
        start, size = struct.unpack_from("<IQ", entry, 116)
        if size >= cutoff:
            sectors = chain(start, fat)
            return [at(sectors[i // sector_size]) + i % sector_size for i in range(size)]
        minifat = []
        for sector in chain(first_minifat, fat):
            minifat += struct.unpack_from("<%dI" % per_sector, data, at(sector))
        container = chain(root_start, fat)
        offsets = []
        for number, mini in enumerate(chain(start, minifat)):
            for i in range(mini_size):
                if number * mini_size + i == size:
                    return offsets
                place = mini * mini_size + i
                offsets.append(at(container[place // sector_size]) + place % sector_size)
        return offsets
    fail("the package has no summary information")


def set_summary(path, revision, epoch):
    """Writes the package code (a braced GUID) and the times (seconds since 1970) in place."""
    with open(path, "rb") as package:
        data = bytearray(package.read())
    offsets = stream_offsets(data, SUMMARY_STREAM)
    stream = bytearray(data[o] for o in offsets)
    section = struct.unpack_from("<I", stream, 44)[0]
    count = struct.unpack_from("<I", stream, section + 4)[0]
    filetime = struct.pack("<Q", (epoch + 11644473600) * 10_000_000)
    revision = revision.encode("ascii")
    patched = set()
    for i in range(count):
        pid, where = struct.unpack_from("<II", stream, section + 8 + 8 * i)
        where += section
        kind = struct.unpack_from("<I", stream, where)[0]
        if pid in PID_TIMES and kind == VT_FILETIME:
            stream[where + 4 : where + 12] = filetime
            patched.add(pid)
        elif pid == PID_REVISION and kind == VT_LPSTR:
            length = struct.unpack_from("<I", stream, where + 4)[0]
            if length != len(revision) + 1:
                fail("the package code in the summary is not a braced GUID")
            stream[where + 8 : where + 8 + len(revision)] = revision
            patched.add(pid)
    if not {PID_REVISION, 12, 13} <= patched:
        fail("the summary lacks its package code or its times")
    for offset, byte in zip(offsets, stream):
        data[offset] = byte
    with open(path, "wb") as package:
        package.write(data)



#!/usr/bin/python3
"""Checks a Windows program of ours as Windows will load it: every DLL in its import tables is
a known system DLL, it narrows the search of later loads (SetDefaultDllDirectories), and its
header asks for address randomisation over the 64-bit range and for non-executable data. A DLL
loaded into another program's process (the MSI's custom-action DLL) must instead leave that
process's search alone: it must not import SetDefaultDllDirectories. Prints the import table
and the header flags; exits 1 on any fault.

Usage: pe_check.py PROGRAM.exe|LIBRARY.dll..."""
import sys

import pefile

# Windows looks for any other DLL in the program's own folder first, and a setup program runs
# elevated from a Downloads folder. These are the names in the KnownDLLs list of Windows 10 and
# 11 (always mapped from System32), plus ntdll, which the kernel maps into every process before
# any search. ucrtbase is left out: it is only in the known set as a dependency of others, and
# our runtime is msvcrt.
KNOWN_DLLS = {
    "advapi32.dll", "combase.dll", "comdlg32.dll", "gdi32.dll", "imm32.dll", "kernel32.dll",
    "msvcrt.dll", "ntdll.dll", "ole32.dll", "oleaut32.dll", "rpcrt4.dll", "sechost.dll",
    "setupapi.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "ws2_32.dll",
}
# API sets name no file: the loader resolves them from its own schema, never by searching.
API_SET_PREFIX = "api-ms-win-"

REQUIRED_FLAGS = ["DYNAMIC_BASE", "NX_COMPAT", "HIGH_ENTROPY_VA"]


def is_known(dll):
    name = dll.lower()
    return name in KNOWN_DLLS or name.startswith(API_SET_PREFIX)


def imported_dlls(pe):
    """(name, how) for every DLL the program names, delay-loaded ones too: nothing here can
    tell whether a delayed load comes only after the entry point has narrowed the search."""
    found = [(entry.dll.decode(), "imports")
             for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]
    found += [(entry.dll.decode(), "delay-loads")
              for entry in getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])]
    return found


def narrows_dll_search(pe):
    # Imported only when something calls it: the linker takes no uncalled function from a
    # static library.
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        if entry.dll.decode().lower() == "kernel32.dll":
            return any(symbol.name == b"SetDefaultDllDirectories" for symbol in entry.imports)
    return False


def header_flags(pe):
    value = pe.OPTIONAL_HEADER.DllCharacteristics
    names = [name[len("IMAGE_DLLCHARACTERISTICS_"):]
             for name, bit in pefile.dll_characteristics if value & bit]
    return value, names


def has_relocations(pe):
    # A program Windows may move needs its base relocations; a linker may drop them silently.
    base_relocations = pe.OPTIONAL_HEADER.DATA_DIRECTORY[
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]]
    stripped = pe.FILE_HEADER.Characteristics & pefile.IMAGE_CHARACTERISTICS[
        "IMAGE_FILE_RELOCS_STRIPPED"]
    return base_relocations.Size > 0 and not stripped


def faults_of(path):
    try:
        pe = pefile.PE(path)
    except (OSError, pefile.PEFormatError) as error:
        return [f"{path}: not a program Windows could load ({error})"]
    name = path.rsplit("/", 1)[-1]
    faults = []
    dlls = imported_dlls(pe)
    print(f"{name} imports " + ", ".join(dll + (" (delayed)" if how != "imports" else "")
                                         for dll, how in dlls))
    for dll, how in dlls:
        if not is_known(dll):
            faults.append(f"{name} {how} {dll}, which is no known DLL: a copy beside the program "
                          "would be loaded instead of the system's")
    if pe.is_dll():
        if narrows_dll_search(pe):
            faults.append(f"{name} is a library and changes the DLL search of the process that "
                          "loads it (it imports SetDefaultDllDirectories)")
    elif not narrows_dll_search(pe):
        faults.append(f"{name} never narrows its DLL search: it does not import "
                      "SetDefaultDllDirectories")
    value, names = header_flags(pe)
    print(f"{name} has DllCharacteristics 0x{value:04x} ({' '.join(names)})")
    for flag in REQUIRED_FLAGS:
        if flag not in names:
            faults.append(f"{name} lacks {flag} in its DllCharacteristics")
    if not has_relocations(pe):
        faults.append(f"{name} has no base relocations, so Windows cannot move it")
    return faults


def main(paths):
    if not paths:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    faults = [fault for path in paths for fault in faults_of(path)]
    for fault in faults:
        print(f"FAIL: {fault}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

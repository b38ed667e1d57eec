#!/usr/bin/env python3
"""Opens the release packages and checks what they hold.

Usage: check_packages.py PACKAGE_DIR VERSION
Each Vintrell-VERSION-win32.zip and -win64.zip must hold exactly Vintrell.exe, of its own
bitness, stripped (no debug section, no symbol table) and passing the built program's checks
(tests/executable/check_exe.py), and README.txt with Windows line ends; SHA256SUMS must list
both with their sums.
"""
import hashlib
import struct
import sys
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "executable"))
import check_exe  # noqa: E402

MACHINES = {"win32": 0x14C, "win64": 0x8664}
BITS = {"win32": 32, "win64": 64}
README_MUST_SAY = [
    "Start Monitoring",
    "Stop Monitoring - Show Main Window",
    "Load this software on Windows startup",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "HKEY_LOCAL_MACHINE",
    "Program Files",
    "HKEY_CURRENT_USER\\Software\\Tolvane\\Vintrell",
    "delete Vintrell.exe",
]


def machine_of(exe: bytes) -> int:
    if exe[:2] != b"MZ":
        return -1
    (offset,) = struct.unpack_from("<I", exe, 0x3C)
    if exe[offset : offset + 4] != b"PE\0\0":
        return -1
    (machine,) = struct.unpack_from("<H", exe, offset + 4)
    return machine


def debug_leftovers(exe: bytes) -> list[str]:
    """What stripping removes: the COFF symbol table and the .debug_* sections (their long names
    are "/N", an offset into the string table that follows the symbols)."""
    (offset,) = struct.unpack_from("<I", exe, 0x3C)
    _, count, _, symbols_at, symbol_count, optional_size, _ = struct.unpack_from(
        "<HHIIIHH", exe, offset + 4
    )
    # A string table alone stays behind for long section names such as .gnu_debuglink.
    leftovers = [f"a symbol table of {symbol_count} symbols"] if symbol_count else []
    strings_at = symbols_at + 18 * symbol_count
    first = offset + 24 + optional_size
    for index in range(count):
        name = exe[first + 40 * index : first + 40 * index + 8].rstrip(b"\0").decode("latin-1")
        if name.startswith("/") and name[1:].isdigit() and symbols_at:
            start = strings_at + int(name[1:])
            name = exe[start : exe.find(b"\0", start)].decode("latin-1")
        if name.startswith(".debug"):
            leftovers.append(f"section {name}")
    return leftovers


def check_zip(path: Path, arch: str, template: str) -> list[str]:
    faults = []
    with zipfile.ZipFile(path) as package:
        names = sorted(package.namelist())
        if names != ["README.txt", "Vintrell.exe"]:
            return [f"{path.name} holds {names}, not README.txt and Vintrell.exe"]
        exe = package.read("Vintrell.exe")
        readme = package.read("README.txt")
    if machine_of(exe) != MACHINES[arch]:
        return [f"{path.name}: Vintrell.exe is not a {arch} program"]
    leftovers = debug_leftovers(exe)
    if leftovers:
        faults.append(f"{path.name}: Vintrell.exe is not stripped: {', '.join(leftovers)}")
    try:
        failures = check_exe.run_checks(check_exe.parse_image(exe), BITS[arch], template)
    except check_exe.FormatError as error:
        failures = [f"is not a well-formed PE file: {error}"]
    faults += [f"{path.name}: Vintrell.exe {failure}" for failure in failures]
    lone_line_feeds = readme.count(b"\n") - readme.count(b"\r\n")
    if readme.count(b"\r\n") == 0 or lone_line_feeds != 0:
        faults.append(f"{path.name}: README.txt has {lone_line_feeds} lines without Windows line ends")
    text = readme.decode("ascii", errors="replace")
    faults += [f"{path.name}: README.txt does not say {s!r}" for s in README_MUST_SAY if s not in text]
    return faults


def check_sums(folder: Path, packages: list[Path]) -> list[str]:
    sums_file = folder / "SHA256SUMS"
    if not sums_file.is_file():
        return ["no SHA256SUMS beside the packages"]
    listed = {}
    for line in sums_file.read_text().splitlines():
        digest, _, name = line.partition("  ")
        listed[name] = digest
    faults = []
    for package in packages:
        actual = hashlib.sha256(package.read_bytes()).hexdigest()
        if listed.get(package.name) != actual:
            faults.append(f"SHA256SUMS does not give the sum of {package.name}")
    if len(listed) != len(packages):
        faults.append(f"SHA256SUMS lists {sorted(listed)}")
    return faults


def main() -> int:
    folder, version = Path(sys.argv[1]), sys.argv[2]
    template = (ROOT / "resources" / "vintrell.manifest.in").read_text(encoding="utf-8")
    faults, packages = [], []
    for arch in MACHINES:
        path = folder / f"Vintrell-{version}-{arch}.zip"
        if not path.is_file():
            faults.append(f"no package {path.name}")
            continue
        packages.append(path)
        faults += check_zip(path, arch, template)
    faults += check_sums(folder, packages)
    for fault in faults:
        print(fault)
    if faults:
        print(f"packages: {len(faults)} faults")
        return 1
    print(f"packages: {', '.join(p.name for p in packages)} and SHA256SUMS as expected")
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Opens the release packages and checks what they hold.

Usage: check_packages.py PACKAGE_DIR VERSION
Each Vintrell-VERSION-win32.zip and -win64.zip must hold exactly Vintrell.exe, of its own
bitness, and README.txt with Windows line ends; SHA256SUMS must list both with their sums.
"""
import hashlib
import struct
import sys
import zipfile
from pathlib import Path

MACHINES = {"win32": 0x14C, "win64": 0x8664}
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


def check_zip(path: Path, arch: str) -> list[str]:
    faults = []
    with zipfile.ZipFile(path) as package:
        names = sorted(package.namelist())
        if names != ["README.txt", "Vintrell.exe"]:
            return [f"{path.name} holds {names}, not README.txt and Vintrell.exe"]
        exe = package.read("Vintrell.exe")
        readme = package.read("README.txt")
    if machine_of(exe) != MACHINES[arch]:
        faults.append(f"{path.name}: Vintrell.exe is not a {arch} program")
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
    faults, packages = [], []
    for arch in MACHINES:
        path = folder / f"Vintrell-{version}-{arch}.zip"
        if not path.is_file():
            faults.append(f"no package {path.name}")
            continue
        packages.append(path)
        faults += check_zip(path, arch)
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

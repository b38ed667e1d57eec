#!/usr/bin/env python3
"""Checks a built Vintrell.exe without running it: its PE headers, imports, resources, and the
texts of its defences against DLLs and programs planted beside it.

Usage: check_exe.py EXE BITS MANIFEST_TEMPLATE
"""

import struct
import sys
from dataclasses import dataclass, field

ARCHITECTURES = {
    32: {"machine": 0x14C, "magic": 0x10B, "format": "PE32", "manifest": "x86"},
    64: {"machine": 0x8664, "magic": 0x20B, "format": "PE32+", "manifest": "amd64"},
}
SUBSYSTEM_WINDOWS_GUI = 2

IMPORT_DIRECTORY = 1
RESOURCE_DIRECTORY = 2

RT_ICON = 3
RT_GROUP_ICON = 14
RT_VERSION = 16
RT_MANIFEST = 24
MANIFEST_ID = 1

ALLOWED_DLLS = [
    "ADVAPI32.dll",
    "COMCTL32.dll",
    "GDI32.dll",
    "KERNEL32.dll",
    "msvcrt.dll",
    "ole32.dll",
    "SHELL32.dll",
    "USER32.dll",
]
REQUIRED_DLLS = ["KERNEL32.dll", "USER32.dll"]

EXPECTED_STRINGS = {
    "CompanyName": "Organization",
    "FileVersion": "1.00",
    "InternalName": "Vintrell",
    "OriginalFilename": "Vintrell.exe",
    "ProductName": "Pellidor",
    "ProductVersion": "1.00",
}
EXPECTED_FILE_VERSION = (1, 0, 0, 0)
FIXED_FILE_INFO_SIGNATURE = 0xFEEF04BD

MANIFEST_PLACEHOLDER = "@VINTRELL_MANIFEST_ARCH@"

# Looked up by name at run time, never imported: an unpatched Windows 7 lacks it, and an import
# would stop the program from starting there.
DLL_SEARCH_LOOKUP = "SetDefaultDllDirectories"
# Where that lookup finds nothing: imported from kernel32.
DLL_SEARCH_FALLBACK = "SetDllDirectoryA"
# Explorer, named by its full path in the Windows folder; a bare name would be looked for in
# the program's folder first.
EXPLORER_FULL_PATH = "\\explorer.exe"
EXPLORER_BARE = 'explorer "'


class FormatError(Exception):
    """The file is not laid out as its format says it should be."""


def unpack(fmt, data, offset):
    size = struct.calcsize(fmt)
    if offset < 0 or offset + size > len(data):
        raise FormatError(f"{size} bytes at offset 0x{offset:x} lie outside the data")
    return struct.unpack_from(fmt, data, offset)


@dataclass
class Section:
    name: str
    virtual_address: int
    virtual_size: int
    raw_size: int
    raw_offset: int


@dataclass
class Image:
    data: bytes
    machine: int
    magic: int
    subsystem: int
    directories: list
    sections: list

    def directory(self, index):
        if index >= len(self.directories):
            return 0, 0
        return self.directories[index]

    def offset_of(self, rva, size=1):
        for section in self.sections:
            start = section.virtual_address
            span = max(section.virtual_size, section.raw_size)
            if start <= rva and rva + size <= start + span:
                if rva - start + size > section.raw_size:
                    raise FormatError(f"RVA 0x{rva:x} in {section.name} has no data in the file")
                return section.raw_offset + rva - start
        raise FormatError(f"RVA 0x{rva:x} lies in no section")

    def unpack(self, fmt, rva):
        return unpack(fmt, self.data, self.offset_of(rva, struct.calcsize(fmt)))

    def read(self, rva, size):
        if size == 0:
            return b""
        offset = self.offset_of(rva, size)
        return self.data[offset : offset + size]

    def c_string(self, rva):
        offset = self.offset_of(rva)
        end = self.data.find(b"\0", offset)
        if end < 0:
            raise FormatError(f"string at RVA 0x{rva:x} has no terminating NUL")
        try:
            return self.data[offset:end].decode("ascii")
        except UnicodeDecodeError as error:
            raise FormatError(f"string at RVA 0x{rva:x} is not ASCII") from error


def parse_sections(data, start, count):
    sections = []
    for index in range(count):
        name, virtual_size, virtual_address, raw_size, raw_offset = unpack(
            "<8sIIII", data, start + 40 * index
        )
        name = name.rstrip(b"\0").decode("ascii", "replace")
        sections.append(Section(name, virtual_address, virtual_size, raw_size, raw_offset))
    return sections


def parse_image(data):
    if data[:2] != b"MZ":
        raise FormatError("no MZ signature: not a DOS or PE executable")
    (pe_offset,) = unpack("<I", data, 0x3C)
    if data[pe_offset : pe_offset + 4] != b"PE\0\0":
        raise FormatError(f"no PE signature at offset 0x{pe_offset:x}")
    machine, section_count, _, _, _, optional_size, _ = unpack("<HHIIIHH", data, pe_offset + 4)
    optional = pe_offset + 24
    (magic,) = unpack("<H", data, optional)
    (subsystem,) = unpack("<H", data, optional + 68)
    # PE32+ drops BaseOfData but widens ImageBase and the stack and heap sizes: 16 bytes more.
    if magic == ARCHITECTURES[32]["magic"]:
        count_at = 92
    elif magic == ARCHITECTURES[64]["magic"]:
        count_at = 108
    else:
        raise FormatError(f"unknown optional header magic 0x{magic:x}")
    (directory_count,) = unpack("<I", data, optional + count_at)
    if count_at + 4 + 8 * directory_count > optional_size:
        raise FormatError(f"{directory_count} data directories overrun the optional header")
    directories = [
        unpack("<II", data, optional + count_at + 4 + 8 * index) for index in range(directory_count)
    ]
    sections = parse_sections(data, optional + optional_size, section_count)
    return Image(data, machine, magic, subsystem, directories, sections)


def import_descriptors(image):
    """(DLL name, lookup table RVA) for every imported DLL."""
    rva, _ = image.directory(IMPORT_DIRECTORY)
    found = []
    if rva == 0:
        return found
    # The descriptor array ends at an all-zero entry; the directory's size is not reliable.
    while True:
        descriptor = image.unpack("<IIIII", rva + 20 * len(found))
        if descriptor == (0, 0, 0, 0, 0):
            return found
        # Without an import lookup table, the address table holds the same entries on disk.
        lookup = descriptor[0] or descriptor[4]
        found.append((image.c_string(descriptor[3]), lookup))


def imported_dlls(image):
    return [name for name, _ in import_descriptors(image)]


def imported_functions(image, dll):
    """The names of the functions imported from the DLL (ordinals left out)."""
    wide = image.magic == ARCHITECTURES[64]["magic"]
    entry_format, ordinal_flag = ("<Q", 1 << 63) if wide else ("<I", 1 << 31)
    entry_size = struct.calcsize(entry_format)
    names = []
    for name, lookup in import_descriptors(image):
        if name.lower() != dll.lower():
            continue
        index = 0
        while True:
            (entry,) = image.unpack(entry_format, lookup + entry_size * index)
            if entry == 0:
                break
            if not entry & ordinal_flag:
                # A hint, two bytes, then the name.
                names.append(image.c_string((entry & 0x7FFFFFFF) + 2))
            index += 1
    return names


@dataclass
class Resource:
    type: object
    name: object
    language: object
    data: bytes


def resource_key(image, base, value):
    # A set high bit means a name, given as an offset to a counted UTF-16 string.
    if not value & 0x80000000:
        return value
    rva = base + (value & 0x7FFFFFFF)
    (length,) = image.unpack("<H", rva)
    return image.read(rva + 2, 2 * length).decode("utf-16-le")


def resources(image):
    """Every resource in the type / name / language tree, as Resource records."""
    base, _ = image.directory(RESOURCE_DIRECTORY)
    found = []
    if base == 0:
        return found

    def walk(offset, path):
        _, _, _, _, named, ids = image.unpack("<IIHHHH", base + offset)
        for index in range(named + ids):
            name, target = image.unpack("<II", base + offset + 16 + 8 * index)
            key = resource_key(image, base, name)
            # A set high bit marks a subdirectory; offsets in the tree count from its start.
            if target & 0x80000000:
                if len(path) == 2:
                    raise FormatError("resource tree deeper than type / name / language")
                walk(target & 0x7FFFFFFF, path + (key,))
            elif len(path) != 2:
                raise FormatError(f"resource data at level {len(path) + 1} of the tree")
            else:
                # Unlike the offsets in the tree, a data entry's offset is an RVA.
                data_rva, size, _, _ = image.unpack("<IIII", base + target)
                found.append(Resource(path[0], path[1], key, image.read(data_rva, size)))

    walk(0, ())
    return found


@dataclass
class VersionNode:
    key: str
    value: bytes
    is_text: bool
    children: list = field(default_factory=list)

    def text(self):
        return self.value.decode("utf-16-le").removesuffix("\0")


def align4(offset):
    return (offset + 3) & ~3


def utf16_string_end(data, start, limit):
    for offset in range(start, limit - 1, 2):
        if data[offset : offset + 2] == b"\0\0":
            return offset
    raise FormatError(f"version key at offset 0x{start:x} has no terminating NUL")


def parse_version_node(data, offset):
    """One node of the VS_VERSIONINFO tree at offset, and the offset just past it."""
    length, value_length, value_type = unpack("<HHH", data, offset)
    end = offset + length
    if length < 6 or end > len(data):
        raise FormatError(f"version node at offset 0x{offset:x} has bad length {length}")
    key_end = utf16_string_end(data, offset + 6, end)
    key = data[offset + 6 : key_end].decode("utf-16-le")
    value_start = align4(key_end + 2)
    # A text value's length counts UTF-16 characters, a binary value's counts bytes.
    value_size = 2 * value_length if value_type == 1 else value_length
    if value_start + value_size > end:
        raise FormatError(f"value of version node {key!r} overruns the node")
    node = VersionNode(key, data[value_start : value_start + value_size], value_type == 1)
    child = align4(value_start + value_size)
    while child < end:
        child_node, child_end = parse_version_node(data, child)
        if child_end > end:
            raise FormatError(f"version node {child_node.key!r} overruns its parent {key!r}")
        node.children.append(child_node)
        child = align4(child_end)
    return node, end


def check_headers(image, bits):
    expected = ARCHITECTURES[bits]
    failures = []
    if image.machine != expected["machine"]:
        failures.append(
            f"machine is 0x{image.machine:x}, expected 0x{expected['machine']:x} "
            f"for a {bits}-bit program"
        )
    if image.magic != expected["magic"]:
        failures.append(
            f"optional header magic is 0x{image.magic:x}, expected 0x{expected['magic']:x} "
            f"({expected['format']})"
        )
    if image.subsystem != SUBSYSTEM_WINDOWS_GUI:
        failures.append(
            f"subsystem is {image.subsystem}, expected {SUBSYSTEM_WINDOWS_GUI} (Windows GUI)"
        )
    return failures


def check_imports(image):
    names = imported_dlls(image)
    lowered = {name.lower() for name in names}
    allowed = {name.lower() for name in ALLOWED_DLLS}
    failures = [
        f"imports {name}, which is not one of Windows' own DLLs allowed here"
        for name in names
        if name.lower() not in allowed
    ]
    failures += [f"does not import {name}" for name in REQUIRED_DLLS if name.lower() not in lowered]
    return failures


def check_fixed_file_info(root):
    if len(root.value) < 52:
        return [f"fixed file info is {len(root.value)} bytes, expected 52"]
    signature, _, version_ms, version_ls = struct.unpack_from("<IIII", root.value)
    if signature != FIXED_FILE_INFO_SIGNATURE:
        return [f"fixed file info signature is 0x{signature:x}"]
    version = (version_ms >> 16, version_ms & 0xFFFF, version_ls >> 16, version_ls & 0xFFFF)
    if version != EXPECTED_FILE_VERSION:
        return [
            f"fixed file info FileVersion is {'.'.join(map(str, version))}, "
            f"expected {'.'.join(map(str, EXPECTED_FILE_VERSION))}"
        ]
    return []


def check_string_table(table):
    strings = {entry.key: entry.text() for entry in table.children}
    failures = []
    if len(strings) != len(table.children):
        failures.append(f"string table {table.key} repeats a name")
    for name, expected in EXPECTED_STRINGS.items():
        if name not in strings:
            failures.append(f"string table {table.key} has no {name}")
        elif strings[name] != expected:
            failures.append(
                f"string table {table.key}: {name} is {strings[name]!r}, expected {expected!r}"
            )
    for name in sorted(strings.keys() - EXPECTED_STRINGS.keys()):
        failures.append(f"string table {table.key} has unexpected {name} = {strings[name]!r}")
    return failures


def check_version_resource(resource):
    root, _ = parse_version_node(resource.data, 0)
    if root.key != "VS_VERSION_INFO":
        return [f"version resource's root key is {root.key!r}"]
    failures = check_fixed_file_info(root)
    tables = [
        table
        for child in root.children
        if child.key == "StringFileInfo"
        for table in child.children
    ]
    if not tables:
        failures.append("version resource has no StringFileInfo string table")
    for table in tables:
        failures += check_string_table(table)
    return failures


def check_version(found):
    versions = [resource for resource in found if resource.type == RT_VERSION]
    if not versions:
        return ["no RT_VERSION resource"]
    failures = []
    for resource in versions:
        failures += check_version_resource(resource)
    return failures


def normalise(text):
    lines = text.replace("\r\n", "\n").replace("\r", "\n").split("\n")
    return "\n".join(line.rstrip() for line in lines).rstrip()


def first_difference(actual, expected):
    actual_lines = actual.split("\n")
    expected_lines = expected.split("\n")
    for number, (got, wanted) in enumerate(zip(actual_lines, expected_lines), start=1):
        if got != wanted:
            return f"line {number} is {got!r}, expected {wanted!r}"
    return f"it has {len(actual_lines)} lines, expected {len(expected_lines)}"


def check_manifest(found, template, bits):
    expected = normalise(template.replace(MANIFEST_PLACEHOLDER, ARCHITECTURES[bits]["manifest"]))
    manifests = [r for r in found if r.type == RT_MANIFEST and r.name == MANIFEST_ID]
    if not manifests:
        return [f"no RT_MANIFEST resource with id {MANIFEST_ID}"]
    failures = []
    for resource in manifests:
        try:
            actual = normalise(resource.data.decode("utf-8-sig"))
        except UnicodeDecodeError:
            failures.append("manifest is not UTF-8")
            continue
        if actual != expected:
            failures.append(
                f"manifest differs from the template: {first_difference(actual, expected)}"
            )
    return failures


def check_icon(found):
    groups = [resource for resource in found if resource.type == RT_GROUP_ICON]
    if not groups:
        return ["no RT_GROUP_ICON resource (the application icon)"]
    icons = {resource.name for resource in found if resource.type == RT_ICON}
    failures = []
    for group in groups:
        _, kind, count = unpack("<HHH", group.data, 0)
        if kind != 1 or count == 0:
            failures.append(f"icon group {group.name} is not an icon directory with entries")
        for index in range(count):
            # Each 14-byte GRPICONDIRENTRY ends with the id of its RT_ICON resource.
            (icon_id,) = unpack("<H", group.data, 6 + 14 * index + 12)
            if icon_id not in icons:
                failures.append(f"icon group {group.name} names missing icon {icon_id}")
    return failures


def check_resources(image, bits, template):
    found = resources(image)
    failures = []
    for check in (check_version, lambda f: check_manifest(f, template, bits), check_icon):
        try:
            failures += check(found)
        except FormatError as error:
            failures.append(f"malformed resource: {error}")
    return failures


def holds_name(data, name):
    """Whether the ASCII name is in the data as a text of its own, NUL-terminated, not as the
    tail of a longer name (the symbol table's __imp_ entries and mangled names)."""
    needle = name.encode("ascii") + b"\0"
    start = data.find(needle)
    while start >= 0:
        before = data[start - 1 : start]
        if not (before.isalnum() or before == b"_"):
            return True
        start = data.find(needle, start + 1)
    return False


def check_planted_files(image):
    failures = []
    kernel32 = {name.lower() for name in imported_functions(image, "KERNEL32.dll")}
    if DLL_SEARCH_LOOKUP.lower() in kernel32:
        failures.append(
            f"imports {DLL_SEARCH_LOOKUP} from KERNEL32.dll: the program would not start on a "
            "Windows 7 without it"
        )
    elif not holds_name(image.data, DLL_SEARCH_LOOKUP):
        failures.append(
            f"has no text {DLL_SEARCH_LOOKUP!r} to look up: the DLL search is not restricted"
        )
    if DLL_SEARCH_FALLBACK.lower() not in kernel32:
        failures.append(f"does not import {DLL_SEARCH_FALLBACK} from KERNEL32.dll")
    if EXPLORER_FULL_PATH.encode("utf-16-le") not in image.data:
        failures.append(f"has no text {EXPLORER_FULL_PATH!r}: explorer is not named by its path")
    if EXPLORER_BARE.encode("utf-16-le") in image.data:
        failures.append(
            f"has the text {EXPLORER_BARE!r}: explorer is started by its bare name, which the "
            "program's own folder answers first"
        )
    return failures


def run_checks(image, bits, template):
    checks = [
        ("headers", lambda: check_headers(image, bits)),
        ("imports", lambda: check_imports(image)),
        ("resources", lambda: check_resources(image, bits, template)),
        ("imports", lambda: check_planted_files(image)),
    ]
    failures = []
    for name, check in checks:
        try:
            failures += check()
        except FormatError as error:
            failures.append(f"malformed {name}: {error}")
    return failures


def main(argv):
    if len(argv) != 4 or argv[2] not in ("32", "64"):
        print("usage: check_exe.py EXE 32|64 MANIFEST_TEMPLATE", file=sys.stderr)
        return 2
    exe, bits, template_path = argv[1], int(argv[2]), argv[3]
    try:
        with open(exe, "rb") as file:
            data = file.read()
        with open(template_path, encoding="utf-8") as file:
            template = file.read()
    except OSError as error:
        print(f"cannot read: {error}")
        return 1
    try:
        image = parse_image(data)
    except FormatError as error:
        print(f"{exe}: not a well-formed PE file: {error}")
        return 1
    failures = run_checks(image, bits, template)
    for failure in failures:
        print(f"{exe}: {failure}")
    if failures:
        return 1
    imports = ", ".join(imported_dlls(image))
    print(
        f"{exe}: {ARCHITECTURES[bits]['format']} Windows GUI program importing only {imports}, "
        f"with the expected version, {ARCHITECTURES[bits]['manifest']} manifest and icon, "
        f"looking up {DLL_SEARCH_LOOKUP} and naming explorer by its full path"
    )
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

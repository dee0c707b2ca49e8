#!/usr/bin/env python3
"""Checks the built sudoku.exe itself: what Windows and its users see of the file.

    check_executable.py sudoku.exe              the file must pass every check
    check_executable.py --faults sudoku.exe     each damaged copy of the file must fail

Reads the PE headers, the imports and the resource section: a stripped 32-bit console
program of at most 128 KiB that imports only KERNEL32.dll and msvcrt.dll and carries no link
time, with exactly three resources, all in language 0x0409: the version record, the icon
group "A" and its one 32 x 32 icon.
"""

import itertools
import struct
import sys
from dataclasses import dataclass, field

MAX_SIZE = 128 * 1024
I386 = 0x014C
PE32 = 0x010B
CONSOLE = 3
IMPORTS = {"kernel32.dll", "msvcrt.dll"}

RT_ICON, RT_GROUP_ICON, RT_VERSION = 3, 14, 16
ENGLISH_US = 0x0409

# file and product version 1.0.0.0, no flags, any OS, an application, no subtype or date
FIXED_FILE_INFO = (0xFEEF04BD, 0x00010000, 0x00010000, 0, 0x00010000, 0, 0, 0, 0, 1, 0, 0, 0)
STRING_TABLE_KEY = "040504E4"  # Czech, code page 1252
STRINGS = [
    ("CompanyName", "Quorvel"),
    ("FileVersion", "1.0"),
    ("FileDescription", "Datab\u00e1ze Sudoku."),
    ("InternalName", ""),
    ("LegalCopyright", ""),
    ("LegalTrademarks", ""),
    ("OriginalFilename", ""),
    ("ProductName", "Quorvel Sudoku datab\u00e1ze."),
    ("ProductVersion", "1.0"),
]
TRANSLATION = struct.pack("<HH", 0x0405, 0x04E4)

ICON_SIDE = 32
ICON_BITS = 24
# bitmap header, 24-bit colours and a 1-bit mask, each row a whole number of 32-bit words
ICON_BYTES = 40 + ICON_SIDE * ICON_SIDE * 3 + ICON_SIDE * 4


@dataclass
class Resource:
    kind: object  # a number, or a name for named types
    name: object
    language: int
    data: bytes
    language_entry: int  # file offset of the language's directory entry


@dataclass
class Block:
    """One node of the version record: a key, a value and the blocks inside it."""
    key: str
    is_text: bool
    value: bytes  # as long as the node says: a text value with its zero characters
    children: list = field(default_factory=list)


class Executable:
    """The parts of a PE file that the checks read: headers, sections, imports, resources."""

    def __init__(self, data):
        self.data = data
        pe = self.u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        (self.machine, sections, self.timestamp, self.symbols_at, self.symbol_count,
         optional_size, _) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        self.magic = self.u16(optional)
        self.subsystem = self.u16(optional + 68)
        directories = optional + 96
        self.sections = [struct.unpack_from("<8sIIII", data, optional + optional_size + 40 * i)
                         for i in range(sections)]
        self.import_rva = self.u32(directories + 8)
        self.resource_rva = self.u32(directories + 16)

    def u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def offset(self, rva):
        for _, virtual_size, address, raw_size, raw_at in self.sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw_at + rva - address
        raise ValueError(f"address {rva:#x} is in no section")

    def section_names(self):
        return [name.rstrip(b"\0").decode("ascii", "replace") for name, *_ in self.sections]

    def imports(self):
        names = []
        at = self.offset(self.import_rva)
        while any(self.data[at:at + 20]):
            name_at = self.offset(self.u32(at + 12))
            names.append(self.data[name_at:self.data.index(b"\0", name_at)].decode("ascii"))
            at += 20
        return names

    def resources(self):
        """Every resource, as (type, name, language) with its data."""
        if not self.resource_rva:
            return []
        base = self.offset(self.resource_rva)

        def entries(directory):
            named, numbered = struct.unpack_from("<HH", self.data, base + directory + 12)
            for i in range(named + numbered):
                at = base + directory + 16 + 8 * i
                key, target = struct.unpack_from("<II", self.data, at)
                if key & 0x80000000:
                    name_at = base + (key & 0x7FFFFFFF)
                    length = self.u16(name_at)
                    key = self.data[name_at + 2:name_at + 2 + 2 * length].decode("utf-16-le")
                yield at, key, target

        found = []
        for _, kind, names in entries(0):
            for _, name, languages in entries(names & 0x7FFFFFFF):
                for at, language, leaf in entries(languages & 0x7FFFFFFF):
                    rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    start = self.offset(rva)
                    found.append(Resource(kind, name, language,
                                          self.data[start:start + size], at))
        return found


def read_block(data, at=0):
    """The version-record node at the offset, and the offset just past it."""
    length, value_length, kind = struct.unpack_from("<HHH", data, at)
    end = at + length
    key_end = at + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[at + 6:key_end].decode("utf-16-le")
    value_at = (key_end + 2 + 3) & ~3
    value_size = value_length * 2 if kind == 1 else value_length
    block = Block(key, kind == 1, data[value_at:value_at + value_size])
    child_at = (value_at + value_size + 3) & ~3
    while child_at < end:
        child, child_at = read_block(data, child_at)
        block.children.append(child)
        child_at = (child_at + 3) & ~3
    return block, end


def version_problems(data):
    problems = []
    root, _ = read_block(data)
    if root.key != "VS_VERSION_INFO" or len(root.value) != 52:
        return [f"version record: key {root.key!r} with {len(root.value)} value bytes"]
    fixed = struct.unpack("<13I", root.value)
    if fixed != FIXED_FILE_INFO:
        problems.append(f"version record: fixed fields {[hex(f) for f in fixed]}")
    if [child.key for child in root.children] != ["StringFileInfo", "VarFileInfo"]:
        return problems + [f"version record: blocks {[c.key for c in root.children]}"]
    string_info, var_info = root.children
    tables = [table.key for table in string_info.children]
    if tables != [STRING_TABLE_KEY]:
        problems.append(f"string tables {tables}, expected [{STRING_TABLE_KEY!r}]")
    else:
        # Each value is UTF-16 and ends in exactly one zero character, counted in its length.
        strings = [(s.key, s.value.decode("utf-16-le"), s.is_text)
                   for s in string_info.children[0].children]
        expected = [(key, value + "\0", True) for key, value in STRINGS]
        for number, (got, wanted) in enumerate(itertools.zip_longest(strings, expected), 1):
            if got != wanted:
                problems.append(f"string {number}: {got!r}, expected {wanted!r}")
    translations = [(v.key, v.value) for v in var_info.children]
    if translations != [("Translation", TRANSLATION)]:
        problems.append(f"translation {translations}")
    return problems


def icon_problems(group, icon):
    problems = []
    entry = struct.pack("<BBBBHHIH", ICON_SIDE, ICON_SIDE, 0, 0, 1, ICON_BITS, ICON_BYTES, 1)
    if group != struct.pack("<HHH", 0, 1, 1) + entry:
        problems.append(f"icon group: {group.hex()}")
    header = struct.unpack_from("<IiiHHI", icon)
    if header != (40, ICON_SIDE, 2 * ICON_SIDE, 1, ICON_BITS, 0) or len(icon) != ICON_BYTES:
        problems.append(f"icon: header {header}, {len(icon)} bytes")
    return problems


def problems_of(data):
    """Everything wrong with the file, as readable lines; empty when it is right."""
    exe = Executable(data)
    problems = []
    if len(data) > MAX_SIZE:
        problems.append(f"{len(data)} bytes, more than {MAX_SIZE}")
    if (exe.machine, exe.magic, exe.subsystem) != (I386, PE32, CONSOLE):
        problems.append(f"machine {exe.machine:#x}, format {exe.magic:#x}, "
                        f"subsystem {exe.subsystem}: not a 32-bit console program")
    if exe.timestamp != 0:
        problems.append(f"link time {exe.timestamp} recorded: rebuilds would differ")
    if exe.symbol_count or exe.symbols_at or any(
            name.startswith(".debug") for name in exe.section_names()):
        problems.append("not stripped")
    imports = exe.imports()
    if {name.lower() for name in imports} != IMPORTS or len(imports) != len(IMPORTS):
        problems.append(f"imports {imports}")

    resources = exe.resources()
    found = sorted((str(r.kind), str(r.name), r.language) for r in resources)
    expected = sorted((str(kind), str(name), ENGLISH_US)
                      for kind, name in [(RT_ICON, 1), (RT_GROUP_ICON, "A"), (RT_VERSION, 1)])
    if found != expected:
        return problems + [f"resources {found},\n  expected {expected}"]
    data_of = {r.kind: r.data for r in resources}
    problems += version_problems(data_of[RT_VERSION])
    problems += icon_problems(data_of[RT_GROUP_ICON], data_of[RT_ICON])
    return problems


def damaged_copies(data):
    """Copies of a good file, each with one fault the check must find."""
    def utf16(text):
        return text.encode("utf-16-le")

    def replaced(old, new):
        assert data.count(old) == 1, old
        return data.replace(old, new)

    yield "a wrong letter", replaced(utf16("Datab\u00e1ze"), utf16("Databaze"))
    # The value length of a string, one less: its value no longer ends in a zero.
    key_at = data.index(utf16("CompanyName\0"))
    length = struct.unpack_from("<H", data, key_at - 4)[0]
    yield "a missing zero", (data[:key_at - 4] + struct.pack("<H", length - 1)
                             + data[key_at - 2:])
    for resource in Executable(data).resources():
        at = resource.language_entry
        yield (f"language 0x0405 on resource {resource.name} of type {resource.kind}",
               data[:at] + struct.pack("<I", 0x0405) + data[at + 4:])


def main(arguments):
    if arguments[:1] == ["--faults"]:
        data = open(arguments[1], "rb").read()
        missed = [fault for fault, copy in damaged_copies(data) if not problems_of(copy)]
        for fault in missed:
            print(f"not found: {fault}")
        return 1 if missed or problems_of(data) else 0
    problems = problems_of(open(arguments[0], "rb").read())
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

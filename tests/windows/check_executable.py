"""Checks the built sudoku.exe itself: what Windows and its users see of the file.

    check_executable.py sudoku.exe sudoku.ico VERSION

A stripped 32-bit console program for Windows NT 4.0 and later, of at most 128 KiB with a sound
checksum and no link time, which imports IMPORTS alone and has exactly three resources,
all in US English: the version record, the icon group "A" and its icon, the one of sudoku.ico.
It is hardened: loaded at a random address, with the relocations that takes, its stack and data
never run, aware of terminal servers, and with the stack protector linked in. Its version record
carries VERSION, the project's MAJOR.MINOR.PATCH.
"""

import struct
import sys
from pathlib import Path

import pefile

STRINGS = {
    "CompanyName": "Quorvel",
    "FileVersion": "{major}.{minor}",
    "FileDescription": "Datab\u00e1ze Sudoku.",
    "InternalName": "",
    "LegalCopyright": "",
    "LegalTrademarks": "",
    "OriginalFilename": "",
    "ProductName": "Quorvel Sudoku datab\u00e1ze.",
    "ProductVersion": "{major}.{minor}",
}
# Its blocks, with the string table of Czech in code page 1252.
KEYS = [b"VS_VERSION_INFO", b"StringFileInfo", b"040504E4", b"VarFileInfo"]
TRANSLATION = {b"Translation": "0x0405 0x04e4"}
MACHINE = (0x014C, 0x010B, 3, 4, 0)  # i386, PE32, the console subsystem of Windows NT 4.0 on
# The whole import table. Each function exists on Windows NT 4.0, and one that a change of the code
# or of MinGW-w64 brings in goes in only once it is seen to exist there too. The stack protector
# draws its canary from ADVAPI32's random numbers.
IMPORTS = {
    b"advapi32.dll": b"CryptAcquireContextA CryptGenRandom CryptReleaseContext",
    b"kernel32.dll": b"DeleteCriticalSection EnterCriticalSection FreeLibrary GetConsoleMode"
    b" GetLastError GetModuleHandleA GetProcAddress GetStartupInfoA InitializeCriticalSection"
    b" LeaveCriticalSection LoadLibraryA SetUnhandledExceptionFilter Sleep TlsGetValue"
    b" VirtualProtect VirtualQuery",
    b"msvcrt.dll": b"__getmainargs __initenv __p__acmdln __p__commode __p__fmode __set_app_type"
    b" __setusermatherr _amsg_exit _cexit _close _exit _get_osfhandle _initterm _iob _onexit"
    b" _open _read _write abort calloc exit fprintf free fwrite malloc memcpy signal strlen"
    b" strncmp vfprintf",
}
# Of those, Debian 12's MinGW-w64 imports these and Debian 13's does not.
OLDER_IMPORTS = {(b"kernel32.dll", b"GetStartupInfoA"), (b"msvcrt.dll", b"__p__acmdln")}
HARDENING = [
    "IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE",  # loaded at a random address
    "IMAGE_DLLCHARACTERISTICS_NX_COMPAT",  # its stack and data never run
    "IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE",
]
ICON, ICON_GROUP, VERSION = (3, 1, 0x0409), (14, "A", 0x0409), (16, 1, 0x0409)


def resources(pe):
    """Every resource's data by its type, name and language."""
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for name in kind.directory.entries:
            for language in name.directory.entries:
                entry = language.data.struct
                key = kind.id, str(name.name) if name.name else name.id, language.id
                yield key, pe.get_data(entry.OffsetToData, entry.Size)


def problems(exe_path, ico_path, version):
    major, minor, patch = map(int, version.split("."))
    wanted_strings = {key: value.format(major=major, minor=minor) for key, value in STRINGS.items()}
    # The version record's fixed fields: its signature and layout, file and product version
    # MAJOR.MINOR.PATCH.0, no flags, any OS, an application, no subtype and no date.
    version_words = (major << 16 | minor, patch << 16)
    fixed_fields = (0xFEEF04BD, 0x10000, *version_words, *version_words, 0, 0, 0, 1, 0, 0, 0)
    pe = pefile.PE(exe_path)
    header, optional = pe.FILE_HEADER, pe.OPTIONAL_HEADER
    subsystem = optional.Subsystem, optional.MajorSubsystemVersion, optional.MinorSubsystemVersion
    found = dict(resources(pe))
    imported = {(dll.dll.lower(), f.name) for dll in pe.DIRECTORY_ENTRY_IMPORT for f in dll.imports}
    known = {(dll, name) for dll, names in IMPORTS.items() for name in names.split()}
    flags = pefile.retrieve_flags(pefile.DLL_CHARACTERISTICS, "IMAGE_DLLCHARACTERISTICS_")
    hardening = [name for name, bit in flags if optional.DllCharacteristics & bit]
    relocations = getattr(pe, "DIRECTORY_ENTRY_BASERELOC", [])
    string_info, var_info = pe.FileInfo[0]
    [table] = string_info.StringTable
    keys = [pe.VS_VERSIONINFO[0].Key, string_info.Key, table.LangID, var_info.Key]
    strings = {key.decode(): value.decode() for key, value in table.entries.items()}
    # A value's length counts the one zero that ends it.
    lengths = [pe.get_word_from_offset(at - 4) for at, _ in table.entries_offsets.values()]
    # The icon as sudoku.ico has it: its directory with its one entry, and the image.
    ico = Path(ico_path).read_bytes()
    width, height, _, _, _, bits, size, at = struct.unpack_from("<BBBBHHII", ico, 6)
    checks = [
        ("checksum", optional.CheckSum, pe.generate_checksum()),
        ("at most 128 KiB", len(pe.__data__) <= 128 * 1024, True),
        ("machine", (header.Machine, optional.Magic, *subsystem), MACHINE),
        ("link time", header.TimeDateStamp, 0),
        ("symbols", (header.PointerToSymbolTable, header.NumberOfSymbols), (0, 0)),
        ("debug sections", [s.Name for s in pe.sections if s.Name.startswith(b".debug")], []),
        ("imports that differ from IMPORTS", sorted((imported ^ known) - OLDER_IMPORTS), []),
        ("hardening", hardening, HARDENING),
        ("relocations", (header.IMAGE_FILE_RELOCS_STRIPPED, len(relocations) > 0), (False, True)),
        ("resources", set(found), {ICON, ICON_GROUP, VERSION}),
        ("fixed fields", struct.unpack("<13I", pe.VS_FIXEDFILEINFO[0].__pack__()), fixed_fields),
        ("keys", keys, KEYS),
        ("strings", list(strings.items()), list(wanted_strings.items())),
        ("string lengths", lengths, [len(value) + 1 for value in wanted_strings.values()]),
        ("translation", var_info.Var[0].entry, TRANSLATION),
        ("icon size and depth", (width, height, bits), (32, 32, 24)),
        ("icon group", found.get(ICON_GROUP), ico[:18] + struct.pack("<H", 1)),
        ("icon", found.get(ICON), ico[at : at + size]),
    ]
    return [f"{what}: {got!r}, expected {want!r}" for what, got, want in checks if got != want]


if __name__ == "__main__":
    found = problems(*sys.argv[1:])
    print("\n".join(found))
    sys.exit(1 if found else 0)

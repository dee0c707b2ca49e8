"""Checks the built program file for the hardening that CONTRIBUTING.md describes, and for the
oldest kernel that the README gives.

    check_program.py READELF OBJDUMP PROGRAM [static]

Reads it with the binutils of its target. A static program must also need no program
interpreter and no shared library.
"""

import re
import subprocess
import sys

# What must show in what each tool prints of the program, for which programs: any, static ones,
# or those of one processor as readelf names it. A pattern of "(?s)^(?!...)" must not show.
CHECKS = [
    ("position-independent", "any", "readelf --file-header", r"Type:\s+DYN \(Position-Indep"),
    ("read-only relocations", "any", "readelf --program-headers", r"\bGNU_RELRO\b"),
    ("bound at start", "any", "readelf --dynamic", r"\(FLAGS\)\s+BIND_NOW\b"),
    ("stack never run", "any", "readelf --program-headers", r"\bGNU_STACK(\s+0x\w+){5}\s+RW\s"),
    # A static program holds the C library's own checked functions, so the check is looked for
    # in a function of the program's that keeps a buffer on its stack.
    ("stack protector", "any", "objdump -dC", r"<write_id_list\(.*>:\n(.+\n)*?.*<__stack_chk_fail"),
    ("no interpreter", "static", "readelf --program-headers", r"(?s)^(?!.*\bINTERP\b)"),
    ("no shared library", "static", "readelf --dynamic", r"(?s)^(?!.*\(NEEDED\))"),
    ("shadow stack", "X86-64", "readelf --notes", r"x86 feature:.*\bSHSTK\b"),
    # The C library's start files have no landing pads, so the program as a whole cannot be
    # marked for them; its own code is checked where the C library calls it.
    ("landing pads", "X86-64", "objdump --disassemble=main", r"<main>:\n\s*\w+:\s+f3 0f 1e fa\s"),
    ("signed returns", "AArch64", "objdump --disassemble=main", r"<main>:\n(.+\n)*?.*\spaciasp\b"),
    # On arm64 the signing of a return is a landing pad too: a function that signs none, such as
    # find_puzzle, shows whether the program was built with landing pads.
    ("landing pads", "AArch64", "objdump -dC", r"<find_puzzle\(.*>:\n\s*\w+:\s+\w+\s+bti\s+c\n"),
    # The oldest kernel a program runs on is the one the C library's start files were built for.
    ("Linux 3.2 or newer", "X86-64", "readelf --notes", r"OS: Linux, ABI: 3\.2\.0\n"),
    ("Linux 3.7 or newer", "AArch64", "readelf --notes", r"OS: Linux, ABI: 3\.7\.0\n"),
]


def problems(readelf, objdump, program, *kinds):
    tools = dict(readelf=readelf, objdump=objdump)

    def printed(command):
        tool, *options = command.split()
        return subprocess.check_output([tools[tool], *options, "--wide", program]).decode()

    machine = re.search(r"Machine:.*?(\S+)\n", printed("readelf --file-header"))
    kinds = {"any", machine and machine[1], *kinds}
    for what, kind, command, pattern in CHECKS:
        if kind in kinds and not re.search(pattern, printed(command)):
            yield f"{what}: `{command}` shows no {pattern}"


if __name__ == "__main__":
    found = list(problems(*sys.argv[1:]))
    print("\n".join(found))
    sys.exit(1 if found else 0)

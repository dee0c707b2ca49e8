"""Checks the built program file for the hardening Debian gives its own packages.

    check_program.py PROGRAM

Reads it with readelf and objdump, from the binutils that the compiler brings: a
position-independent program whose relocations are bound at start and then made read-only, a
stack that is never run, the stack protector, the shadow-stack mark, and landing pads for
indirect branches.
"""

import re
import subprocess
import sys

# What must show in what each command prints of the program.
CHECKS = [
    ("position-independent", ["readelf", "--file-header"], r"Type:\s+DYN \(Position-Independent"),
    ("read-only relocations", ["readelf", "--program-headers"], r"\bGNU_RELRO\b"),
    ("bound at start", ["readelf", "--dynamic"], r"\(FLAGS\)\s+BIND_NOW\b"),
    ("stack never run", ["readelf", "--program-headers"], r"\bGNU_STACK(\s+0x\w+){5}\s+RW\s"),
    ("stack protector", ["readelf", "--dyn-syms"], r"\b__stack_chk_fail\b"),
    ("shadow stack", ["readelf", "--notes"], r"x86 feature:.*\bSHSTK\b"),
    # The C library's start files have no landing pads, so the program as a whole cannot be
    # marked for them; its own code is checked where the C library calls it.
    ("landing pads", ["objdump", "--disassemble=main"], r"<main>:\n\s*\w+:\s+f3 0f 1e fa\s"),
]


def problems(program):
    for what, command, pattern in CHECKS:
        printed = subprocess.run([*command, "--wide", program], capture_output=True, text=True)
        if not re.search(pattern, printed.stdout):
            yield f"{what}: `{' '.join(command)}` shows no {pattern}"


if __name__ == "__main__":
    found = list(problems(sys.argv[1]))
    print("\n".join(found))
    sys.exit(1 if found else 0)

"""Checks the release that `cmake -P cmake/release.cmake` left in build/release.

    python3 tests/release_test.py

As root: the packed x86-64 program runs in a root of its own, entered with chroot.
"""

import os
import re
import shutil
import subprocess
import sys
import tarfile
import tempfile
import unittest
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
RELEASE = ROOT / "build" / "release"
# The version the release was built with, which names its packages.
CACHE = (ROOT / "build/linux-x86_64/CMakeCache.txt").read_text()
VERSION = re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(.+)$", CACHE, re.MULTILINE)[1]
# How each packed Linux program runs with nothing of this system: the arm64 one under an emulator
# given no library path, the x86-64 one in a root that holds it alone, its own folder.
LINUX = {
    f"sudoku-{VERSION}-linux-aarch64": ["--emulator=qemu-aarch64", "{bin}/sudoku"],
    f"sudoku-{VERSION}-linux-x86_64": ["--emulator=chroot", "--emulator={bin}", "/sudoku"],
}
PACKAGES = [f"{top}.tar.gz" for top in LINUX] + [f"sudoku-{VERSION}-win32.zip"]
LISTING = ["", "/bin", "/bin/sudoku", "/share", "/share/man", "/share/man/man6"]
MANUAL = "/share/man/man6/sudoku.6"
# The zip's Unix owner field, 11 bytes long: version 1, then root's user and group, 4 bytes each.
ROOT_OWNS = b"ux\x0b\0\x01\x04\0\0\0\0\x04\0\0\0\0"


class Release(unittest.TestCase):
    def test_zip_holds_the_built_executable_alone(self):
        with zipfile.ZipFile(RELEASE / PACKAGES[-1]) as archive:
            # Dated the program's own day at midnight UTC, whatever the packer's time zone.
            entries = [(e.filename, e.date_time, ROOT_OWNS in e.extra) for e in archive.infolist()]
            self.assertEqual(entries, [("sudoku.exe", (2006, 2, 11, 0, 0, 0), True)])
            executable = archive.read("sudoku.exe")
        self.assertEqual(executable, (ROOT / "build/win32/sudoku.exe").read_bytes())

    def test_tarballs_hold_a_program_that_needs_nothing_of_the_system(self):
        for top, words in LINUX.items():
            with self.subTest(top), tempfile.TemporaryDirectory() as unpacked:
                with tarfile.open(RELEASE / f"{top}.tar.gz") as tarball:
                    # The filter Python 3.14 applies by default, named so that 3.12 and 3.13 do
                    # not warn of the change; a Python without filters ignores the attribute.
                    tarball.extraction_filter = getattr(tarfile, "data_filter", None)
                    owned = [(e.name, oct(e.mode), e.uid, e.gid) for e in tarball.getmembers()]
                    tarball.extractall(unpacked)
                # Whoever packs and whatever his umask, root owns each entry, and each folder is
                # rwxr-xr-x, as the program is: the top one too, which tar would make otherwise.
                modes = dict.fromkeys(LISTING, "0o755") | {MANUAL: "0o644"}
                self.assertEqual(sorted(owned), [(top + n, m, 0, 0) for n, m in modes.items()])
                arguments = [word.format(bin=f"{unpacked}/{top}/bin") for word in words]
                dialogue_test = [sys.executable, ROOT / "tests/dialogue_test.py", *arguments]
                no_libraries = {k: v for k, v in os.environ.items() if k != "QEMU_LD_PREFIX"}
                subprocess.run([*dialogue_test, "Transcripts"], check=True, env=no_libraries)
                lint = ["mandoc", "-T", "lint", f"{unpacked}/{top}{MANUAL}"]
                done = subprocess.run(lint, capture_output=True)
                self.assertEqual((done.returncode, done.stdout + done.stderr), (0, b""))

    def test_sums_check_every_package(self):
        sums = (RELEASE / "SHA256SUMS").read_text().splitlines()
        self.assertEqual([line.split("  ")[1] for line in sums], PACKAGES)
        subprocess.run(["sha256sum", "--check", "--quiet", "SHA256SUMS"], cwd=RELEASE, check=True)

    def test_release_by_another_user_elsewhere_has_the_same_bytes(self):
        with tempfile.TemporaryDirectory() as elsewhere:
            sources = Path(elsewhere, "sudoku")
            shutil.copytree(ROOT, sources, ignore=shutil.ignore_patterns("build", ".git"))
            subprocess.run(["chown", "-R", "nobody:nogroup", elsewhere], check=True)
            # Packed by nobody, in Tokyo's time, written out to need no time-zone data, under a
            # umask that keeps new files to himself.
            nobody = dict(user="nobody", group="nogroup", extra_groups=[], umask=0o077)
            packer = dict(cwd=sources, env=dict(os.environ, TZ="JST-9", HOME=elsewhere), **nobody)
            subprocess.run(["cmake", "-P", "cmake/release.cmake"], **packer, check=True)
            for name in [*PACKAGES, "SHA256SUMS"]:
                with self.subTest(name):
                    again = (sources / "build/release" / name).read_bytes()
                    self.assertEqual(again, (RELEASE / name).read_bytes())


if __name__ == "__main__":
    unittest.main()

"""Checks the release that `cmake -P cmake/release.cmake` left in build/release.

    python3 tests/release_test.py
"""

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
TARBALL, ZIP, TOP = "sudoku-1.0.0-Linux.tar.gz", "sudoku-1.0.0-win32.zip", "sudoku-1.0.0-Linux"
LISTING = ["bin", "bin/sudoku", "share", "share/man", "share/man/man6", "share/man/man6/sudoku.6"]


class Release(unittest.TestCase):
    def test_zip_holds_the_built_executable_alone(self):
        with zipfile.ZipFile(RELEASE / ZIP) as archive:
            self.assertEqual(archive.namelist(), ["sudoku.exe"])
            executable = archive.read("sudoku.exe")
        self.assertEqual(executable, (ROOT / "build/win32/sudoku.exe").read_bytes())

    def test_tarball_holds_a_working_program_and_a_clean_manual_page(self):
        with tempfile.TemporaryDirectory() as unpacked, tarfile.open(RELEASE / TARBALL) as tarball:
            self.assertEqual(sorted(tarball.getnames()), [f"{TOP}/{name}" for name in LISTING])
            tarball.extractall(unpacked)
            top = Path(unpacked, TOP)
            dialogue_test = [sys.executable, ROOT / "tests/dialogue_test.py", top / "bin/sudoku"]
            subprocess.run([*dialogue_test, "Transcripts"], check=True)
            lint = ["mandoc", "-T", "lint", top / "share/man/man6/sudoku.6"]
            done = subprocess.run(lint, capture_output=True)
            self.assertEqual((done.returncode, done.stdout + done.stderr), (0, b""))

    def test_sums_check_both_packages(self):
        sums = (RELEASE / "SHA256SUMS").read_text().splitlines()
        self.assertEqual([line.split("  ")[1] for line in sums], [TARBALL, ZIP])
        subprocess.run(["sha256sum", "--check", "--quiet", "SHA256SUMS"], cwd=RELEASE, check=True)

    def test_release_from_another_folder_has_the_same_bytes(self):
        with tempfile.TemporaryDirectory() as elsewhere:
            sources = Path(elsewhere, "sudoku")
            shutil.copytree(ROOT, sources, ignore=shutil.ignore_patterns("build", ".git"))
            subprocess.run(["cmake", "-P", "cmake/release.cmake"], cwd=sources, check=True)
            for name in (TARBALL, ZIP, "SHA256SUMS"):
                with self.subTest(name):
                    again = (sources / "build/release" / name).read_bytes()
                    self.assertEqual(again, (RELEASE / name).read_bytes())


if __name__ == "__main__":
    unittest.main()

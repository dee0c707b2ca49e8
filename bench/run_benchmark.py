#!/usr/bin/env python3
"""Throughput and memory of a long piped session of the sudoku program.

Builds the Release program, pipes 1,000,000 catalogue IDs followed by 1 through it into a pipe,
and in the same run times `cat` passing the identical expected output through a pipe. Prints the
median ratio of the pairs (target: at most 1.25) and the program's peak memory against a session
of ten IDs (target: within 512 KiB). The expected output is put together from the test
transcripts, and the program's output must equal it byte for byte.

Usage: python3 bench/run_benchmark.py [pairs]
"""

import filecmp
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
PROGRAM = ROOT / "build" / "default" / "sudoku"
TRANSCRIPTS = ROOT / "tests" / "transcripts"
IDS = b"130206\n140206\n150206\n160206\n170206\n"
ROUNDS = 200_000  # five IDs a round
RATIO_TARGET = 1.25
MEMORY_TARGET_KIB = 512


def timed(command: str) -> float:
    start = time.perf_counter()
    subprocess.run(["bash", "-c", command], check=True)
    return time.perf_counter() - start


def peak_memory_kib(input_path: Path) -> int:
    # GNU time starts the program from a small process of its own; a child of this script
    # would count the script's memory as its own.
    result = subprocess.run(["/usr/bin/time", "-f", "%M", PROGRAM], stdin=open(input_path, "rb"),
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, check=True,
                            text=True)
    return int(result.stderr.split()[-1])


def main() -> int:
    pairs = int(sys.argv[1]) if len(sys.argv) > 1 else 9
    subprocess.run(["cmake", "--preset", "default"], cwd=ROOT, check=True, capture_output=True)
    subprocess.run(["cmake", "--build", "--preset", "default"], cwd=ROOT, check=True,
                   capture_output=True)

    banner = (TRANSCRIPTS / "quit_first.out").read_bytes()
    answers = (TRANSCRIPTS / "every_puzzle.out").read_bytes()[len(banner):]

    with tempfile.TemporaryDirectory() as work:
        work = Path(work)
        long_input = work / "long.in"
        long_input.write_bytes(IDS * ROUNDS + b"1\n")
        short_input = work / "short.in"
        short_input.write_bytes(IDS * 2 + b"1\n")
        expected = work / "expected.out"
        expected.write_bytes(banner + answers * ROUNDS)
        expected_size = expected.stat().st_size

        actual = work / "actual.out"
        subprocess.run(f'"{PROGRAM}" < "{long_input}" | cat > "{actual}"', shell=True,
                       check=True)
        if not filecmp.cmp(actual, expected, shallow=False):
            print("FAIL: the program's output differs from the expected bytes")
            return 1

        ratios = []
        program_command = f'"{PROGRAM}" < "{long_input}" | cat > /dev/null'
        reference_command = f'cat "{expected}" | cat > /dev/null'
        for pair in range(pairs):
            # Alternating which goes first keeps a drift of the machine out of the ratio.
            if pair % 2 == 0:
                program = timed(program_command)
                reference = timed(reference_command)
            else:
                reference = timed(reference_command)
                program = timed(program_command)
            ratios.append(program / reference)
        ratio = statistics.median(ratios)

        long_kib = peak_memory_kib(long_input)
        short_kib = peak_memory_kib(short_input)

    size_mib = expected_size / 2**20
    id_count = IDS.count(b"\n") * ROUNDS
    print(f"output: {size_mib:.0f} MiB for {id_count:,} IDs, equal to the expected")
    print(f"time against cat: median {ratio:.2f} of {pairs} pairs "
          f"(from {min(ratios):.2f} to {max(ratios):.2f}); target {RATIO_TARGET}: "
          f"{'met' if ratio <= RATIO_TARGET else 'MISSED'}")
    growth = long_kib - short_kib
    print(f"peak memory: {long_kib} KiB against {short_kib} KiB for ten IDs, {growth:+d} KiB; "
          f"target {MEMORY_TARGET_KIB} KiB: {'met' if growth <= MEMORY_TARGET_KIB else 'MISSED'}")
    return 0


if __name__ == "__main__":
    sys.exit(main())

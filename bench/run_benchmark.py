#!/usr/bin/env python3
"""Throughput, start-up time and memory of the sudoku program, dynamic and static.

Builds the Release program of the default preset (linked dynamically) and the static program of
the linux-x86_64 preset, as released. Pipes 1,000,000 catalogue IDs followed by 1 through each
into a pipe, and in the same run times `cat` passing the identical expected output through a
pipe. Prints for each the median ratio of the pairs (target: at most 1.25), the median time the
static program takes to start, answer 1 and end against the dynamic one's, and each program's
peak memory against a session of ten IDs (target: within 512 KiB) and the share of its
processor time that the kernel took. The expected output is put together from the test
transcripts, and each program's output must equal it byte for byte. Needs GNU time.

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
PROGRAMS = {"dynamic": ROOT / "build/default/sudoku", "static": ROOT / "build/linux-x86_64/sudoku"}
TRANSCRIPTS = ROOT / "tests" / "transcripts"
IDS = b"130206\n140206\n150206\n160206\n170206\n"
ROUNDS = 200_000  # five IDs a round
STARTS = 200  # runs of each program that only start and quit
RATIO_TARGET = 1.25
MEMORY_TARGET_KIB = 512
GNU_TIME = "/usr/bin/time"


def timed(command: str) -> float:
    start = time.perf_counter()
    subprocess.run(["bash", "-c", command], check=True)
    return time.perf_counter() - start


def usage(program: Path, input_path: Path, work: Path) -> tuple[int, float, float]:
    """The program's peak memory in KiB, and the seconds it ran in user and in kernel mode, on
    the input with its output piped on, as in the timed runs."""
    # GNU time starts the program from a small process of its own; a child of this script
    # would count the script's memory as its own.
    report = work / "usage"
    subprocess.run(
        f'{GNU_TIME} -o "{report}" -f "%M %U %S" "{program}" < "{input_path}" | cat > /dev/null',
        shell=True,
        check=True,
    )
    peak_kib, user, system = report.read_text().split()
    return int(peak_kib), float(user), float(system)


def median_ratio(pairs: int, command: str, reference: str) -> tuple[float, list[float]]:
    """The median of `pairs` times of `command` against `reference`, and all the ratios."""
    ratios = []
    for pair in range(pairs):
        # Alternating which goes first keeps a drift of the machine out of the ratio.
        order = (command, reference) if pair % 2 == 0 else (reference, command)
        times = {run: timed(run) for run in order}
        ratios.append(times[command] / times[reference])
    return statistics.median(ratios), ratios


def main() -> int:
    pairs = int(sys.argv[1]) if len(sys.argv) > 1 else 9
    if not Path(GNU_TIME).exists():
        print(f"the benchmark reads peak memory with GNU time, {GNU_TIME}: apt-get install time")
        return 1
    for preset in "default", "linux-x86_64":
        for step in ["--preset", preset], ["--build", "--preset", preset]:
            subprocess.run(["cmake", *step], cwd=ROOT, check=True, capture_output=True)

    banner = (TRANSCRIPTS / "quit_first.out").read_bytes()
    answers = (TRANSCRIPTS / "every_puzzle.out").read_bytes()[len(banner) :]

    with tempfile.TemporaryDirectory() as work:
        work = Path(work)
        long_input = work / "long.in"
        long_input.write_bytes(IDS * ROUNDS + b"1\n")
        short_input = work / "short.in"
        short_input.write_bytes(IDS * 2 + b"1\n")
        quit_input = work / "quit.in"
        quit_input.write_bytes(b"1\n")
        expected = work / "expected.out"
        expected.write_bytes(banner + answers * ROUNDS)
        size_mib = expected.stat().st_size / 2**20
        id_count = IDS.count(b"\n") * ROUNDS
        print(f"output: {size_mib:.0f} MiB for {id_count:,} IDs")

        for name, program in PROGRAMS.items():
            actual = work / "actual.out"
            subprocess.run(
                f'"{program}" < "{long_input}" | cat > "{actual}"', shell=True, check=True
            )
            if not filecmp.cmp(actual, expected, shallow=False):
                print(f"FAIL: the {name} program's output differs from the expected bytes")
                return 1
            command = f'"{program}" < "{long_input}" | cat > /dev/null'
            ratio, ratios = median_ratio(pairs, command, f'cat "{expected}" | cat > /dev/null')
            verdict = "met" if ratio <= RATIO_TARGET else "MISSED"
            print(
                f"{name}: time against cat: median {ratio:.2f} of {pairs} pairs "
                f"(from {min(ratios):.2f} to {max(ratios):.2f}); target {RATIO_TARGET}: {verdict}"
            )
            # How the kernel's share falls varies from run to run, as the ratio does.
            runs = [usage(program, long_input, work) for _ in range(pairs)]
            long_kib = max(peak_kib for peak_kib, _, _ in runs)
            share = statistics.median(system / (user + system) for _, user, system in runs)
            growth = long_kib - usage(program, short_input, work)[0]
            verdict = "met" if growth <= MEMORY_TARGET_KIB else "MISSED"
            print(
                f"{name}: peak memory {long_kib} KiB, {growth:+d} KiB against ten IDs; "
                f"target {MEMORY_TARGET_KIB} KiB: {verdict}; "
                f"median share of its processor time in the kernel: {share:.0%}"
            )

        starts = {
            name: f'for i in $(seq {STARTS}); do "{program}" < "{quit_input}" > /dev/null; done'
            for name, program in PROGRAMS.items()
        }
        ratio, ratios = median_ratio(pairs, starts["static"], starts["dynamic"])
        print(
            f"start-up: static against dynamic: median {ratio:.2f} of {pairs} pairs of "
            f"{STARTS} runs each (from {min(ratios):.2f} to {max(ratios):.2f})"
        )
    return 0


if __name__ == "__main__":
    sys.exit(main())

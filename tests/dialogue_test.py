"""Drives the built program through its standard streams, as a user or another program would.

    python3 dialogue_test.py [--emulator=WORD...] [--static] PROGRAM [TEST_CLASS...]

The program runs under the command that the emulator's words make, if any: an emulator of
another processor, or chroot and a folder. A Windows PROGRAM.exe runs under Wine and must end
each line it writes in CR LF. Where Wine's 32-bit loader cannot run, the tests run in an
emulated machine. A --static program, which needs no shared library, is also run where it may
open no file at all.
"""

import argparse
import os
import random
import re
import resource
import select
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import tty
import unittest
from pathlib import Path

parser = argparse.ArgumentParser(usage=__doc__)
parser.add_argument("--emulator", action="append", default=[])
parser.add_argument("--static", action="store_true")
parser.add_argument("program", type=os.path.abspath)
options, TEST_CLASSES = parser.parse_known_args()
PROGRAM = options.program
UNDER_WINE = PROGRAM.endswith(".exe")
WINE = UNDER_WINE and subprocess.run(["wine", "--version"], capture_output=True)
COMMAND = ["wine", PROGRAM] if UNDER_WINE else [*options.emulator, PROGRAM]
# Some sandboxes start their children with a limit of 0 open files: only a static program
# started by itself can run there.
NO_FILES_LEFT = options.static and COMMAND == [PROGRAM]
TRANSCRIPTS = Path(__file__).parent / "transcripts"
# Far more than any input here is answered with: a program that writes on and on stops there.
OUTPUT_LIMIT = 16 << 20
TIME_LIMIT = 60 if UNDER_WINE else 10  # seconds for a run, for one that never ends
SILENCE_LIMIT = 30 if UNDER_WINE else 5  # seconds without output, for an answer held back

BANNER = (TRANSCRIPTS / "quit_first.out").read_bytes()
NEXT_PROMPT = b" Zadejte dalsi ID:\n "
LIST_ANSWER = (TRANSCRIPTS / "id_list.out").read_bytes()[len(BANNER) :]
EVERY_PUZZLE = (TRANSCRIPTS / "every_puzzle.out").read_bytes()[len(BANNER) :]
# Each puzzle's answer, the prompt after it included, by its ID.
ANSWERS = {
    int(text.split()[1]): text + NEXT_PROMPT for text in EVERY_PUZZLE.split(NEXT_PROMPT)[:-1]
}
# Every kind of answer in turn: in a long run of them, one lost, repeated or moved shows.
LONG_RUN = [b"%d" % puzzle_id for puzzle_id in ANSWERS] + [b"2", b"99", b"abc"]


def run(input_bytes, stdin=None, stdout=None, **options):
    """The status, output and errors of a run on the whole input, or on `stdin` where one is
    given, writing to `stdout` where one is given; the run must end in time."""
    with tempfile.TemporaryFile() as output, tempfile.TemporaryFile() as errors:
        send = input_bytes if stdin is None else None
        streams = dict(stdin=stdin, stdout=stdout or output, stderr=errors)
        done = subprocess.run(COMMAND, input=send, timeout=TIME_LIMIT, **streams, **options)
        output.seek(0)
        errors.seek(0)
        return done.returncode, output.read(), errors.read()


def as_written(text):
    """The text as the program writes it: in text mode on Windows, each line ends in CR LF."""
    return text.replace(b"\n", b"\r\n") if UNDER_WINE else text


def expected_output(input_bytes):
    """The dialogue on any input: each number is answered, and a word that does not start with
    one is dropped whole and answered with the prompt, until the end of input or a 1."""
    output = BANNER
    for number in re.findall(rb"([+-]?[0-9]+)|[^ \t\n\r\v\f]+", input_bytes):
        value = int(number) if number else None
        if value == 1:
            break
        output += LIST_ANSWER if value == 2 else ANSWERS.get(value, NEXT_PROMPT)
    return output


def setUpModule():
    """Under Wine, starts one server for all runs and makes a prefix of their own; neither gets a
    pipe of ours to hold open. Then limits every file written, the program's output too."""
    if UNDER_WINE:
        # No offer to install .NET or a browser engine.
        os.environ.update(WINEDLLOVERRIDES="mscoree,mshtml=", WINEDEBUG="-all")
        os.environ["WINEPREFIX"] = tempfile.mkdtemp()
        unittest.addModuleCleanup(shutil.rmtree, os.environ["WINEPREFIX"])
        unittest.addModuleCleanup(subprocess.run, ["wineserver", "-k"])
        quiet = subprocess.DEVNULL
        subprocess.run(["wineserver", "-p"], stdin=quiet, stdout=quiet, stderr=quiet, check=True)
        subprocess.run(["wine", "wineboot"], stdin=quiet, stdout=quiet, stderr=quiet, check=True)
    resource.setrlimit(resource.RLIMIT_FSIZE, (OUTPUT_LIMIT, OUTPUT_LIMIT))


class Transcripts(unittest.TestCase):
    def cases(self):
        for path in sorted(TRANSCRIPTS.glob("*.in")):
            yield path.stem, path.read_bytes(), path.with_suffix(".out").read_bytes()
        # Input is read in blocks of 64 KiB: what crosses from one to the next is still one.
        for size in (65530, 65533, 65535, 65536, 131069):
            yield f"{size} blanks", b" " * size + b"130206\n1\n", BANNER + ANSWERS[130206]
        yield "a long word", b"x" * 100000 + b" 1\n", BANNER + NEXT_PROMPT
        yield "a long number", b"0" * 100000 + b"130206 1", BANNER + ANSWERS[130206]
        # Read in text mode, as on Windows, a Ctrl-Z ends the input; elsewhere it starts a word.
        after_ctrl_z = b"" if UNDER_WINE else NEXT_PROMPT
        yield "a Ctrl-Z", b"130206\x1a150206 1", BANNER + ANSWERS[130206] + after_ctrl_z

    def test_each_input_gets_exactly_its_output(self):
        for name, input_bytes, expected in self.cases():
            with self.subTest(name):
                status, output, errors = run(input_bytes)
                # Apart, not in a tuple, whose diff of two long outputs would take minutes.
                self.assertEqual(output, as_written(expected))
                self.assertEqual((status, errors), (0, b""))


def read(stream, size=OUTPUT_LIMIT):
    """Up to `size` bytes from a descriptor, fewer when it ends or stays silent too long."""
    text = b""
    while len(text) < size and select.select([stream], [], [], SILENCE_LIMIT)[0]:
        if not (chunk := os.read(stream, size - len(text))):
            break
        text += chunk
    return text


def cpu_seconds(pid):
    """The processor time a running process has taken so far, in user and in kernel mode."""
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class Interaction(unittest.TestCase):
    # The longest the program waits for a non-blocking stream before it tries it again, and a
    # pause of more than two such waits, in which nothing is typed or nothing is read.
    WAIT = 1
    PAUSE = 2.5 * WAIT

    def test_answers_each_number_before_the_next_is_sent(self):
        """Another program reads every answer, prompt included, before it sends the next number:
        an answer held back in a buffer would never come, and one held back by a wait would come
        late. The program's ends of the pipes may have been left non-blocking, and then a read
        finds nothing yet, and a write a full pipe: the dialogue must go on all the same, in a
        sandbox that allows no open file too. On a socket with timeouts, a stop and a continue
        break into a read or a write, which must be tried again."""
        for streams in "blocking pipes", "non-blocking pipes", "a socket with timeouts":
            with self.subTest(streams):
                self.talk(streams)

    def talk(self, streams):
        def leave_streams():
            if streams == "non-blocking pipes":
                for end in 0, 1:
                    os.set_blocking(end, False)
                if NO_FILES_LEFT:
                    resource.setrlimit(resource.RLIMIT_NOFILE, (0, 0))

        pipe = subprocess.PIPE
        if streams == "a socket with timeouts":
            ours, theirs = map(self.enterContext, socket.socketpair())
            # Far longer than the dialogue, so that the program waits in its read or write.
            for option in socket.SO_RCVTIMEO, socket.SO_SNDTIMEO:
                theirs.setsockopt(socket.SOL_SOCKET, option, struct.pack("ll", 10, 0))
            with theirs:
                dialogue = subprocess.Popen(COMMAND, stdin=theirs, stdout=theirs, stderr=pipe)
            to_program = from_program = ours.fileno()
        else:
            pipes = dict(stdin=pipe, stdout=pipe, stderr=pipe, preexec_fn=leave_streams)
            dialogue = subprocess.Popen(COMMAND, **pipes)
            to_program, from_program = dialogue.stdin.fileno(), dialogue.stdout.fileno()
        # However the test ends, the program ends with it.
        self.addCleanup(dialogue.communicate)
        self.addCleanup(dialogue.kill)
        self.assertEqual(read(from_program, len(as_written(BANNER))), as_written(BANNER))
        # Answers to one line that fill many 64 KiB output blocks, more than a pipe or a socket
        # holds.
        long_run = b" ".join(LONG_RUN * 400) + b"\n"
        for pieces, answer in [
            ([b"130206\n"], ANSWERS[130206]),
            # Nothing is typed for a while: the program waits for the number all along.
            ([self.PAUSE, b"2\n"], LIST_ANSWER),
            # Nothing is read for a while: the program waits to write; the last, partly filled
            # block leaves too.
            ([long_run, self.PAUSE], expected_output(long_run)[len(BANNER) :]),
        ]:
            for piece in pieces:
                if piece == self.PAUSE:
                    self.leave_alone(dialogue)
                else:
                    os.write(to_program, piece)
            started = time.monotonic()
            answer = as_written(answer)
            self.assertEqual(read(from_program, len(answer)), answer)
            # However long the pause before it, the answer comes at once, not after a wait.
            if not UNDER_WINE:
                self.assertLess(time.monotonic() - started, self.WAIT / 2)
        os.write(to_program, b"1\n")
        self.assertEqual(dialogue.wait(SILENCE_LIMIT), 0)
        self.assertEqual(read(from_program) + read(dialogue.stderr.fileno()), b"")

    def leave_alone(self, dialogue):
        """Sends nothing and reads nothing for a pause, and stops and continues the program three
        times meanwhile, as Ctrl-Z and fg would. All along, it takes next to no processor time,
        and it goes on waiting."""
        busy = cpu_seconds(dialogue.pid)
        for _ in range(3):
            time.sleep(self.PAUSE / 3)
            # Not through Popen, which would reap a program that has ended and lose its figures.
            os.kill(dialogue.pid, signal.SIGSTOP)
            time.sleep(0.1)
            os.kill(dialogue.pid, signal.SIGCONT)
        if not UNDER_WINE:
            self.assertLess(cpu_seconds(dialogue.pid) - busy, 0.1)
        self.assertIsNone(dialogue.poll(), "the program ended while it waited")


class StreamFailure(unittest.TestCase):
    def test_a_stream_that_fails_ends_the_dialogue_with_a_failure(self):
        """Output that cannot be written: nobody would see the answers, so the program waits for
        no input either, and here none ever comes. On a socket left non-blocking, a program that
        waits to write is never told that the peer has stopped reading: only a write tried again
        tells. Input that cannot be read is not its end: what was collected is still written."""
        silent, kept_open = os.pipe()
        closed, broken = os.pipe()
        os.close(closed)
        full, folder = os.open("/dev/full", os.O_WRONLY), os.open("/", os.O_RDONLY)
        for descriptor in silent, kept_open, broken, full, folder:
            self.addCleanup(os.close, descriptor)
        ours, theirs = map(self.enterContext, socket.socketpair())
        theirs.setblocking(False)
        # Far more answers than the socket holds: the program waits for it to drain, and its
        # peer stops reading a second after the first case begins.
        ours.sendall(b"2 " * 20000)
        threading.Timer(1, ours.shutdown, [socket.SHUT_RD]).start()
        socket_peer = dict(stdin=theirs, stdout=theirs)
        broken_pipe = 1 if UNDER_WINE else -signal.SIGPIPE  # Windows has no such signal
        closed_input = dict(stdin=subprocess.DEVNULL, preexec_fn=lambda: os.close(0))
        for name, streams, status, output in [
            ("a peer that stops reading", socket_peer, -signal.SIGPIPE, b""),
            ("output to a full device", dict(stdin=silent, stdout=full), 1, b""),
            ("output to a closed pipe", dict(stdin=silent, stdout=broken), broken_pipe, b""),
            ("input from a folder", dict(stdin=folder), 1, BANNER),
            ("a closed input", closed_input, 1, BANNER),
        ]:
            with self.subTest(name):
                if UNDER_WINE and streams is socket_peer:
                    self.skipTest("Wine itself waits inside the write, and is never told either")
                self.assertEqual(run(b"", **streams), (status, as_written(output), b""))


def shown(screen):
    """What a terminal shows of the bytes, but for blanks: the console draws some as moves of the
    cursor. Its escape sequences are stripped."""
    return re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]|\x1b\][^\x07]*\x07|[\r ]", b"", screen)


class Console(unittest.TestCase):
    """A person types at the program in a console window, which Wine gives it when its standard
    streams are a terminal. Before Windows 8, a console takes at most about 64 KB less what is in
    use in one read or write, so the program asks it for 8 KiB at a time at the most. Wine logs
    each read and write that the program asks of the C runtime, with its size."""

    LIMIT = 8 * 1024

    @classmethod
    def setUpClass(cls):
        if not UNDER_WINE:
            raise unittest.SkipTest("only Windows has consoles: a terminal is a stream here")
        log = "msvcrt._read;msvcrt._write"
        key = r"HKCU\Software\Wine\Debug"
        add = ["wine", "reg", "add", key, "/v", "RelayInclude", "/t", "REG_SZ", "/d", log, "/f"]
        subprocess.run(add, capture_output=True, check=True)
        cls.wine = int(re.search(rb"wine-(\d+)", WINE.stdout)[1])

    def test_typed_and_pasted_lines_are_answered_on_the_screen(self):
        """Each answer is on the screen before the program waits for the next line, and a line
        longer than the limit is read and answered whole, in calls within the limit; the screen
        keeps only the end of a long answer, so what was written is counted."""
        pasted = b" " * self.LIMIT + b" ".join(LONG_RUN * 8)
        for name, lines in [
            ("typed and pasted lines, then 1", [b"150206", b"2", pasted, b"1"]),
            ("Ctrl-Z and Enter at the start of a line", [b"\x1a"]),
        ]:
            with self.subTest(name):
                if lines == [b"\x1a"] and self.wine < 10:
                    self.skipTest(f"Wine {self.wine} drops a Ctrl-Z typed at a terminal")
                self.type_at_console(lines)

    def type_at_console(self, lines):
        """Types each line only once the end of the last answer, which stays on the screen, shows
        there, the banner's first: a person reads it, then types."""
        screen, terminal = os.openpty()
        # Keys typed before the console takes the terminal reach it as they are, not edited.
        tty.setraw(terminal)
        log = self.enterContext(tempfile.TemporaryFile())
        relay = dict(os.environ, WINEDEBUG="+relay")
        console = subprocess.Popen(COMMAND, stdin=terminal, stdout=terminal, stderr=log, env=relay)
        os.close(terminal)
        self.addCleanup(os.close, screen)
        self.addCleanup(console.wait)
        self.addCleanup(console.kill)
        self.wait_to_show(screen, BANNER)
        for line in lines:
            # A paste arrives all at once, while the console echoes it.
            threading.Thread(target=os.write, args=[screen, line + b"\r"], daemon=True).start()
            # A Ctrl-Z that ends the input reaches the program as no text.
            self.wait_to_show(screen, expected_output(line.strip(b"\x1a") + b"\n")[len(BANNER) :])
        typed = b"".join(line + b"\n" for line in lines if line != b"\x1a")
        self.assertEqual(console.wait(SILENCE_LIMIT), 0)
        log.seek(0)
        calls = log.read()
        asked = [int(size, 16) for size in re.findall(rb"Call msvcrt\._\w+\(\w+,\w+,(\w+)", calls)]
        self.assertEqual([size for size in asked if size > self.LIMIT], [])
        # What all reads and all writes carried.
        returns = re.findall(rb"Ret  msvcrt\._(\w+)\(\) retval=(\w+)", calls)
        done = {kind: sum(int(n, 16) for of, n in returns if of == kind) for kind, _ in returns}
        self.assertEqual(done, {b"read": len(typed), b"write": len(expected_output(typed))})

    def wait_to_show(self, screen, text):
        """Reads the screen until it shows the last lines of the text, one below the other."""
        wanted = shown(b"\n".join(text.split(b"\n")[-10:]))
        seen = b""
        while wanted not in shown(seen):
            ready = select.select([screen], [], [], SILENCE_LIMIT)[0]
            self.assertTrue(ready, f"the screen shows no {wanted}, only {shown(seen)}")
            seen += os.read(screen, 65536)


class RandomInput(unittest.TestCase):
    # Pieces that a reader of numbers may trip over, mixed with arbitrary bytes.
    PIECES = b"0 1 2 3 4 5 6 7 8 9 130206 140206 150206 160206 170206 + - +- x".split()
    PIECES += [b"0000000000", b"4294967297", b"18446744073709551618", b"99999999999999999999"]
    PIECES += [b" ", b"\n", b"\r\n", b"\t"]

    def test_arbitrary_bytes_get_exactly_their_answers(self):
        generator = random.Random(110206)
        for _ in range(2000):
            input_bytes = b"".join(
                generator.choice([generator.randbytes(1), generator.choice(self.PIECES)])
                for _ in range(generator.randrange(60))
            )
            # The first failure ends the test: a program that hangs would time out on each run.
            self.assertEqual(run(input_bytes), (0, expected_output(input_bytes), b""), input_bytes)


if __name__ == "__main__":
    if WINE and b"Exec format error" in WINE.stderr:
        print("this machine runs no 32-bit programs: running Wine in an emulated machine")
        machine = Path(__file__).parents[1] / ".ci" / "run_in_vm.sh"
        test = [sys.executable, os.path.abspath(__file__), *sys.argv[1:]]
        os.execv(machine, [machine, os.getcwd(), *test])
    unittest.main(argv=[sys.argv[0], *TEST_CLASSES])

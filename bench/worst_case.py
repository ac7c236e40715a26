#!/usr/bin/env python3
"""Runs every mode of orlimar-check on the worst-case stories and reports,
for each story and mode, the wall time, the peak memory (resident set) of the
process and the size of what it wrote.

Usage: bench/worst_case.py BUILD_DIR [--stray-lines N] [--only STORY] [--keep DIR]

Peak memory is read by GNU time (/usr/bin/time) when it is there.

BUILD_DIR is a build of the default preset holding tools/orlimar-check and
bench/orlimar_worst_cases (cmake --build --preset default --target
orlimar_check orlimar_worst_cases). The stories are written into a scratch
folder (DIR with --keep, which is then left in place). Each run is alone on
the machine: nothing runs in parallel.

--lsp is timed on one didChange round trip: from sending the change (one
blank inserted in the first header) to reading the diagnostics it brings
(a request sent behind the change marks the end of what it brings); its
memory is that of the whole session, opening included. A document the
server drops unread (a message past its transport's bound) is noted so, and
counts as a missed target unless the server told the editor's user.

Every run is stopped after 300 s and refused more than 4 GiB of address
space. Targets: 1 s and 256 MiB for the check, --parcours, --stats and --lsp on
every story. A run past a target is marked with "!"; the exit status is 1
when a run of those modes missed one, 0 otherwise.
"""
import argparse
import json
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import threading
import time

TIME_TARGET = 1.0                # seconds
MEMORY_TARGET = 256 * 1024       # KiB
TIMEOUT = 300                    # seconds: a run past this is stopped
ADDRESS_SPACE = 4 << 30          # bytes: a run that asks for more fails
KEYS_FOR_PLAY = 10_000           # "1" typed this many times into --jouer
BOUND_MODES = {"vérification", "--parcours", "--stats", "--stats json", "--lsp"}


def modes(story, scratch):
    """(label, arguments, standard input) of each command-line mode."""
    transcripts = os.path.join(scratch, "transcriptions")
    return [
        ("vérification", [story], b""),
        ("--parcours", ["--parcours", story], b""),
        ("--parcours --transcription", ["--parcours", story, "--transcription", transcripts], b""),
        ("--stats", ["--stats", story], b""),
        ("--stats json", ["--stats", story, "--format", "json"], b""),
        ("--dot", ["--dot", story], b""),
        ("--relecture", ["--relecture", story], b""),
        ("--hasard 1000", ["--hasard", "1000", "--graine", "1", story], b""),
        ("--jouer", ["--jouer", story, "--sans-couleur"], b"1\n" * KEYS_FOR_PLAY),
    ]


class Run:
    def __init__(self, seconds, peak_kib, output_bytes, status, note=""):
        self.seconds = seconds
        self.peak_kib = peak_kib
        self.output_bytes = output_bytes
        self.status = status
        self.note = note


TIME = "/usr/bin/time"  # GNU time (Debian: time); without it, peaks include this script's own memory


def measured(command, scratch):
    """`command` run under GNU time when there is one, which writes the peak
    memory of the command alone into a file: a child of this script counts, in
    its own peak, what it shared with the script between fork and exec."""
    if not os.path.exists(TIME):
        return command, None
    path = os.path.join(scratch, "peak")
    return [TIME, "-f", "%M", "-o", path] + command, path


def peak_kib(usage, path):
    if path is None:
        return usage.ru_maxrss
    with open(path) as f:
        lines = f.read().split()
    os.remove(path)
    return int(lines[-1]) if lines else usage.ru_maxrss


def limited():
    """In the child before it starts: a bound on its memory, so that a runaway
    run fails instead of taking the machine."""
    resource.setrlimit(resource.RLIMIT_AS, (ADDRESS_SPACE, ADDRESS_SPACE))


def wait_with_timeout(process):
    """Waits for `process`, stopped after TIMEOUT; returns (status, rusage, timed out)."""
    timed_out = []

    def stop():
        timed_out.append(True)
        process.kill()

    timer = threading.Timer(TIMEOUT, stop)
    timer.start()
    try:
        _, status, usage = os.wait4(process.pid, 0)
    finally:
        timer.cancel()
    process.returncode = os.waitstatus_to_exitcode(status)
    return process.returncode, usage, bool(timed_out)


def run_command(checker, args, keys, scratch):
    """One run of orlimar-check: its output goes to a file, which is measured."""
    out_path = os.path.join(scratch, "out")
    keys_path = os.path.join(scratch, "keys")
    with open(keys_path, "wb") as f:
        f.write(keys)
    with open(out_path, "wb") as out, open(keys_path, "rb") as stdin:
        start = time.monotonic()
        command, peak_path = measured([checker] + args, scratch)
        process = subprocess.Popen(command, stdin=stdin, stdout=out, stderr=subprocess.STDOUT, preexec_fn=limited)
        status, usage, timed_out = wait_with_timeout(process)
        seconds = time.monotonic() - start
    size = os.path.getsize(out_path)
    peak = peak_kib(usage, peak_path)
    os.remove(out_path)
    shutil.rmtree(os.path.join(scratch, "transcriptions"), ignore_errors=True)
    return Run(seconds, peak, size, status, "arrêté" if timed_out else "")


# --- The language server ---------------------------------------------------------


def send(process, message):
    body = json.dumps(message).encode("utf-8")
    process.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)
    process.stdin.flush()


def receive(process):
    """The next message from the server, and its size in bytes."""
    length = None
    while True:
        line = process.stdout.readline()
        if not line:
            raise EOFError("the language server closed its output")
        line = line.strip()
        if not line:
            break
        name, _, value = line.partition(b":")
        if name.lower() == b"content-length":
            length = int(value)
    body = process.stdout.read(length)
    return json.loads(body), length


def after_diagnostics(process, request_id):
    """Sends a request behind what was sent, then reads up to its answer; the
    size of the diagnostics published on the way, or None when there were none
    (the server drops a message past its own size bound), and whether the
    server told the editor's user something on the way."""
    send(process, {"jsonrpc": "2.0", "id": request_id, "method": "textDocument/documentSymbol",
                   "params": {"textDocument": {"uri": "file:///nothing-open.txt"}}})
    published, told = None, False
    while True:
        message, size = receive(process)
        if message.get("method") == "textDocument/publishDiagnostics":
            published = size
        told = told or message.get("method") == "window/showMessage"
        if message.get("id") == request_id:
            return published, told


def run_language_server(checker, story_path, scratch):
    # Started before the story is read, which this script then holds.
    command, peak_path = measured([checker, "--lsp"], scratch)
    process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, preexec_fn=limited)
    with open(story_path, encoding="utf-8", errors="surrogateescape") as f:
        text = f.read()
    uri = "file://" + os.path.abspath(story_path)
    timer = threading.Timer(TIMEOUT, process.kill)
    timer.start()
    try:
        send(process, {"jsonrpc": "2.0", "id": 1, "method": "initialize", "params": {}})
        receive(process)
        send(process, {"jsonrpc": "2.0", "method": "initialized", "params": {}})
        send(process, {"jsonrpc": "2.0", "method": "textDocument/didOpen",
                       "params": {"textDocument": {"uri": uri, "languageId": "orlimar", "version": 1,
                                                   "text": text}}})
        del text
        published, told = after_diagnostics(process, 2)
        at = {"line": 0, "character": 9}
        start = time.monotonic()
        send(process, {"jsonrpc": "2.0", "method": "textDocument/didChange",
                       "params": {"textDocument": {"uri": uri, "version": 2},
                                  "contentChanges": [{"range": {"start": at, "end": at}, "text": " "}]}})
        size = after_diagnostics(process, 3)[0] or 0
        seconds = time.monotonic() - start
        send(process, {"jsonrpc": "2.0", "id": 4, "method": "shutdown"})
        receive(process)
        send(process, {"jsonrpc": "2.0", "method": "exit"})
        process.stdin.close()
        note = ""
        if published is None:
            note = "non lu, dit à l'éditeur" if told else "non lu, sans rien dire"
    except (EOFError, BrokenPipeError, ValueError) as problem:
        seconds, size, note = float("nan"), 0, "échec : %s" % problem
    finally:
        timer.cancel()
    status, usage, timed_out = wait_with_timeout(process)
    return Run(seconds, peak_kib(usage, peak_path), size, status, "arrêté" if timed_out else note)


# --- Report ----------------------------------------------------------------------


def human_bytes(size):
    for unit, scale in (("MB", 1_000_000), ("kB", 1_000)):
        if size >= scale:
            return "%.1f %s" % (size / scale, unit)
    return "%d B" % size


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("build")
    parser.add_argument("--stray-lines", type=int, default=None)
    parser.add_argument("--only", action="append", default=[])
    parser.add_argument("--keep")
    options = parser.parse_args()
    checker = os.path.abspath(os.path.join(options.build, "tools", "orlimar-check"))
    writer = os.path.abspath(os.path.join(options.build, "bench", "orlimar_worst_cases"))
    scratch = options.keep or tempfile.mkdtemp(prefix="orlimar-worst-")
    stories_dir = os.path.join(scratch, "stories")
    command = [writer, stories_dir] + ([str(options.stray_lines)] if options.stray_lines is not None else [])
    listing = subprocess.run(command, check=True, stdout=subprocess.PIPE, text=True).stdout
    stories = [line.split("\t", 1) for line in listing.splitlines()]
    missed = False
    print("| histoire | mode | temps | mémoire max | sortie | code |")
    print("| --- | --- | ---: | ---: | ---: | ---: |")
    try:
        for name, purpose in stories:
            stem = name.rsplit(".", 1)[0]
            if options.only and stem not in options.only:
                continue
            path = os.path.join(stories_dir, name)
            runs = [(label, run_command(checker, args, keys, scratch)) for label, args, keys in modes(path, scratch)]
            runs.append(("--lsp", run_language_server(checker, path, scratch)))
            for label, run in runs:
                over = (run.seconds > TIME_TARGET or run.peak_kib > MEMORY_TARGET or
                        (run.note and run.note != "non lu, dit à l'éditeur"))
                mark = " !" if over and label in BOUND_MODES else ""
                missed = missed or bool(mark)
                print("| %s | %s | %.3f s%s | %.1f MiB | %s | %s |" %
                      (stem, label, run.seconds, mark, run.peak_kib / 1024, human_bytes(run.output_bytes),
                       run.note or run.status), flush=True)
    finally:
        if not options.keep:
            shutil.rmtree(scratch, ignore_errors=True)
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())

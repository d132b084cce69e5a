#!/usr/bin/env python3
"""The real checker polling the simulated point for a long while.

  soak.py BUILD-DIR [--minutes N] [--warmup SECONDS] [--no-memory-check]

Runs the program on a private X server against the simulated point (on a
pseudo-terminal linked as ports/COM1 of a scratch folder) for N minutes
(default 30), reading the program's facts from /proc every few seconds. After
the warm-up (default a fifth of the run, at most 2 minutes) it checks that
resident memory grows by less than 1 MB, that no descriptor or thread
accumulates, that polling never stalls, and that every request was answered
once, with no repetition of a request (a repetition means a visit that did
not end in an accepted answer). Then it closes the window and expects a clean
exit. Prints the figures; exits 1 when a check fails. A sanitizer build holds
freed memory back on purpose: --no-memory-check leaves out the memory check.
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from runsupport import Failure, PrivateDisplay, alive, close, main_window, process_facts, wait_for  # noqa: E402

CURRENT_MEASURE = 15
SAMPLE_SECONDS = 5
RSS_GROWTH_LIMIT_KB = 1024


def requests(log_text):
    """(id, request bytes, answer bytes) of every request the simulated point logged."""
    out = []
    for m in re.finditer(r"frame to \S+ kind \d+ type \d+ id (-?\d+)\n  in: *([0-9A-F ]*)\n  out: *([0-9A-F ]*)\n",
                         log_text):
        out.append((int(m.group(1)), m.group(2).strip(), m.group(3).strip()))
    return out


class MeasureCounter:
    """Requests for the current measure in the simulated point's log so far,
    reading only what was added since the last count."""

    def __init__(self, path):
        self.file = open(path)
        self.total = 0
        self.rest = ""

    def count(self):
        lines = (self.rest + self.file.read()).split("\n")
        self.rest = lines.pop()  # a line still being written
        self.total += sum(1 for line in lines if line.endswith(" id %d" % CURRENT_MEASURE))
        return self.total


def soak(build, minutes, warmup, scratch, memory_check=True):
    program = os.path.join(build, "run", "kalvo_checker")
    pointsim = os.path.join(build, "tests", "sim", "kalvo_pointsim")
    work = os.path.join(scratch, "work")
    os.makedirs(os.path.join(work, "ports"))
    env = dict(os.environ, HOME=scratch, NO_AT_BRIDGE="1", GDK_BACKEND="x11")
    env.pop("KALVO_PORTS", None)
    sim_log_path = os.path.join(scratch, "sim.log")
    with PrivateDisplay() as display, open(sim_log_path, "w") as sim_log, \
            open(os.path.join(scratch, "checker.log"), "w+") as checker_log:
        sim = subprocess.Popen([pointsim, "--ports", os.path.join(work, "ports"), "--port", "COM1",
                                "--status", "0x0022", "--algorithm", "Humidity:%:45.5", "--verbose"],
                               stdout=sim_log, stderr=subprocess.STDOUT)
        checker = None
        try:
            wait_for("port link", lambda: os.path.islink(os.path.join(work, "ports", "COM1")), 10)
            checker = subprocess.Popen([program], cwd=work, env=dict(env, DISPLAY=display.name),
                                       stdout=checker_log, stderr=subprocess.STDOUT)
            window = wait_for("main window", lambda: main_window(display.name), 60)

            measures = MeasureCounter(sim_log_path)
            wait_for("polling", lambda: measures.count() >= 3, 30)
            start = time.monotonic()
            end = start + minutes * 60
            samples = []  # (seconds since start, facts, current measures so far)
            while True:
                now = time.monotonic()
                if checker.poll() is not None:
                    raise Failure("the checker ended by itself (%s)" % checker.returncode)
                samples.append((now - start, process_facts(checker.pid), measures.count()))
                if now >= end:
                    break
                time.sleep(min(SAMPLE_SECONDS, max(0.0, end - now)))

            close(window, display.name)
            try:
                rc = checker.wait(timeout=10)
            except subprocess.TimeoutExpired:
                raise Failure("the checker did not end within 10 s of closing its window")
            if rc != 0:
                raise Failure("the checker ended with %d" % rc)
        finally:
            if checker and checker.poll() is None:
                checker.kill()
                checker.wait()
            sim.terminate()
            sim.wait()
        checker_log.seek(0)
        checker_output = checker_log.read()

    text = open(sim_log_path).read()
    seen = requests(text)
    after = [s for s in samples if s[0] >= warmup]
    if len(after) < 2:
        raise Failure("too few samples after the warm-up")
    first, last = after[0][1], after[-1][1]
    growth = last["rss_kb"] - first["rss_kb"]
    peak = max(s[1]["rss_kb"] for s in after)
    seconds = after[-1][0] - after[0][0]
    cpu = (last["cpu_s"] - first["cpu_s"]) / seconds * 100 if seconds > 0 else 0.0
    measures = after[-1][2] - after[0][2]
    print("run: %.1f min, %d requests answered, %.1f requests/s" % (samples[-1][0] / 60, len(seen),
                                                                      len(seen) / max(samples[-1][0], 1)))
    print("resident memory after warm-up %d kB, at the end %d kB (growth %+d kB, peak %d kB)"
          % (first["rss_kb"], last["rss_kb"], growth, peak))
    print("descriptors %d -> %d, threads %d -> %d" % (first["fds"], last["fds"], first["threads"], last["threads"]))
    print("CPU while polling: %.1f %% of one core; current measures read: %.1f/s" % (cpu, measures / max(seconds, 1)))

    problems = []
    if memory_check and growth >= RSS_GROWTH_LIMIT_KB:
        problems.append("resident memory grew by %d kB after the warm-up" % growth)
    if max(s[1]["fds"] for s in after) > first["fds"]:
        problems.append("descriptors accumulate: %s" % [s[1]["fds"] for s in after])
    if max(s[1]["threads"] for s in after) > first["threads"]:
        problems.append("threads accumulate: %s" % [s[1]["threads"] for s in after])
    stalls = [round(b[0]) for a, b in zip(samples, samples[1:]) if b[2] == a[2]]
    if stalls:
        problems.append("no current measure read in the samples at %s s" % stalls)
    unanswered = sum(1 for _, _, answer in seen if not answer)
    if unanswered:
        problems.append("%d requests without an answer" % unanswered)
    spoiled = re.findall(r"^ *\d+ (?!frame )(\S+)", text, re.M)
    if spoiled:
        problems.append("%d requests came spoiled (%s)" % (len(spoiled), sorted(set(spoiled))))
    repeated = sum(1 for a, b in zip(seen, seen[1:]) if a[1] == b[1])
    if repeated:
        problems.append("%d requests repeated at once (a visit without an accepted answer)" % repeated)
    if "device thread:" in checker_output:
        problems.append("the device thread complained: %s" % checker_output.strip()[-500:])
    if problems:
        raise Failure("; ".join(problems))


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--minutes", type=float, default=30)
    parser.add_argument("--warmup", type=float)
    parser.add_argument("--no-memory-check", action="store_true")
    args = parser.parse_args(argv[1:])
    warmup = args.warmup if args.warmup is not None else min(120.0, args.minutes * 60 / 5)
    with tempfile.TemporaryDirectory(prefix="kalvo-soak.") as scratch:
        try:
            soak(os.path.abspath(args.build), args.minutes, warmup, scratch, not args.no_memory_check)
        except Failure as e:
            print("FAIL soak: %s" % e)
            return 1
    print("ok   soak")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

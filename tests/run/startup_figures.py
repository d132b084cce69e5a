#!/usr/bin/env python3
"""How long the real checker takes to start, over several starts.

  startup_figures.py BUILD-DIR [--runs N]

Each start runs the program on a private X server against the simulated point
and measures, from the start of the process: until its main window is mapped
(the first paint), and until the simulated point hears the first request for
the current measure. Prints the median and the range of both (a program, not
a test).
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from runsupport import Failure, PrivateDisplay, close, main_window, wait_for  # noqa: E402


def one_start(build, display, scratch):
    work = os.path.join(scratch, "work")
    os.makedirs(os.path.join(work, "ports"), exist_ok=True)
    sim_log = os.path.join(scratch, "sim.log")
    env = dict(os.environ, HOME=scratch, DISPLAY=display, NO_AT_BRIDGE="1", GDK_BACKEND="x11")
    env.pop("KALVO_PORTS", None)
    with open(sim_log, "w") as log:
        sim = subprocess.Popen([os.path.join(build, "tests", "sim", "kalvo_pointsim"), "--ports",
                                os.path.join(work, "ports"), "--port", "COM1", "--verbose"],
                               stdout=log, stderr=subprocess.STDOUT)
    try:
        wait_for("port link", lambda: os.path.islink(os.path.join(work, "ports", "COM1")), 10, 0.01)
        start = time.monotonic()
        checker = subprocess.Popen([os.path.join(build, "run", "kalvo_checker")], cwd=work, env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            window = wait_for("main window", lambda: main_window(display), 60, 0.005)
            shown = time.monotonic() - start

            def measured():
                with open(sim_log) as f:
                    return " id 15\n" in f.read()

            wait_for("current measure", measured, 60, 0.005)
            polled = time.monotonic() - start
            close(window, display)
            checker.wait(timeout=10)
        finally:
            if checker.poll() is None:
                checker.kill()
                checker.wait()
    finally:
        sim.terminate()
        sim.wait()
    return shown, polled


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--runs", type=int, default=10)
    args = parser.parse_args(argv[1:])
    build = os.path.abspath(args.build)
    shown, polled = [], []
    try:
        with PrivateDisplay() as display:
            for _ in range(args.runs):
                with tempfile.TemporaryDirectory(prefix="kalvo-start.") as scratch:
                    s, p = one_start(build, display.name, scratch)
                shown.append(s * 1000)
                polled.append(p * 1000)
    except Failure as e:
        print("FAIL: %s" % e)
        return 1
    for name, values in (("main window mapped", shown), ("first current measure asked", polled)):
        print("%-28s median %5.0f ms  (min %.0f, max %.0f, %d starts)"
              % (name, statistics.median(values), min(values), max(values), len(values)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

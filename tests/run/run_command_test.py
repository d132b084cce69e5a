#!/usr/bin/env python3
"""The one command that runs the checker, as an operator meets it.

  run_command_test.py SOURCE-DIR BUILD-DIR

Runs scripts/run (installing and building, which finds everything in place)
on a private X server against the simulated point, waits until the checker
polls the measures, closes its window as a window manager would and checks
that the simulated point and its link went with it. Then the one-line
answers to a missing display and to ports the checker cannot use.
"""
import fcntl
import os
import pty
import re
import subprocess
import sys
import tempfile

from runsupport import Failure, alive, close, main_window, wait_for

CURRENT_MEASURE = 15  # variable id of the current measure


def run_and_close(source, build, scratch):
    folder = os.path.join(scratch, "run")
    env = dict(os.environ, HOME=scratch)
    env.pop("DISPLAY", None)
    log = open(os.path.join(scratch, "run.log"), "w+")
    proc = subprocess.Popen([os.path.join(source, "scripts", "run"), "--build", build, "--folder", folder,
                             "--xvfb", "--verbose"], stdout=log, stderr=subprocess.STDOUT, env=env)
    try:
        def text():
            log.seek(0)
            return log.read()

        def running(condition):
            def check():
                value = condition(text())
                if not value and proc.poll() is not None:
                    raise Failure("scripts/run ended early (%s):\n%s" % (proc.returncode, text()[-2000:]))
                return value
            return check

        # Installing and building find everything in place, but may take a while.
        display = ":" + wait_for("display", running(lambda t: re.search(r"private display :(\d+)", t)),
                                 240).group(1)
        sim = int(wait_for("simulated point",
                           running(lambda t: re.search(r"simulated point .* \(pid (\d+)\)", t)), 30).group(1))
        link = os.path.join(folder, "ports", "COM1")
        if not os.path.islink(link):
            raise Failure("no link ports/COM1 while the simulated point runs")
        wait_for("three current measures",
                 running(lambda t: t.count(" id %d\n" % CURRENT_MEASURE) >= 3), 60)
        window = wait_for("main window", lambda: main_window(display), 10)

        close(window, display)
        try:
            rc = proc.wait(timeout=15)
        except subprocess.TimeoutExpired:
            raise Failure("scripts/run did not end after the window was closed")
        if rc != 0:
            raise Failure("scripts/run ended with %d:\n%s" % (rc, text()[-2000:]))
        if alive(sim):
            raise Failure("the simulated point (pid %d) still runs" % sim)
        if os.path.lexists(link):
            raise Failure("the link ports/COM1 was left behind")
        if not os.path.exists(os.path.join(folder, "kalvo_checker.ini")):
            raise Failure("the checker wrote no settings file")
    finally:
        if proc.poll() is None:
            proc.terminate()
            proc.wait()


def one_line_answers(source, build, scratch):
    regular = os.path.join(scratch, "not-a-port")
    open(regular, "w").close()
    master, slave = pty.openpty()
    held = os.ttyname(slave)
    # Another program that holds the port as the checker does.
    fcntl.flock(slave, fcntl.LOCK_EX | fcntl.LOCK_NB)
    cases = [
        ("no display", [], "no display"),
        ("port not there", ["--xvfb", "--port", "/dev/kalvo-no-such-port"], "no port /dev/kalvo-no-such-port"),
        ("port not a terminal", ["--xvfb", "--port", regular], "is not a serial port"),
        ("port held", ["--xvfb", "--port", held], "held by another program"),
    ]
    env = dict(os.environ, HOME=scratch)
    env.pop("DISPLAY", None)
    failures = []
    try:
        for name, args, expected in cases:
            r = subprocess.run([os.path.join(source, "scripts", "run"), "--no-build", "--build", build,
                                "--folder", os.path.join(scratch, "answers")] + args,
                               capture_output=True, text=True, env=env, timeout=60)
            lines = [l for l in (r.stdout + r.stderr).splitlines() if not l.startswith("scripts/run: private display")]
            if r.returncode == 0 or len(lines) != 1 or expected not in lines[0]:
                failures.append("%s: exit %d, said %r" % (name, r.returncode, lines))
    finally:
        os.close(slave)
        os.close(master)
    if failures:
        raise Failure("\n".join(failures))


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    source, build = os.path.abspath(argv[1]), os.path.abspath(argv[2])
    ok = True
    for check in (run_and_close, one_line_answers):
        with tempfile.TemporaryDirectory(prefix="kalvo-run-test.") as scratch:
            try:
                check(source, build, scratch)
                print("ok   %s" % check.__name__)
            except Failure as e:
                ok = False
                print("FAIL %s: %s" % (check.__name__, e))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))

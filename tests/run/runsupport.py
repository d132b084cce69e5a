"""What the scripts that run the real checker share: waiting with a limit,
a private X server, finding and closing the main window, and the process
facts read from /proc."""
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import close_window  # noqa: E402


class Failure(Exception):
    pass


def wait_for(what, condition, seconds, step=0.1):
    until = time.monotonic() + seconds
    while time.monotonic() < until:
        value = condition()
        if value:
            return value
        time.sleep(step)
    raise Failure("no %s within %d s" % (what, seconds))


def alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    # A child that ended but was not reaped yet is gone too.
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except FileNotFoundError:
        return False


def main_window(display):
    """The id of the checker's main window on the display, or None."""
    out = subprocess.run(["xwininfo", "-root", "-tree", "-display", display],
                         capture_output=True, text=True).stdout
    for line in out.splitlines():
        m = re.match(r'\s*(0x[0-9a-f]+) "KALVO_Checker[^"]*": .* (\d+)x(\d+)\+', line)
        if m and int(m.group(2)) > 200:
            return m.group(1)
    return None


def close(window, display):
    """Asks the window to close, as a window manager's close button does."""
    old = os.environ.get("DISPLAY")
    os.environ["DISPLAY"] = display
    try:
        if close_window.main(["close_window", window]) != 0:
            raise Failure("could not ask window %s to close" % window)
    finally:
        if old is None:
            os.environ.pop("DISPLAY", None)
        else:
            os.environ["DISPLAY"] = old


class PrivateDisplay:
    """A private Xvfb for the life of the object; `name` is ":N", `number` N.
    `extra` are further Xvfb arguments (-fbdir DIR keeps the screen in a file)."""

    def __init__(self, extra=()):
        read, write = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"] + list(extra),
            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as f:
            number = f.readline().strip()
        if not number:
            self.proc.kill()
            raise Failure("Xvfb did not start")
        self.number = int(number)
        self.name = ":" + number

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.proc.terminate()
        self.proc.wait()


def process_facts(pid):
    """Resident memory (kB), open descriptors, threads and CPU seconds of a process."""
    rss = 0
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                rss = int(line.split()[1])
    fds = len(os.listdir("/proc/%d/fd" % pid))
    threads = len(os.listdir("/proc/%d/task" % pid))
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    cpu = (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
    return {"rss_kb": rss, "fds": fds, "threads": threads, "cpu_s": cpu}

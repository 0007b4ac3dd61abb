"""Runs vop-host with a --script while the test watches it: every dump is timed, and a hook may act
(arm a fault, read the process's threads or memory) as soon as a given dump arrives. The script
should `wait` after such a dump long enough for the hook.

Shared by the fault tests and the e2e reliability tests; it puts tests/e2e and tests/fixtures on
sys.path so that world.py and the fixture launchers import."""

import json
import os
import pathlib
import subprocess
import sys
import threading
import time
from typing import NamedTuple

SOURCE_DIR = pathlib.Path(os.environ.get("VOP_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
BIN_DIR = pathlib.Path(os.environ.get("VOP_BIN_DIR", SOURCE_DIR / "build" / "release" / "bin"))
for extra in (SOURCE_DIR / "tests" / "fixtures", SOURCE_DIR / "tests" / "e2e", SOURCE_DIR / "tests" / "faults"):
    if str(extra) not in sys.path:
        sys.path.insert(0, str(extra))


class LiveResult(NamedTuple):
    returncode: int
    dumps: list
    times: list  # monotonic arrival time of each dump
    stdout: str
    stderr: str

    def __str__(self):
        return "exit %s\n--- stdout ---\n%s\n--- stderr ---\n%s" % (self.returncode, self.stdout[-4000:],
                                                                   self.stderr[-4000:])


def proc_status(pid, field):
    """A number from /proc/PID/status (Threads, VmHWM in kB, ...), or None once the process is gone."""
    try:
        for line in pathlib.Path("/proc/%d/status" % pid).read_text().splitlines():
            if line.startswith(field + ":"):
                return int(line.split()[1])
    except OSError:
        return None
    return None


def run_host(workdir, lines, server, hooks=None, timeout=150, extra_env=None):
    """hooks: {dump index: callable(process)}; returns a LiveResult."""
    hooks = dict(hooks or {})
    script = pathlib.Path(workdir) / ("script-%d.txt" % time.monotonic_ns())
    script.write_text("\n".join(lines) + "\n", encoding="utf-8")
    host, port = server
    env = os.environ.copy()
    env.setdefault("QT_QPA_PLATFORM", "offscreen")
    env.setdefault("LC_ALL", "pt_BR.UTF-8")
    env["XDG_DATA_HOME"] = str(pathlib.Path(workdir) / "home" / "data")
    env["XDG_STATE_HOME"] = str(pathlib.Path(workdir) / "home" / "state")
    env.update(extra_env or {})
    process = subprocess.Popen([str(BIN_DIR / "vop-host"), "--script", str(script), "--server", "%s:%d" % (host, port)],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True,
                               encoding="utf-8", errors="replace", env=env, cwd=str(workdir))
    stderr_lines = []
    reader = threading.Thread(target=lambda: stderr_lines.extend(process.stderr), daemon=True)
    reader.start()
    timer = threading.Timer(timeout, process.kill)
    timer.start()
    out, dumps, times = [], [], []
    try:
        for line in process.stdout:
            out.append(line)
            if line.startswith("{"):
                times.append(time.monotonic())
                dumps.append(json.loads(line))
                hook = hooks.pop(len(dumps) - 1, None)
                if hook:
                    hook(process)
        process.wait()
    finally:
        timer.cancel()
        if process.poll() is None:
            process.kill()
            process.wait()
        reader.join(5)
    return LiveResult(process.returncode, dumps, times, "".join(out), "".join(stderr_lines))


def errors(dump):
    return [p["text"] for p in dump["prompts"] if p["kind"] == "error"]


def leftovers(folder):
    return [n for n in os.listdir(folder) if ".part-" in n]

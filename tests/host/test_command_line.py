"""vop-host's command line where there is no display: help must not need one."""

import os
import pathlib
import subprocess

BIN_DIR = pathlib.Path(os.environ.get("VOP_BIN_DIR", pathlib.Path(__file__).resolve().parents[2] / "build/release/bin"))
HOST = str(BIN_DIR / "vop-host")


def run(*args, env=None):
    return subprocess.run([HOST, *args], capture_output=True, text=True, timeout=30, env=env or {})


def test_help_prints_the_usage_without_a_display_or_a_server():
    for flag in ("--help", "-h"):
        done = run(flag)
        assert done.returncode == 0, (flag, done.returncode, done.stderr)
        assert done.stdout.startswith("usage: vop-host")
        for option in ("--server HOST:PORT", "--open", "--script FILE", "--module PATH", "--trust-cert FILE"):
            assert option in done.stdout
    # Beside another option, help still wins and nothing starts.
    assert run("--server", "127.0.0.1:1", "--open", "--help").returncode == 0


def test_qt_options_still_pass_and_a_bad_option_is_named():
    # Qt's own arguments do not parse as ours before the application exists; help still works with them.
    done = run("-platform", "offscreen", "--help")
    assert done.returncode == 0, done.stderr
    assert done.stdout.startswith("usage: vop-host")
    done = run("-platform", "offscreen", "--server", "nohost")
    assert done.returncode == 2
    assert "--server needs HOST:PORT" in done.stderr and "usage: vop-host" in done.stderr

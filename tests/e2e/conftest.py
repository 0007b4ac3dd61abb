"""End-to-end harness: runs the real vop-host with a --script against real servers.

Fixtures:
  run_script(lines, server=None, extra_env=None) -> ScriptResult(returncode, stdout, stderr, dumps)
  start_app_server(db_sql="", host=...), app_server: vop-appserver on a database of its own
  start_ftp_server(host, root, **options): the FTP server launcher of tests/fixtures
Every server a test starts is stopped after it.
"""

import itertools
import json
import os
import pathlib
import subprocess
import sys
from typing import NamedTuple

import pytest

SOURCE_DIR = pathlib.Path(os.environ.get("VOP_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
BIN_DIR = pathlib.Path(os.environ.get("VOP_BIN_DIR", SOURCE_DIR / "build" / "release" / "bin"))
FIXTURES_DIR = SOURCE_DIR / "tests" / "fixtures"
if str(FIXTURES_DIR) not in sys.path:
    sys.path.insert(0, str(FIXTURES_DIR))

HOST_TIMEOUT_S = 180


class ScriptResult(NamedTuple):
    returncode: int
    stdout: str
    stderr: str
    dumps: list  # one parsed JSON object per `dump` written to stdout, in order

    def __str__(self):
        return f"exit {self.returncode}\n--- stdout ---\n{self.stdout}\n--- stderr ---\n{self.stderr}"


def server_address(server):
    """'HOST:PORT' from a text, a (host, port) pair or an object with host and port."""
    if server is None or isinstance(server, str):
        return server
    if isinstance(server, tuple):
        host, port = server
    else:
        host, port = server.host, server.port
    return f"{host}:{port}"


def host_env(extra_env=None, home=None):
    env = os.environ.copy()
    env.setdefault("QT_QPA_PLATFORM", "offscreen")
    env.setdefault("LC_ALL", "pt_BR.UTF-8")
    if home is not None:
        # The trust store and the protocol log of this test only, kept across its runs of the host.
        env["XDG_DATA_HOME"] = str(pathlib.Path(home) / "data")
        env["XDG_STATE_HOME"] = str(pathlib.Path(home) / "state")
    env.update(extra_env or {})
    return env


def parse_dumps(stdout):
    # Every dump is one line of JSON; anything else on stdout is not ours to parse.
    return [json.loads(line) for line in stdout.splitlines() if line.startswith("{")]


@pytest.fixture
def run_script(tmp_path):
    counter = itertools.count(1)

    def run(lines, server=None, extra_env=None, timeout=HOST_TIMEOUT_S, args=()):
        script = tmp_path / f"script{next(counter)}.txt"
        script.write_text("\n".join(lines) + "\n", encoding="utf-8")
        command = [str(BIN_DIR / "vop-host"), "--script", str(script), *args]
        address = server_address(server)
        if address:
            command += ["--server", address]
        done = subprocess.run(command, capture_output=True, text=True, encoding="utf-8", errors="replace",
                              env=host_env(extra_env, tmp_path / "home"), cwd=tmp_path, timeout=timeout, stdin=subprocess.DEVNULL)
        return ScriptResult(done.returncode, done.stdout, done.stderr, parse_dumps(done.stdout))

    return run


@pytest.fixture
def start_app_server():
    """start_app_server(db_sql="", host="127.0.0.1") -> a running vop-appserver on a database of its own
    (schema plus db_sql); every server started is stopped after the test."""
    from appserver_fixture import AppServer

    started = []

    def start(db_sql="", host="127.0.0.1"):
        server = AppServer(db_sql=db_sql, host=host)
        server.__enter__()
        started.append(server)
        return server

    yield start
    for server in started:
        server.__exit__(None, None, None)  # stops it and removes its database


@pytest.fixture
def app_server(start_app_server):
    """A running vop-appserver on the schema's own rows."""
    return start_app_server()


@pytest.fixture
def start_ftp_server():
    """start_ftp_server(host, root, **options) -> a running FTP server (tests/fixtures/ftp_fixture.py)
    on port 21 of its own loopback address, stopped after the test."""
    from ftp_fixture import FtpServer

    started = []

    def start(host, root, **options):
        server = FtpServer(host=host, root=str(root), **options)
        server.__enter__()
        started.append(server)
        return server

    yield start
    for server in started:
        server.__exit__(None, None, None)

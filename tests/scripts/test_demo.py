"""scripts/demo end to end: the back end it starts, the screen it opens, and what it leaves behind.

Each run drives the host with a script (offscreen) and a small store of its own (--no-big).
"""

import json
import os
import pathlib
import re
import shutil
import signal
import socket
import subprocess
import tempfile
import time

import pytest

SOURCE_DIR = pathlib.Path(os.environ.get("VOP_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
BIN_DIR = pathlib.Path(os.environ.get("VOP_BIN_DIR", SOURCE_DIR / "build" / "release" / "bin"))
DEMO = SOURCE_DIR / "scripts" / "demo"

needs_root = pytest.mark.skipif(os.geteuid() != 0, reason="the FTP server of the demo listens on port 21")
NOBODY_UID = 65534
AS_NOBODY = ["setpriv", "--reuid=%d" % NOBODY_UID, "--regid=%d" % NOBODY_UID, "--clear-groups"]


@pytest.fixture(scope="module")
def store(tmp_path_factory):
    return tmp_path_factory.mktemp("demo") / "store"


def run_demo(tmp_path, store, *options, script_lines=("open", "wait 300")):
    script = tmp_path / "script.txt"
    dump = tmp_path / "dump.json"
    script.write_text("\n".join(list(script_lines) + ["dump %s" % dump]) + "\n", encoding="utf-8")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", LC_ALL="pt_BR.UTF-8")
    done = subprocess.run([str(DEMO), "--bin", str(BIN_DIR), "--store", str(store), "--no-big", *options,
                           "--script", str(script)],
                          capture_output=True, text=True, timeout=240, env=env)
    state = json.loads(dump.read_text(encoding="utf-8")) if dump.exists() else None
    return done, state


def endpoints(stderr):
    """(host, port) of every server the demo said it started."""
    found = []
    for host, port in re.findall(r"(?:ftp|http)://demo:demo@([\d.]+):(\d+)/", stderr):
        found.append((host, int(port)))
    for host, port in re.findall(r"application server\s+([\d.]+):(\d+)", stderr):
        found.append((host, int(port)))
    return found


def refuses(host, port):
    with socket.socket() as s:
        s.settimeout(2)
        return s.connect_ex((host, port)) != 0


@needs_root
def test_ftp_demo_opens_the_home_of_the_organisation_and_stops_its_servers(tmp_path, store):
    done, state = run_demo(tmp_path, store, "--organisation", "12")
    assert done.returncode == 0, done.stderr
    assert "generating the demo store" in done.stderr
    screen = state["screen"]
    assert screen["caption"] == "Controle de Arquivos XML da NF-e"
    assert screen["path"] == "/XMLFTP/Organização 12"
    assert screen["lamp"] == 1
    names = [row["DSNOME"] for row in screen["rows"]]
    assert "202403" in names and len(names) == 13
    archive = next(row for row in screen["rows"] if row["DSNOME"] == "backup-notas-2023.zip")
    assert archive["FLTAMANHO"] == 5 * 1024 ** 3, "the demo's archive is beyond 4 GB"
    assert not [p for p in state["prompts"] if p["kind"] == "error"], state["prompts"]
    # What runs where is printed, and all of it is gone once the host has closed.
    servers = endpoints(done.stderr)
    assert len(servers) == 2, done.stderr
    assert all(refuses(host, port) for host, port in servers)


@needs_root
def test_http_demo_browses_the_same_store_through_the_gateway(tmp_path, store):
    done, state = run_demo(tmp_path, store, "--http", script_lines=(
        "open", "select name XMLFTP", "dblclick", "wait 300"))
    assert done.returncode == 0, done.stderr
    # The store of the first run is reused, not generated again.
    assert "generating" not in done.stderr
    assert state["globals"]["boHttp"] is True
    screen = state["screen"]
    assert screen["path"] == "/XMLFTP"
    names = {row["DSNOME"] for row in screen["rows"]}
    assert {"Organização 1", "Organização 12"} <= names
    assert not [p for p in state["prompts"] if p["kind"] == "error"], state["prompts"]
    servers = endpoints(done.stderr)
    assert len(servers) == 3, done.stderr
    assert all(refuses(host, port) for host, port in servers)


def test_the_system_directories_are_at_the_root_of_the_store(store):
    # Runs after the two above when the store exists; the screen hides two of them, the store has all.
    if not store.exists():
        pytest.skip("no store was generated")
    assert {"EXEFTP", "RELFTP", "TMPFTP", "XMLFTP"} <= {p.name for p in store.iterdir()}
    assert sum(1 for _ in (store / "XMLFTP").rglob("*-nfe.xml")) >= 3000


def test_an_unknown_option_is_refused_before_anything_starts(tmp_path):
    done = subprocess.run([str(DEMO), "--bin", str(BIN_DIR), "--store", str(tmp_path / "s"), "--nope"],
                          capture_output=True, text=True, timeout=30)
    assert done.returncode == 2
    assert "unknown option '--nope'" in done.stderr
    assert not (tmp_path / "s").exists()


def test_a_missing_program_is_named(tmp_path):
    done = subprocess.run([str(DEMO), "--bin", str(tmp_path), "--store", str(tmp_path / "s")],
                          capture_output=True, text=True, timeout=30)
    assert done.returncode == 1
    assert "vop-host is missing" in done.stderr


@pytest.fixture
def nobody_home():
    """A home folder of the unprivileged user (pytest's folders are private to root)."""
    path = pathlib.Path(tempfile.mkdtemp(prefix="vop-demo-home-"))
    os.chown(path, NOBODY_UID, NOBODY_UID)
    yield path
    shutil.rmtree(path, ignore_errors=True)


@needs_root
@pytest.mark.parametrize("signum", [signal.SIGINT, signal.SIGTERM])
def test_a_signal_stops_the_back_end_at_once_and_the_logs_stay(store, signum):
    demo = subprocess.Popen([str(DEMO), "--bin", str(BIN_DIR), "--store", str(store), "--no-big", "--http", "--keep"],
                            stderr=subprocess.PIPE, text=True)
    try:
        said = []
        for line in demo.stderr:
            said.append(line)
            if "back end running" in line:
                break
        stderr = "".join(said)
        servers = endpoints(stderr)
        assert len(servers) == 3, stderr
        logs = pathlib.Path(re.search(r"logs\s+(\S+)", stderr).group(1))
        start = time.monotonic()
        demo.send_signal(signum)
        status = demo.wait(timeout=10)
        assert time.monotonic() - start < 5
    finally:
        if demo.poll() is None:
            demo.kill()
            demo.wait()
    assert status == 128 + signum
    assert all(refuses(host, port) for host, port in servers)
    # The logs of what ran are kept where the demo said.
    assert {"ftp.err", "gateway.err", "appserver.err", "appserver.out"} <= {p.name for p in logs.iterdir()}
    assert (logs / "appserver.out").read_text().strip().splitlines()[0] == str(servers[-1][1])


@needs_root
def test_a_user_without_root_gets_a_store_of_their_own_where_the_gateway_creates_directories(nobody_home):
    # HTTP mode goes on without FTP (port 21 needs root); build/ belongs to root, so the store and
    # the logs go under the user's home.
    script = nobody_home / "script.txt"
    dump = nobody_home / "dump.json"
    script.write_text("open\nselect name XMLFTP\ndblclick\nanswer input NotasNovas\nclick btnNovoDir\nwait 300\n"
                      "dump %s\n" % dump, encoding="utf-8")
    env = dict(os.environ, HOME=str(nobody_home), QT_QPA_PLATFORM="offscreen", LC_ALL="pt_BR.UTF-8")
    env.pop("XDG_CACHE_HOME", None)
    done = subprocess.run(AS_NOBODY + [str(DEMO), "--bin", str(BIN_DIR), "--no-big", "--http", "--script", str(script)],
                          capture_output=True, text=True, timeout=240, env=env)
    assert done.returncode == 0, done.stderr
    own = nobody_home / ".cache" / "vop-demo"
    assert "store %s/store" % own in done.stderr
    assert "logs                %s/logs" % own in done.stderr
    screen = json.loads(dump.read_text(encoding="utf-8"))["screen"]
    assert "NotasNovas" in {row["DSNOME"] for row in screen["rows"]}, screen["rows"]
    assert (own / "store" / "XMLFTP" / "NotasNovas").is_dir()
    assert (own / "store").stat().st_uid == NOBODY_UID


@needs_root
def test_a_store_that_cannot_be_removed_is_one_clear_line(nobody_home, tmp_path):
    # A store that root made, which the user asks to make again.
    parent = pathlib.Path(tempfile.mkdtemp(prefix="vop-demo-root-"))
    try:
        parent.chmod(0o755)
        old = parent / "store" / "XMLFTP" / "Grande"
        old.mkdir(parents=True)
        for n in range(200):
            (old / ("%03d-nfe.xml" % n)).write_text("<NFe/>\n")
        done = subprocess.run(AS_NOBODY + [str(DEMO), "--bin", str(BIN_DIR), "--store", str(parent / "store"),
                                           "--no-big", "--fresh", "--keep"],
                              capture_output=True, text=True, timeout=60, env=dict(os.environ, HOME=str(nobody_home)))
        assert done.returncode == 1
        assert "cannot remove the old store %s/store (it belongs to root)" % parent in done.stderr
        assert "rm:" not in done.stderr and len(done.stderr.splitlines()) < 5, done.stderr
        assert len(list(old.iterdir())) == 200
    finally:
        shutil.rmtree(parent, ignore_errors=True)

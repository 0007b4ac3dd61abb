"""scripts/demo end to end: the back end it starts, the screen it opens, and what it leaves behind.

Each run drives the host with a script (offscreen) and a small store of its own (--no-big).
"""

import json
import os
import pathlib
import re
import socket
import subprocess

import pytest

SOURCE_DIR = pathlib.Path(os.environ.get("VOP_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
BIN_DIR = pathlib.Path(os.environ.get("VOP_BIN_DIR", SOURCE_DIR / "build" / "release" / "bin"))
DEMO = SOURCE_DIR / "scripts" / "demo"

needs_root = pytest.mark.skipif(os.geteuid() != 0, reason="the FTP server of the demo listens on port 21")


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

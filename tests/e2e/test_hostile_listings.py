"""Listings from a hostile server: huge lines, endless listings, NUL and undefined CP1252 bytes, names
that look like paths or carry a CR. The screen stays within bounded memory, shows a clear error or a
sane row, never lets a name steer a local save path, and never sends a command it did not mean to."""

import os
import sys

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "faults"))

from live_host import errors, proc_status, run_host  # noqa: E402
from scripted_ftp_peer import ScriptedFtpPeer  # noqa: E402
from appserver_fixture import AppServer  # noqa: E402
from world import ORG_HOME, PASSWORD, USER, fresh_loopback, make_store, settings_sql  # noqa: E402

HOME = "/" + ORG_HOME
STAMP = b"01-15-24  03:45PM "
MEMORY_LIMIT_KB = 450 * 1024  # peak resident size of the whole host, Qt included
EXPECTED_VERBS = {"AUTH", "USER", "PASS", "CWD", "PWD", "EPRT", "PORT", "LIST", "TYPE", "SIZE", "RETR", "QUIT", "ABOR"}


def dos_file(name, size=10):
    return STAMP + b"%20d " % size + name + b"\r\n"


def dos_dir(name):
    return STAMP + b"      <DIR>          " + name + b"\r\n"


@pytest.fixture
def world(tmp_path):
    store = make_store(tmp_path / "store", {ORG_HOME + "/outra.xml": b"<nfe/>"})
    host = fresh_loopback()
    with ScriptedFtpPeer(host, store, USER, PASSWORD) as peer, AppServer(db_sql=settings_sql(host)) as app:
        yield peer, store, (app.host, app.port)


def hostile_at_home(peer, payload):
    peer.listing = lambda cwd: payload if cwd == HOME else peer._dos_listing(cwd)


def peak_memory(into):
    return lambda process: into.append(proc_status(process.pid, "VmHWM"))


def stray_commands(peer):
    return [c for c in peer.commands() if c.split(" ")[0].upper() not in EXPECTED_VERBS]


@pytest.mark.parametrize("case", ["long lines", "ten million lines"])
def test_oversized_listings_stay_bounded_and_recover(world, tmp_path, case):
    peer, store, server = world
    if case == "long lines":
        payload = b"".join(dos_file(b"n%d" % i + b"a" * (1 << 20) + b".xml") for i in range(3))
    else:
        block = b"".join(dos_file(b"nota%07d.xml" % i) for i in range(10000))
        payload = lambda: (block for _ in range(1000))  # noqa: E731  10 million lines, about 600 MB
    hostile_at_home(peer, payload)
    memory = []
    # The server turns healthy after the first dump; Refresh must then list the real folder.
    hooks = {0: lambda process: (peak_memory(memory)(process), setattr(peer, "listing", None))}
    result = run_host(tmp_path, ["open", "dump", "wait 200", "key Ctrl+A", "dump"], server, hooks)
    assert result.returncode == 0, str(result)
    hostile, healed = result.dumps
    assert memory[0] is not None and memory[0] < MEMORY_LIMIT_KB, memory
    rows = hostile["screen"]["rows"]
    if case == "long lines":
        # Sane rows: the name is cut to the field's 255 characters.
        assert len(rows) == 3 and all(len(r["DSNOME"]) == 255 for r in rows), [len(r["DSNOME"]) for r in rows]
    else:
        [message] = errors(hostile)
        assert "grande demais" in message, message
        assert hostile["screen"]["enabled"]["btnHome"] is False  # the listing failed: unavailable
    assert sorted(r["DSNOME"] for r in healed["screen"]["rows"]) == ["202401", "outra.xml"]
    assert stray_commands(peer) == []


def test_odd_bytes_and_path_like_names_never_steer_a_save_or_a_command(world, tmp_path):
    peer, store, server = world
    # Files the server can serve for the path-like names, outside the listed folder.
    (store / "fuga.xml").write_bytes(b"from the store root")
    (store / ORG_HOME / "sub" / "dir").mkdir(parents=True)
    (store / ORG_HOME / "sub" / "dir" / "fuga3.xml").write_bytes(b"from a subfolder")
    (store / ORG_HOME / "..\\..\\fuga2.xml").write_bytes(b"backslashes are just characters")
    payload = (dos_file(b"../../fuga.xml") + dos_file(b"..\\..\\fuga2.xml") + dos_file(b"sub/dir/fuga3.xml")
               + dos_file(b"nu\x00lo.xml") + dos_file(b"inv\x81\x8d\x8f\x90\x9d.xml")
               + dos_file(b"a\rDELE outra.xml") + dos_dir(b"d\rRMD XMLFTP") + dos_dir(b"..")
               + dos_file(b"outra.xml", 6))
    hostile_at_home(peer, payload)

    first = run_host(tmp_path, ["open", "dump"], server)
    assert first.returncode == 0, str(first)
    rows = first.dumps[0]["screen"]["rows"]
    names = [r["DSNOME"] for r in rows]
    assert len(rows) == 9, names

    def index(predicate):
        return next(i for i, n in enumerate(names) if predicate(n))

    nul = index(lambda n: "lo.xml" in n and n.startswith("nu"))
    undefined = index(lambda n: n.startswith("inv"))
    cr_file = index(lambda n: n.startswith("a") and "DELE" in n)
    cr_dir = index(lambda n: n.startswith("d") and "RMD" in n)
    # Bytes that CP1252 leaves undefined come through as the matching C1 code points: lossless, so
    # the name goes back to the server byte for byte.
    assert names[undefined] == "inv\x81\x8d\x8f\x90\x9d.xml", names[undefined]

    saved = {name: tmp_path / "escolhido" / ("%d.xml" % i) for i, name in
             enumerate(["../../fuga.xml", "..\\..\\fuga2.xml", "sub/dir/fuga3.xml"])}
    (tmp_path / "escolhido").mkdir()
    untouched = tmp_path / "escolhido" / "existente.xml"
    untouched.write_bytes(b"keep")
    lines = ["open"]
    for name, path in saved.items():
        lines += [f"select name {name}", f"answer save {path}", "click sbtConfirma", "wait idle"]
    for row in (nul, undefined, cr_file):
        lines += [f"select {row}", f"answer save {untouched}", "click sbtConfirma", "wait idle", "dump"]
    lines += [f"select {cr_file}", "answer confirm yes", "click btnExcluir", f"select {cr_dir}", "dblclick", "dump"]
    result = run_host(tmp_path, lines, server)
    assert result.returncode == 0, str(result)
    final = result.dumps[-1]

    # The dialog offered the bare name, and each download went exactly where the dialog said.
    offered = [p["text"] for p in final["prompts"] if p["kind"] == "save"]
    assert offered[:3] == ["fuga.xml", "fuga2.xml", "fuga3.xml"], offered
    assert saved["../../fuga.xml"].read_bytes() == b"from the store root"
    assert saved["..\\..\\fuga2.xml"].read_bytes() == b"backslashes are just characters"
    assert saved["sub/dir/fuga3.xml"].read_bytes() == b"from a subfolder"
    for folder in (tmp_path, tmp_path.parent, tmp_path / "escolhido"):
        assert not [n for n in os.listdir(folder) if n.startswith("fuga")], folder
    # NUL, undefined bytes and CR: a clear failure before anything is sent; the old file stays.
    for dump, what in zip(result.dumps[:3], ("nulo", "", "quebra de linha")):
        status = dump["screen"]["status"][1]
        assert status.startswith("Falha na transferência: ") and what in status, status
    asked = [c for c in peer.commands() if c.startswith("SIZE inv")]
    assert asked == ["SIZE inv\ufffd\ufffd\ufffd\ufffd\ufffd.xml"], asked  # sent back as the same five bytes
    assert untouched.read_bytes() == b"keep"
    assert any("quebra de linha" in e for e in errors(final))  # the delete and the double-click
    # No command carried a NUL or a CR, and nothing was deleted or removed.
    sent = peer.commands()
    assert not [c for c in sent if "\x00" in c or "\r" in c or "DELE" in c or "RMD" in c], sent
    assert stray_commands(peer) == []
    assert (store / ORG_HOME / "outra.xml").exists() and (store / "XMLFTP").is_dir()

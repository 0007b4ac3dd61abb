"""Whole trees through the screen: "Download all listed" walking the directories shown (pyftpdlib,
vsftpd, the gateway), over several connections, a link loop and the depth limit; a server that takes
no more sessions, a session that dies mid-tree, Abort; and "Enviar pasta" rebuilding a folder."""

import os

import pytest

from world import ORG_HOME, World, fresh_loopback, prompts_of, run_host  # noqa: I100  (world puts live_host on the path)
from test_field_servers import settings, vsftpd_store
from test_find_and_batch import leftovers, status, tree_of
from vsftpd_server import Vsftpd, available

YEAR = {"2024/%02d/Nota de Ação %02d-%02d.xml" % (m, m, i): os.urandom(2000 + 37 * i + m) for m in (1, 2, 3)
        for i in range(6)}


def year_store(extra=None):
    files = {ORG_HOME + "/" + k: v for k, v in YEAR.items()}
    files.update(extra or {})
    return files


def expected_tree(files, under="2024/"):
    tree = {k: v for k, v in files.items() if k.startswith(under)}
    for name in list(tree):
        parts = name.split("/")[:-1]
        for depth in range(1, len(parts) + 1):
            tree["/".join(parts[:depth]) + "/"] = None
    return tree


def report_of(dump):
    return [p["text"] for p in prompts_of(dump, "error")]


def test_tree_rebuilt_once_per_directory_within_the_depth_limit(run_script, tmp_path):
    deep = "fundo/" + "/".join("d%02d" % i for i in range(1, 33))
    files = year_store({ORG_HOME + "/fundo/d01/raso.xml": b"raso", ORG_HOME + "/" + deep + "/perdido.xml": b"fundo",
                        ORG_HOME + "/2024/04/vazio.txt": b""})
    with World(tmp_path, files=files) as world:
        home = world.store / ORG_HOME
        # A link back to the shown directory (a loop), a directory whose name the wire cannot carry
        # (it cannot be listed), and one whose name cannot be a local folder.
        os.symlink("..", home / "2024" / "volta")
        (home / "2024" / "日本").mkdir()
        (home / "2024" / "a\\b").mkdir()
        target = tmp_path / "ano"
        target.mkdir()
        result = run_script(["open", "answer folder %s" % target, "key Ctrl+Shift+D", "wait idle", "dump"],
                            server=world.server)
    assert result.returncode == 0, str(result)
    [dump] = result.dumps
    got = tree_of(target)
    wanted = expected_tree({k[len(ORG_HOME) + 1:]: v for k, v in files.items()}, "2024/")
    wanted.update({"fundo/": None, "fundo/d01/": None, "fundo/d01/raso.xml": b"raso", "202401/": None})
    # Depth 32 is walked: fundo is 1, d31 is 32.
    assert {k: v for k, v in got.items() if not k.startswith("fundo/d01/d")} == wanted
    assert "fundo/" + "/".join("d%02d" % i for i in range(1, 32)) + "/" in got
    assert not any(k.endswith("perdido.xml") or "d32" in k for k in got)
    assert "2024/volta/" not in got and leftovers(target) == []
    count = sum(1 for v in wanted.values() if v is not None)
    assert status(dump).startswith("Transferência Completa (%d Arquivos, %d Bytes " % (
        count, sum(len(v) for v in wanted.values() if v is not None)))
    [report] = report_of(dump)
    lines = report.splitlines()
    assert lines[0] == "Não foi possível baixar 3 arquivos:"
    assert sorted(lines[1:]) == sorted([
        "2024/??/: não foi possível listar o diretório (550 No such file or directory.)",
        "2024/a\\b: o nome contém separador de diretório",
        deep + "/: mais de 32 níveis de diretórios: não foi percorrido"])


@pytest.mark.skipif(not available(), reason="needs vsftpd and root")
def test_tree_from_vsftpd(run_script, tmp_path):
    host = fresh_loopback()
    root = tmp_path / "store"
    home = vsftpd_store(root, {})
    for name, data in YEAR.items():
        path = home / os.fsdecode(name.encode("cp1252"))
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    target = tmp_path / "ano"
    target.mkdir()
    with Vsftpd(host, root) as server, settings(host) as app:
        server.writable(str(home))
        result = run_script(["open", "answer folder %s" % target, "key Ctrl+Shift+D", "wait idle", "dump",
                             "answer folder %s" % target, "answer choice 3", "key Ctrl+Shift+D", "wait idle", "dump"],
                            server=(app.host, app.port))
    assert result.returncode == 0, str(result)
    first, again = result.dumps
    assert tree_of(target) == dict(expected_tree(YEAR), **{"202401/": None})
    assert status(first).startswith("Transferência Completa (18 Arquivos, ")
    # Nothing changed: nothing comes again.
    assert status(again).startswith("Transferência Completa (0 Arquivos, 0 Bytes ")
    assert status(again).endswith(" 18 arquivos existentes mantidos.")


def test_tree_through_the_gateway(run_script, tmp_path):
    from test_gateway_mode import GatewayWorld

    target = tmp_path / "ano"
    target.mkdir()
    with GatewayWorld(tmp_path) as world:
        for name, data in YEAR.items():
            path = world.store / ORG_HOME / name
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
        result = run_script(["open", "key Ctrl+F", "type 2024", "answer folder %s" % target, "key Ctrl+Shift+D",
                             "wait idle", "dump"], server=world.server, args=world.args())
    assert result.returncode == 0, str(result)
    assert tree_of(target) == dict(expected_tree(YEAR), **{"202401/": None})
    assert status(result.dumps[0]).startswith("Transferência Completa (18 Arquivos, ")


def sessions_of(log):
    sessions = {}
    for line in log.read_text(encoding="utf-8").splitlines():
        port, _, command = line.partition(" ")
        sessions.setdefault(port, []).append(command)
    return list(sessions.values())


def protocol_lines(tmp_path):
    folder = tmp_path / "home" / "state" / "vop31600"
    return "".join(p.read_text(encoding="utf-8", errors="replace") for p in folder.glob("protocolo*.log"))


def download_year(run_script, tmp_path, **ftp_options):
    """The year's tree into a new folder, the fixture logging every command: the dump, the folder, the log."""
    log = tmp_path / "ftp.log"
    target = tmp_path / "ano"
    target.mkdir()
    with World(tmp_path, files=year_store(), ftp_options=dict(ftp_options, log=log)) as world:
        result = run_script(["open", "answer folder %s" % target, "key Ctrl+Shift+D", "wait idle", "dump"],
                            server=world.server)
    assert result.returncode == 0, str(result)
    return result.dumps[0], target, log


def test_a_server_that_takes_no_more_sessions_lowers_the_count_and_the_job_goes_on(run_script, tmp_path):
    # The screen's session and the worker's own: a third from this address gets 421.
    dump, target, log = download_year(run_script, tmp_path, max_per_ip=2)
    assert tree_of(target) == dict(expected_tree(YEAR), **{"202401/": None})
    assert status(dump).startswith("Transferência Completa (18 Arquivos, ")
    assert report_of(dump) == []
    assert len([s for s in sessions_of(log) if any(c.startswith("RETR") for c in s)]) == 1
    assert "a transferência segue com 1 conexão." in protocol_lines(tmp_path)


def test_421_at_the_worker_log_in_fails_the_job_clearly(run_script, tmp_path):
    dump, target, _ = download_year(run_script, tmp_path, max_per_ip=1)
    assert status(dump).startswith("Falha na transferência: ") and "421" in status(dump)
    assert os.listdir(target) == []


def test_a_session_that_dies_mid_tree_is_taken_over(run_script, tmp_path):
    dump, target, log = download_year(run_script, tmp_path, kill_at_retr=5)
    assert tree_of(target) == dict(expected_tree(YEAR), **{"202401/": None})
    assert status(dump).startswith("Transferência Completa (18 Arquivos, ")
    assert report_of(dump) == [] and leftovers(target) == []
    # The dead session's file came again, once more than the others.
    commands = [c for s in sessions_of(log) for c in s if c.startswith("RETR")]
    assert len(commands) == 19 and len(set(commands)) == 18


def test_abort_stops_every_connection_at_once(tmp_path):
    files = {ORG_HOME + "/grande%d.bin" % i: os.urandom(3_000_000) for i in range(6)}
    log = tmp_path / "ftp.log"
    target = tmp_path / "lote"
    target.mkdir()
    with World(tmp_path, files=files, ftp_options={"throttle": 300_000, "log": log}) as world:
        result = run_host(tmp_path, ["open", "key Ctrl+F", "type grande", "answer folder %s" % target,
                                     "key Ctrl+Shift+D", "wait status (0 de 6 arquivos", "wait 1500", "dump",
                                     "click btnAbortar", "wait idle", "dump"], world.server, timeout=60)
    assert result.returncode == 0, result.stderr
    during, aborted = result.dumps
    assert status(aborted) == "Transferência Cancelada. 0 arquivos concluídos."
    assert result.times[1] - result.times[0] < 0.2 + 0.15  # the abort, and the dumps around it
    assert os.listdir(target) == []
    workers = [s for s in sessions_of(log) if any(c.startswith("RETR") for c in s)]
    assert len(workers) == 3


def test_folder_upload_rebuilds_the_folder_and_reloads_once(run_script, tmp_path):
    local = tmp_path / "Notas de Março"
    sent = {"Notas de Março/" + k: v for k, v in YEAR.items()}
    for name, data in sent.items():
        path = tmp_path / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    (local / "vazia").mkdir()
    (local / "2024" / "01" / "laço").symlink_to("..")  # a loop: sent once
    log = tmp_path / "ftp.log"
    with World(tmp_path, files=year_store(), ftp_options={"log": log}) as world:
        # The remote directory is there already, with a file: it is used as it is.
        (world.store / ORG_HOME / "Notas de Março" / "2024").mkdir(parents=True)
        (world.store / ORG_HOME / "Notas de Março" / "antiga.xml").write_bytes(b"antiga")
        result = run_script(["open", "answer folder %s" % local, "key Ctrl+Shift+U", "wait idle", "dump"],
                            server=world.server)
        remote = tree_of(world.store / ORG_HOME / "Notas de Março")
    assert result.returncode == 0, str(result)
    [done] = result.dumps
    assert remote == dict(expected_tree(YEAR), **{"vazia/": None, "antiga.xml": b"antiga"})
    assert status(done).startswith("Transferência Completa (18 Arquivos, %d Bytes Enviados em " % sum(
        len(v) for v in YEAR.values()))
    assert "Notas de Março" in [r["DSNOME"] for r in done["screen"]["rows"]]
    assert report_of(done) == []
    # The screen's own session listed at the start and once after the whole upload.
    assert sessions_of(log)[0].count("LIST") == 2
    assert len([s for s in sessions_of(log) if any(c.startswith("STOR") for c in s)]) == 3

    # A folder named as a system directory is not sent into the root.
    (tmp_path / "XMLFTP").mkdir()
    with World(tmp_path, organisation="0", files={"leia-me.txt": b"root"}) as world:
        result = run_script(["open", "answer folder %s" % (tmp_path / "XMLFTP"), "key Ctrl+Shift+U", "wait idle",
                             "dump"], server=world.server)
    assert result.returncode == 0, str(result)
    assert report_of(result.dumps[0]) == [
        "Operação bloqueada. Diretório necessário para o funcionamento dos sistemas Morvane."]

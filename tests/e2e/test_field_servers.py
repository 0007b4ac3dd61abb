"""The screen against servers as offices meet them: Debian's vsftpd requiring TLS (session reuse
included) with active mode refused and a short idle time-out. The certificate is put to the user
before the log-in, trusted for good, and the worker's own connection must present the same one; a
server that once spoke TLS and now refuses it gets no password."""

import os

import pytest

from appserver_fixture import AppServer
from certificates import self_signed
from ftp_fixture import FtpServer
from vsftpd_server import Vsftpd, available
from world import ORG_HOME, fresh_loopback, prompts_of

HOME = "/" + ORG_HOME
pytestmark = pytest.mark.skipif(not available(), reason="needs vsftpd and root")


def vsftpd_store(root, files):
    """vsftpd keeps the bytes the client sends: the home's name is CP1252 on disk."""
    root.parent.chmod(0o755)  # vsftpd's session runs as the ftp user
    home = root / os.fsdecode(ORG_HOME.encode("cp1252"))
    for folder in ("EXEFTP", "RELFTP", "TMPFTP"):
        (root / folder).mkdir(parents=True, exist_ok=True)
    (home / "202401").mkdir(parents=True, exist_ok=True)
    for name, data in files.items():
        (home / name).write_bytes(data)
    return home


def settings(host, user="anonymous", password="contador@"):
    return AppServer(db_sql="INSERT INTO ftp_data VALUES ('S','%s','%s','%s','12');"
                            "INSERT INTO local_cache VALUES ('', '');" % (host, user, password))


def errors(dump):
    return [p["text"] for p in dump["prompts"] if p["kind"] == "error"]


def test_tls_required_active_refused_certificate_trusted_once_for_good(run_script, tmp_path):
    host = fresh_loopback()
    tls, fingerprint = self_signed(tmp_path, host)
    data = os.urandom(3 * 1024 * 1024 + 5)
    root = tmp_path / "store"
    home = vsftpd_store(root, {"nota.xml": data})
    target = tmp_path / "baixada.xml"
    with Vsftpd(host, root, tls=tls, active=False) as server, settings(host) as app:
        server.writable(str(home))
        first = run_script(["answer choice 1", "open", "select name nota.xml", f"answer save {target}",
                            "click sbtConfirma", "wait idle", "dump"], server=(app.host, app.port))
        again = run_script(["open", "wait 200", "dump"], server=(app.host, app.port))
    assert first.returncode == 0, str(first)
    dump = first.dumps[-1]
    [question] = prompts_of(dump, "choice")
    assert question["caption"] == "Certificado do servidor FTP"
    assert "autoassinado" in question["text"] and fingerprint in question["text"]
    assert question["text"].endswith("Confiar sempre | Somente desta vez | Não conectar")
    assert question["answer"] == "Confiar sempre"
    assert errors(dump) == []
    screen = dump["screen"]
    assert screen["tls"]["protocol"].startswith("TLSv1.") and screen["tls"]["fingerprint"] == fingerprint
    assert screen["path"] == HOME and screen["lamp"] == 1
    assert target.read_bytes() == data  # the worker: TLS, passive after the refusal, the same certificate
    assert screen["status"][1].startswith("Transferência Completa")

    assert again.returncode == 0, str(again)
    dump = again.dumps[-1]
    assert prompts_of(dump, "choice") == [] and errors(dump) == []
    assert dump["screen"]["tls"]["fingerprint"] == fingerprint
    log = (tmp_path / "home" / "state" / "vop31600" / "protocolo.log").read_text(encoding="utf-8")
    assert "> USER anonymous" in log and "contador@" not in log
    assert "sessão retomada" in log

    # The same server now refuses TLS: no user name nor password leaves.
    commands = tmp_path / "plain.log"
    with FtpServer(host, str(root), "anonymous", "contador@", log=commands), settings(host) as app:
        refused = run_script(["open", "wait 200", "dump"], server=(app.host, app.port))
    assert refused.returncode == 0, str(refused)
    [message] = errors(refused.dumps[-1])
    assert "já se conectou com TLS antes" in message, message
    assert refused.dumps[-1]["screen"]["lamp"] == 0 and refused.dumps[-1]["screen"]["tls"] is None
    sent = [line.split(" ", 1)[1].split(" ")[0] for line in commands.read_text().splitlines()]
    assert sent == ["AUTH"], sent


def test_a_session_the_server_ended_for_idleness_comes_back_on_the_next_command(run_script, tmp_path):
    host = fresh_loopback()
    root = tmp_path / "store"
    vsftpd_store(root, {"nota.xml": b"<nfeProc/>"})
    with Vsftpd(host, root, active=False, idle=1), settings(host) as app:
        result = run_script(["open", "wait 2500", "select name 202401", "dblclick", "dump"],
                            server=(app.host, app.port))
    assert result.returncode == 0, str(result)
    dump = result.dumps[-1]
    assert errors(dump) == []
    assert dump["screen"]["path"] == HOME + "/202401" and dump["screen"]["lamp"] == 1
    assert dump["screen"]["tls"] is None

"""Every text the screen shows is Portuguese and whole, also when a server is out of reach or refuses
to write: no English system or network text inside our messages, no empty value shown as nothing."""

import contextlib
import re
import shutil
import socket
import subprocess

import pytest

from appserver_fixture import AppServer, Gateway
from world import ORG_HOME, World, make_store, settings_sql

ENGLISH = re.compile(r"Cannot|cannot|Connection refused|No such|Permission denied|not permitted|"
                     r"Timeout|timed out|Exception|Error|Host not found|Net Exception|reset by peer")
# A value left out: "...: ." , "''", '""', a sentence ending in ": ", or two full stops.
HOLE = re.compile(r":\s*\.|''|\"\"|:\s*$|\.\.$|\s\.$")


def assert_portuguese(dump):
    texts = [p["text"] for p in dump["prompts"]]
    assert texts, "expected at least one prompt"
    for text in texts:
        assert not ENGLISH.search(text), text
        assert not HOLE.search(text), text
    return texts


@contextlib.contextmanager
def immutable(path):
    # Immutable: even a process running as root can create nothing in it.
    if subprocess.run(["chattr", "+i", str(path)], capture_output=True).returncode != 0:
        pytest.skip("the file system does not support the immutable attribute")
    try:
        yield
    finally:
        subprocess.run(["chattr", "-i", str(path)], check=True)


def closed_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def test_unreachable_application_server_and_ftp_server_without_a_name(run_script, tmp_path):
    [dump] = run_script(["open", "dump"], server=("127.0.0.1", closed_port())).dumps
    [text] = assert_portuguese(dump)
    assert "conexão recusada" in text, text

    # The settings name no FTP server at all.
    with AppServer(db_sql=settings_sql("", organisation="0")) as app:
        [dump] = run_script(["open", "dump"], server=(app.host, app.port)).dumps
    [text] = assert_portuguese(dump)
    assert "(vazio)" in text, text


@pytest.mark.skipif(shutil.which("chattr") is None, reason="needs chattr to make the store unwritable")
def test_gateway_store_that_refuses_to_create_a_directory(run_script, tmp_path):
    store = make_store(tmp_path / "store")
    with immutable(store / ORG_HOME), Gateway(store, "gateway", "g4teway") as gateway:
        connect = "Address=127.0.0.1&Login=gateway&Password=g4teway&Path=nfe&FileDir=/"
        row = "'S','127.0.0.1','%s',0,'','','',0" % gateway.port
        sql = settings_sql("127.0.0.1", connect_str=connect) + "INSERT INTO http_param VALUES (%s);" % row
        with AppServer(db_sql=sql) as app:
            result = run_script(["open", "answer input Notas novas", "click btnNovoDir", "dump"],
                                server=(app.host, app.port))
    assert result.returncode == 0, str(result)
    [dump] = result.dumps
    errors = [p["text"] for p in dump["prompts"] if p["kind"] == "error"]
    assert len(errors) == 1 and "Notas novas" in errors[0], errors
    assert_portuguese(dump)


@pytest.mark.skipif(shutil.which("chattr") is None, reason="needs chattr to make the folder unwritable")
@pytest.mark.parametrize("mode", ["ftp", "gateway"])
def test_a_failed_save_names_the_users_file_in_portuguese_with_one_full_stop(run_script, tmp_path, mode):
    from test_gateway_mode import GatewayWorld

    folder = tmp_path / "salvar"
    folder.mkdir()
    target = folder / "nota.xml"
    # FTP names the system's cause; the gateway download fails on creating the file.
    make_world, cause = {"ftp": (World, "permissão negada"),
                         "gateway": (GatewayWorld, "não foi possível criar o arquivo %s." % target)}[mode]
    with immutable(folder), make_world(tmp_path) as world:
        result = run_script(["open", "select name nota fiscal.xml", f"answer save {target}", "click sbtConfirma",
                             "wait idle", "dump"], server=world.server)
    assert result.returncode == 0, str(result)
    [dump] = result.dumps
    shown = [p["text"] for p in dump["prompts"]] + dump["screen"]["status"]
    failure = [text for text in shown if text.startswith("Falha na transferência: ")]
    assert failure and str(target) in failure[0] and cause in failure[0], shown
    for text in shown:
        assert ".part-" not in text and not ENGLISH.search(text) and not text.endswith(".."), text

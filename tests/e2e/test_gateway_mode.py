"""HTTP mode: the application server turns it on, and the screen browses, deletes, creates
directories, downloads and uploads through the HTTP gateway, never opening an FTP session."""

import os
import time

import pytest

from appserver_fixture import AppServer, Gateway, make_test_certificate
from world import ORG_HOME, GatewayProxy, make_store, names, run_live, settings_sql

LOGIN, PASSWORD = "gateway", "g4teway"
HOME = "/" + ORG_HOME


class GatewayWorld:
    def __init__(self, tmp_path, https=False, connect_str=None, port_text=None, https_flag=None, proxy=None):
        self.store = make_store(tmp_path / "store")
        self.tmp = tmp_path
        cert = key = None
        if https:
            cert, key = make_test_certificate(tmp_path)
        self.cert = cert
        self.gateway = Gateway(self.store, LOGIN, PASSWORD, cert=cert, key=key)
        self.https = https
        self.connect_str = connect_str
        self.port_text = port_text
        self.https_flag = (1 if https else 0) if https_flag is None else https_flag
        self.proxy_options = proxy  # GatewayProxy's options: the screen then talks to the proxy
        self.proxy = None

    def __enter__(self):
        self.gateway.__enter__()
        gateway_port = self.gateway.port
        if self.proxy_options is not None:
            self.proxy = GatewayProxy(self.gateway, **self.proxy_options).__enter__()
            gateway_port = self.proxy.port
        port = self.port_text if self.port_text is not None else str(gateway_port)
        connect = self.connect_str or "Address=127.0.0.1&Login=%s&Password=%s&Path=nfe&FileDir=/" % (
            LOGIN, PASSWORD)
        row = "'S','127.0.0.1','%s',0,'','','',%d" % (port, self.https_flag)
        # No FTP server runs anywhere: the FTP address points at nothing.
        sql = settings_sql("127.0.0.1", connect_str=connect) + "INSERT INTO http_param VALUES (%s);" % row
        self.app = AppServer(db_sql=sql).__enter__()
        return self

    def __exit__(self, *exc):
        self.app.__exit__(*exc)
        if self.proxy:
            self.proxy.__exit__(*exc)
        self.gateway.__exit__(*exc)

    @property
    def server(self):
        return (self.app.host, self.app.port)

    def args(self):
        return ("--trust-cert", self.cert) if self.cert else ()


def errors(dump):
    return [p["text"] for p in dump["prompts"] if p["kind"] == "error"]


def run(run_script, world, lines):
    result = run_script(lines, server=world.server, args=world.args())
    assert result.returncode == 0, str(result)
    return result.dumps


def test_browse_through_the_gateway_with_the_lamp_red(run_script, tmp_path):
    with GatewayWorld(tmp_path) as world:
        opened, inside, up, home = run(run_script, world, [
            "open", "dump", "select name 202401", "dblclick", "dump", "click btnNivelAcima", "dump",
            "key Ctrl+H", "dump"])
    assert errors(opened) == []
    assert opened["globals"]["boHttp"] is True
    assert opened["screen"]["path"] == HOME and "nota fiscal.xml" in names(opened)
    assert opened["screen"]["lamp"] == 0
    assert inside["screen"]["path"] == HOME + "/202401" and inside["screen"]["enabled"]["btnNivelAcima"] is True
    assert up["screen"]["path"] == HOME and up["screen"]["enabled"]["btnNivelAcima"] is False
    assert home["screen"]["path"] == HOME


def test_delete_and_new_directory_through_the_gateway(run_script, tmp_path):
    with GatewayWorld(tmp_path) as world:
        deleted, created, refused = run(run_script, world, [
            "open", "select name vazio.txt", "answer confirm yes", "click btnExcluir", "dump",
            "answer input Novas Notas", "click btnNovoDir", "dump",
            "answer input nota fiscal.xml", "click btnNovoDir", "dump"])
        assert not (world.store / ORG_HOME / "vazio.txt").exists()
        assert (world.store / ORG_HOME / "Novas Notas").is_dir()
    assert "vazio.txt" not in names(deleted)
    assert "Novas Notas" in names(created)
    assert errors(refused) == ["Operação bloqueada. Já existe um diretório com este nome."]


def test_download_and_upload_through_the_gateway(run_script, tmp_path):
    data = os.urandom(5 * 1024 * 1024 + 3)
    local = tmp_path / "local"
    local.mkdir()
    sources = []
    for i in (1, 2, 3):
        path = local / f"envio+{i}.xml"
        path.write_bytes(os.urandom(1000 * i))
        sources.append(path)
    target = tmp_path / "baixada.xml"
    with GatewayWorld(tmp_path) as world:
        (world.store / ORG_HOME / "grande.xml").write_bytes(data)
        downloaded, uploaded = run(run_script, world, [
            "open", "select name grande.xml", f"answer save {target}", "click sbtConfirma", "wait idle", "dump",
            "answer open " + ";".join(str(p) for p in sources), "click btnUpload", "wait idle", "dump"])
        for path in sources:
            assert (world.store / ORG_HOME / path.name).read_bytes() == path.read_bytes()
    assert target.read_bytes() == data
    assert downloaded["screen"]["status"][1].startswith("Transferência Completa (%d Bytes" % len(data))
    assert {p.name for p in sources} <= set(names(uploaded))
    assert uploaded["screen"]["lamp"] == 0 and uploaded["screen"]["enabled"]["btnHome"] is True


def test_abort_through_the_gateway_stops_at_once(run_script, tmp_path):
    # A large download straight from the gateway and an upload over a slow line: Abort after the first
    # progress leaves the screen idle within a second, with nothing left behind on either side.
    target = tmp_path / "baixada.bin"
    with GatewayWorld(tmp_path / "direto") as world:
        with open(world.store / ORG_HOME / "enorme.bin", "wb") as f:
            f.truncate(2 * 1024 * 1024 * 1024)
        [downloaded] = run(run_script, world, [
            "open", "select name enorme.bin", f"answer save {target}", "click sbtConfirma", "wait progress",
            "click btnAbortar", "wait idle 1000", "dump"])
    big = tmp_path / "pesado.bin"
    with open(big, "wb") as f:
        f.truncate(64 * 1024 * 1024)
    with GatewayWorld(tmp_path / "lento", proxy={"pace": 0.05}) as world:
        [uploaded] = run(run_script, world, [
            "open", f"answer open {big}", "click btnUpload", "wait progress", "click btnAbortar", "wait idle 1000",
            "dump"])
        home = world.store / ORG_HOME

        def settled():
            # The proxy and the gateway notice the closed connection in their own time.
            left = [n for n in os.listdir(home) if "pesado" in n or n.startswith(".vop-upload")]
            return not left and any(entry[0] == "POST" for entry in world.proxy.log)

        deadline = time.monotonic() + 10
        while not settled() and time.monotonic() < deadline:
            time.sleep(0.05)
        assert settled(), (os.listdir(home), world.proxy.log)
        posts = [entry for entry in world.proxy.log if entry[0] == "POST"]
    for dump in (downloaded, uploaded):
        assert dump["screen"]["status"][1] == "Transferência Cancelada."
        assert dump["screen"]["enabled"]["btnAbortar"] is False
    assert not target.exists()
    assert [p.name for p in tmp_path.iterdir() if ".part-" in p.name] == []
    # The upload was abandoned part of the way: nothing was stored, so nothing had to be removed.
    [(_, endpoint, query, sent, status)] = posts
    assert (endpoint, query["name"], status) == ("file", "pesado.bin", None) and sent < big.stat().st_size


def test_failed_gateway_upload_keeps_the_servers_copy(run_script, tmp_path):
    # The gateway refuses the upload (507): the older copy on the server stays as it was.
    local = tmp_path / "antiga.xml"
    local.write_bytes(b"nova" * 1000)

    def refuse(method, endpoint):
        return (507, "Disk full") if (method, endpoint) == ("POST", "file") else None

    with GatewayWorld(tmp_path, proxy={"refuse": refuse}) as world:
        kept = world.store / ORG_HOME / "antiga.xml"
        kept.write_bytes(b"versao boa")
        [after] = run(run_script, world, ["open", f"answer open {local}", "click btnUpload", "wait idle", "dump"])
        assert kept.read_bytes() == b"versao boa"
        requests = [entry[:2] for entry in world.proxy.log]
    assert after["screen"]["status"][1] == "Falha na transferência: Disk full."
    assert ("POST", "file") in requests and ("POST", "delete") not in requests
    assert "antiga.xml" in names(after) and after["screen"]["enabled"]["btnUpload"] is True


BASE_URL_CASES = {
    "https with a port": {"https": True},
    "InHttpHttps 2": {"https_flag": 2},
    "pairs in another order": {"connect_str": "Login=%s&Path=nfe&Address=127.0.0.1&Password=%s" % (LOGIN, PASSWORD)},
    "without Address": {"connect_str": "Login=%s&Path=nfe&Password=%s" % (LOGIN, PASSWORD)},
}


@pytest.mark.parametrize("case", list(BASE_URL_CASES))
def test_transfers_follow_the_base_url_rule(run_script, tmp_path, case):
    data = os.urandom(300000)
    source = tmp_path / "enviada.xml"
    source.write_bytes(os.urandom(5000))
    target = tmp_path / "baixada.xml"
    with GatewayWorld(tmp_path, **BASE_URL_CASES[case]) as world:
        (world.store / ORG_HOME / "g.xml").write_bytes(data)
        if case == "without Address":
            # The base URL is the scheme and the port part alone: a URL with no host, refused.
            [after] = run(run_script, world, ["open", f"answer open {source}", "key Ctrl+U", "wait idle", "dump"])
            prefix = "Falha na transferência: endereço sem o nome do servidor: http://:%d/nfe/file?" % world.gateway.port
            assert after["screen"]["status"][1].startswith(prefix), after["screen"]["status"]
            assert not (world.store / ORG_HOME / "enviada.xml").exists()
            return
        downloaded, uploaded = run(run_script, world, [
            "open", "select name g.xml", f"answer save {target}", "click sbtConfirma", "wait idle", "dump",
            f"answer open {source}", "click btnUpload", "wait idle", "dump"])
        assert (world.store / ORG_HOME / "enviada.xml").read_bytes() == source.read_bytes()
    assert target.read_bytes() == data
    assert downloaded["screen"]["status"][1].startswith("Transferência Completa (300000 Bytes")
    assert uploaded["screen"]["status"][1].startswith("Transferência Completa (5000 Bytes")
    assert errors(uploaded) == []


def test_gateway_download_is_busy_cancels_whole_and_reports_a_missing_file(tmp_path):
    kept = tmp_path / "minha.bin"
    kept.write_bytes(b"a do usuario")
    missing_target = tmp_path / "sumiu.xml"
    with GatewayWorld(tmp_path) as world:
        with open(world.store / ORG_HOME / "grande.bin", "wb") as f:
            f.truncate(400 * 1024 * 1024)

        def gone():
            (world.store / ORG_HOME / "nota fiscal.xml").unlink()

        result = run_live(tmp_path, [
            "open", "select name grande.bin", f"answer save {kept}", "click sbtConfirma", "wait progress", "dump",
            "key Ctrl+D", "click btnAbortar", "wait idle", "dump",
            "select name nota fiscal.xml", "dump", "wait 300",
            f"answer save {missing_target}", "click sbtConfirma", "wait idle", "dump",
        ], world.server, between={2: gone})
    assert result.returncode == 0, str(result)
    busy, cancelled, _, failed = result.dumps
    enabled = busy["screen"]["enabled"]
    assert (enabled["sbtConfirma"], enabled["btnExcluir"], enabled["btnAbortar"]) == (False, False, True)
    assert errors(cancelled) == [
        "Já existe um download ou upload em andamento. Aguarde o término ou aborte a transferência."]
    assert cancelled["screen"]["status"][1] == "Transferência Cancelada."
    assert kept.read_bytes() == b"a do usuario"
    assert failed["screen"]["status"][1] == "Falha na transferência: Não encontrado: %s/nota fiscal.xml." % HOME
    assert not missing_target.exists()
    assert sorted(p.name for p in tmp_path.iterdir() if ".part-" in p.name) == []


def test_refresh_and_directory_delete_through_the_gateway(tmp_path):
    with GatewayWorld(tmp_path) as world:
        (world.store / ORG_HOME / "cheia").mkdir()
        (world.store / ORG_HOME / "cheia" / "a.xml").write_bytes(b"a")

        def arrived():
            (world.store / ORG_HOME / "chegou.xml").write_bytes(b"c")

        result = run_live(tmp_path, [
            "open", "dump", "wait 300",
            "select name cheia", "answer confirm yes", "click btnExcluir", "dump",
            "click btnAtualizar", "dump",
            "select name 202401", "answer confirm yes", "click btnExcluir", "dump",
        ], world.server, between={0: arrived})
        assert result.returncode == 0, str(result)
        assert (world.store / ORG_HOME / "cheia" / "a.xml").exists()
        assert not (world.store / ORG_HOME / "202401").exists()
    opened, refused, refreshed, deleted = result.dumps
    assert errors(refused) == ["Diretório não vazio: cheia"]
    assert names(refused) == names(opened) and "chegou.xml" not in names(refused)  # not reloaded
    assert "chegou.xml" in names(refreshed)
    assert "202401" not in names(deleted) and "cheia" in names(deleted)
    assert deleted["screen"]["lamp"] == 0


def test_https_gateway_with_a_port(run_script, tmp_path):
    with GatewayWorld(tmp_path, https=True) as world:
        [opened] = run(run_script, world, ["open", "dump"])
    assert errors(opened) == []
    assert opened["screen"]["path"] == HOME and opened["globals"]["InHttpHttps"] == 1


def test_connection_text_pairs_in_another_order(run_script, tmp_path):
    connect = "Login=%s&Path=nfe&Address=127.0.0.1&Password=%s" % (LOGIN, PASSWORD)
    with GatewayWorld(tmp_path, connect_str=connect) as world:
        [opened] = run(run_script, world, ["open", "dump"])
    assert errors(opened) == [] and opened["screen"]["path"] == HOME


def test_connection_text_without_an_address_fails_clearly(run_script, tmp_path):
    with GatewayWorld(tmp_path, connect_str="Login=%s&Password=%s" % (LOGIN, PASSWORD)) as world:
        [opened] = run(run_script, world, ["open", "dump"])
    [message] = errors(opened)
    assert message  # a clear error instead of a hang
    assert opened["screen"]["enabled"]["btnHome"] is False

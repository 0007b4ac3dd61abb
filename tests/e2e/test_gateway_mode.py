"""HTTP mode: the application server turns it on, and the screen browses, deletes, creates
directories, downloads and uploads through the HTTP gateway, never opening an FTP session."""

import os

from appserver_fixture import AppServer, Gateway, make_test_certificate
from world import ORG_HOME, make_store, names, settings_sql

LOGIN, PASSWORD = "gateway", "g4teway"
HOME = "/" + ORG_HOME


class GatewayWorld:
    def __init__(self, tmp_path, https=False, connect_str=None, port_text=None):
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

    def __enter__(self):
        self.gateway.__enter__()
        port = self.port_text if self.port_text is not None else str(self.gateway.port)
        connect = self.connect_str or "Address=127.0.0.1&Login=%s&Password=%s&Path=nfe&FileDir=/" % (
            LOGIN, PASSWORD)
        row = "'S','127.0.0.1','%s',0,'','','',%d" % (port, 1 if self.https else 0)
        # No FTP server runs anywhere: the FTP address points at nothing.
        sql = settings_sql("127.0.0.1", connect_str=connect) + "INSERT INTO http_param VALUES (%s);" % row
        self.app = AppServer(db_sql=sql).__enter__()
        return self

    def __exit__(self, *exc):
        self.app.__exit__(*exc)
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


def test_cancelled_gateway_upload_runs_to_its_end_and_is_removed(run_script, tmp_path):
    big = tmp_path / "pesado.bin"
    with open(big, "wb") as f:
        f.truncate(400 * 1024 * 1024)
    with GatewayWorld(tmp_path) as world:
        [after] = run(run_script, world, [
            "open", f"answer open {big}", "click btnUpload", "wait progress", "click btnAbortar", "wait idle",
            "dump"])
        left = [n for n in os.listdir(world.store / ORG_HOME) if "pesado" in n or n.startswith(".vop-upload")]
    assert after["screen"]["status"][1] == "Transferência Cancelada."
    assert left == []


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

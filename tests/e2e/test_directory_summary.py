"""Resumo do diretório: Ctrl+R reads every XML file shown, over a connection of its own (FTP or the
gateway) in the background, and sums the month up: situations, signatures, missing numbers,
duplicates; the CSV export; the cache; a file that vanishes and a connection that is lost."""

import pathlib
import random
import sys
import time

import pytest

from test_gateway_mode import GatewayWorld
from world import ORG_HOME, World, prompts_of, run_live

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "scripts"))
import make_demo_store  # noqa: E402
import nfe_signing  # noqa: E402

CNPJ = "12345678000195"
MONTH = ORG_HOME + "/202403"
FIRST = 100


def month_files():
    root = nfe_signing.make_authority("Raiz de Teste")
    signer = nfe_signing.make_holder(root, "COMERCIO TESTE LTDA", CNPJ)
    files = make_demo_store.audit_month_files(signer, CNPJ, "Comércio Teste", 35, 2024, 3, FIRST, random.Random(5))
    return root, files


def fill(store, files):
    folder = store / MONTH
    folder.mkdir(parents=True, exist_ok=True)
    for name, text in files.items():
        (folder / name).write_text(text, encoding="utf-8")
    # Listed beyond the 5 MB limit: never read.
    (folder / "grande.xml").write_bytes(b"<a>" + b" " * (6 * 1024 * 1024) + b"</a>")
    return folder


def value_of(text):
    start = text.index("<vNF>") + 5
    return text[start:text.index("</vNF>")]


def world_for(mode, tmp_path, **ftp_options):
    if mode == "ftp":
        return World(tmp_path, files={ORG_HOME + "/.keep": b""}, ftp_options={"log": tmp_path / "ftp.log", **ftp_options})
    return GatewayWorld(tmp_path)


def retrs(tmp_path):
    return [line.split(" ", 2)[2] for line in (tmp_path / "ftp.log").read_text(encoding="utf-8").splitlines()
            if line.split(" ")[1] == "RETR"]


@pytest.mark.parametrize("mode", ["ftp", "gateway"])
def test_the_month_summed_up_exported_and_read_again_from_the_cache(tmp_path, mode):
    _, files = month_files()
    csv = tmp_path / "resumo.csv"
    with world_for(mode, tmp_path) as world:
        folder = fill(world.store, files)
        lines = ["open", "select name 202403", "dblclick", "dump",
                 "wait 300", "key Ctrl+R", "key Down", "dump", "wait idle", "dump",
                 f"answer save {csv}", "click btnExportarResumo",
                 f"answer save {tmp_path}/não existe/resumo.csv", "click btnExportarResumo",
                 "key Ctrl+R", "wait idle", "dump"]
        result = run_live(tmp_path, lines, world.server, between={0: lambda: (folder / "truncado.xml").unlink()})
    assert result.returncode == 0, str(result)
    listed, meanwhile, done, again = result.dumps
    assert listed["resumo"] is None
    # While it reads, the screen answers: the key moved the current row.
    assert meanwhile["screen"]["current"] == 1 and meanwhile["screen"]["path"] == "/" + MONTH

    summary = done["resumo"]
    key = lambda number: make_demo_store.nfe_key(35, "2403", CNPJ, 1, number, number * 7919 % 10 ** 8)  # noqa: E731
    authorised = [files[key(n) + "-nfe.xml"] for n in (FIRST, FIRST + 6, FIRST + 9, FIRST + 10, FIRST + 11)]
    cents = sum(round(float(value_of(text)) * 100) for text in authorised)
    expected_value = "R$ %s,%02d" % ("{:,}".format(cents // 100).replace(",", "."), cents % 100)
    assert {k: summary[k] for k in ("lendo", "arquivos", "a_ler", "notas", "autorizadas", "canceladas", "denegadas",
                                    "sem_protocolo", "assinaturas_invalidas", "ilegiveis")} == {
        "lendo": False, "arquivos": 15, "a_ler": 15, "notas": 9, "autorizadas": 5, "canceladas": 1, "denegadas": 1,
        "sem_protocolo": 1, "assinaturas_invalidas": 1, "ilegiveis": 2}
    assert summary["valor_autorizado"].replace("\xa0", " ") == expected_value
    assert summary["faltantes"] == [{"emitente": "12.345.678/0001-95", "modelo": "55", "serie": "1",
                                     "de": FIRST + 3, "ate": FIRST + 4}]
    assert summary["duplicadas"] == [key(FIRST + 6)]
    assert summary["eventos_sem_nota"] == [{"arquivo": key(FIRST - 1) + "-cce.xml", "tipo": "Carta de correção",
                                            "chave": key(FIRST - 1)}]
    unreadable = {item["arquivo"]: item["motivo"] for item in summary["arquivos_ilegiveis"]}
    assert set(unreadable) == {"grande.xml", "truncado.xml"} and "5 MB" in unreadable["grande.xml"]
    assert unreadable["truncado.xml"].startswith("Não foi possível ler o arquivo")
    assert summary["erro"] is None

    data = csv.read_bytes()
    assert data.startswith(b"\xef\xbb\xbfChave de acesso;Modelo;S\xc3\xa9rie;N\xc3\xbamero;Emiss\xc3\xa3o;")
    text = data.decode("utf-8-sig")
    rows = [line.split(";") for line in text.split("\r\n")]
    first = next(row for row in rows if row[3] == str(FIRST))
    assert first[4] == "01/03/2024" and first[9] == value_of(files[key(FIRST) + "-nfe.xml"]).replace(".", ",")
    assert first[10] == "Autorizada" and first[11] == "Válida"
    assert ["Valor autorizado", "%d,%02d" % (cents // 100, cents % 100)] in rows
    assert ["12.345.678/0001-95", "55", "1", str(FIRST + 3), str(FIRST + 4)] in rows
    assert prompts_of(again, "save")[-1]["answer"].endswith("resumo.csv")
    failed = prompts_of(again, "error")
    assert len(failed) == 1 and "O resumo não foi exportado" in failed[0]["text"]

    # Read again: only the file that failed goes to the server once more.
    assert again["resumo"]["notas"] == 9 and again["resumo"]["arquivos"] == 15
    if mode == "ftp":
        read = retrs(tmp_path)
        assert len(read) == 15 and read[-1] == "truncado.xml" and "grande.xml" not in read


def test_a_lost_connection_is_reported_and_the_files_read_are_kept(tmp_path):
    _, files = month_files()
    invoice = next(text for name, text in files.items() if name.endswith("-nfe.xml"))
    many = {"%04d-nfe.xml" % n: invoice for n in range(400)}
    with world_for("ftp", tmp_path) as world:
        fill(world.store, many)

        def stop_after_some_reads():
            deadline = time.monotonic() + 30
            while len(retrs(tmp_path)) < 20 and time.monotonic() < deadline:
                time.sleep(0.005)
            world.stop_ftp()

        lines = ["open", "select name 202403", "dblclick", "key Ctrl+R", "dump", "wait idle", "dump", "key Ctrl+H",
                 "dump"]
        result = run_live(tmp_path, lines, world.server, between={0: stop_after_some_reads})
    assert result.returncode == 0, str(result)
    reading, stopped, home = result.dumps
    assert reading["resumo"]["lendo"] is True
    summary = stopped["resumo"]
    assert summary["lendo"] is False and summary["erro"].startswith("A conexão com o servidor foi perdida"), summary
    assert 20 <= summary["arquivos"] < 401 and summary["a_ler"] == 401
    assert home["resumo"]["arquivos"] == summary["arquivos"]

"""Detalhes da NF-e: Ctrl+I reads the current file into memory through the screen's own connection (FTP
or the gateway) and the window follows the current row; broken, huge and vanished files give a
Portuguese message and leave the screen usable."""

import pathlib
import sys

import pytest

from test_gateway_mode import GatewayWorld
from world import ORG_HOME, World, prompts_of, run_live

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "scripts"))
import make_demo_store  # noqa: E402

EXAMPLES = make_demo_store.example_files()
AUTHORISED = next(name for name in EXAMPLES if name.endswith("-nfe.xml"))
KEY = AUTHORISED[:44]
CANCELLATION = KEY + "-canc.xml"
LETTER = next(name for name in EXAMPLES if name.endswith("-cce.xml"))
TRUNCATED = next(name for name in EXAMPLES if name.startswith("truncado-"))
BIG = "grande-nfe.xml"
GONE = "sumiu.xml"
GROWN = "cresce.xml"


def grouped(key):
    return " ".join(key[i:i + 4] for i in range(0, 44, 4))


def fill(folder):
    for name in (AUTHORISED, CANCELLATION, LETTER, TRUNCATED, "não é xml.xml", GONE, GROWN):
        (folder / name).write_text(EXAMPLES.get(name, EXAMPLES[AUTHORISED]), encoding="utf-8")
    # Beyond the 5 MB limit by its listed size: never read.
    (folder / BIG).write_bytes(b"<a>" + b" " * (6 * 1024 * 1024) + b"</a>")


def written(folder):
    """Files outside the store, the driver's scripts, the FTP server's log and the program's own state
    folder (its protocol log) aside."""
    return {p for p in folder.rglob("*")
            if "store" not in p.parts and "home" not in p.relative_to(folder).parts[:1]
            and not p.name.startswith("script") and p.name != "ftp.log"}


def world_for(mode, tmp_path):
    if mode == "ftp":
        return World(tmp_path, files={ORG_HOME + "/.keep": b""}, ftp_options={"log": tmp_path / "ftp.log"})
    return GatewayWorld(tmp_path)


@pytest.mark.parametrize("mode", ["ftp", "gateway"])
def test_details_of_invoice_event_broken_big_and_vanished_files(tmp_path, mode):
    with world_for(mode, tmp_path) as world:
        home = world.store / ORG_HOME
        fill(home)
        before = written(tmp_path)
        lines = ["open", "dump",
                 f"select name {AUTHORISED}", "key Ctrl+I", "dump",
                 f"select name {CANCELLATION}", "wait 400", "dump",
                 f"select name {LETTER}", "wait 400", "dump",
                 f"select name {TRUNCATED}", "wait 400", "dump",
                 f"select name {BIG}", "wait 400", "dump",
                 "select name não é xml.xml", "wait 400", "dump",
                 f"select name {GONE}", "wait 400", "dump",
                 f"select name {GROWN}", "wait 400", "dump",
                 # A quick run of keys: the window ends on the last row only.
                 f"select name {AUTHORISED}", "key Down", "key Down", "key Up", "wait 400", "dump",
                 "key Ctrl+H", "dump"]
        # Once listed, one file vanishes and another grows past the limit.
        def change_files():
            (home / GONE).unlink()
            (home / GROWN).write_bytes(b" " * (6 * 1024 * 1024))

        result = run_live(tmp_path, lines, world.server, between={0: change_files})
        after = written(tmp_path)
    assert result.returncode == 0, str(result)
    opened, invoice, cancel, letter, truncated, big, other, gone, grown, quick, home_again = result.dumps
    assert opened["details"] is None

    shown = invoice["details"]
    assert shown["erro"] is None
    assert shown["chave"] == grouped(KEY) and shown["chave_valida"] is True and shown["chave_confere_nome"] is True
    assert shown["modelo"] == "55 (NF-e)" and shown["serie"] == "1" and shown["numero"] == "501"
    assert shown["emissao"] == "15/03/2024 10:00 (-03:00)"
    assert shown["emitente_nome"] == "Comércio de Alimentos São João"
    assert shown["emitente_doc"] == "%s.%s.%s/%s-%s" % (KEY[6:8], KEY[8:11], KEY[11:14], KEY[14:18], KEY[18:20])
    assert shown["destinatario_doc"].count(".") == 2 and shown["destinatario_nome"]
    assert shown["valor_total"].replace("\xa0", " ").startswith("R$ ")
    assert shown["situacao"] == "Autorizada"
    assert shown["protocolo"].startswith("135") and shown["protocolo"].endswith("15/03/2024 10:01 (-03:00)")
    assert shown["evento"] is None

    event = cancel["details"]["evento"]
    assert event["tipo"] == "Cancelamento" and event["sequencia"] == "1"
    assert event["chave_ref"] == grouped(KEY)
    assert event["texto"] == "Pedido cancelado pelo cliente antes da entrega"
    assert cancel["details"]["situacao"] == "Evento registrado"
    assert letter["details"]["evento"]["tipo"] == "Carta de correção"
    assert letter["details"]["evento"]["texto"].startswith("Endereço de entrega")

    assert truncated["details"]["erro"].startswith("O arquivo não é um XML válido (linha ")
    assert "até 5 MB" in big["details"]["erro"]
    assert other["details"]["erro"] == "Documento não reconhecido (elemento raiz: a)." or \
        other["details"]["erro"].startswith("O arquivo não é um XML válido")
    assert "não está mais no servidor" in gone["details"]["erro"], gone["details"]
    # The gateway's reply is cut at the limit; FTP holds the download to the listed size.
    assert grown["details"]["erro"] == {
        "gateway": "O arquivo passa de 5 MB; os detalhes são lidos apenas de arquivos de até 5 MB.",
        "ftp": "Não foi possível ler o arquivo cresce.xml: recebidos %d de %d bytes." % (
            len(EXAMPLES[AUTHORISED].encode()) + 1, len(EXAMPLES[AUTHORISED].encode()))}[mode]
    current = quick["screen"]["rows"][quick["screen"]["current"]]["DSNOME"]
    assert current == LETTER and quick["details"]["chave"] == grouped(current[:44])

    # The screen stays usable, no prompt came up, and nothing was written to disk.
    assert home_again["screen"]["path"] == "/" + ORG_HOME
    assert prompts_of(home_again, "error") == []
    assert after == before
    if mode == "ftp":
        # One read per row shown, none for the file over the limit, one for the quick run of keys.
        retrs = [line.split(" ", 2)[2] for line in (tmp_path / "ftp.log").read_text(encoding="utf-8").splitlines()
                 if line.split(" ")[1] == "RETR"]
        assert retrs[:8] == [AUTHORISED, CANCELLATION, LETTER, TRUNCATED, "não é xml.xml", GONE, GROWN, LETTER]


def test_a_connection_dropped_mid_read_says_so_and_the_screen_goes_on(tmp_path):
    files = {ORG_HOME + "/" + AUTHORISED: EXAMPLES[AUTHORISED].encode() + b" " * 300000}
    with World(tmp_path, files=files, ftp_options={"drop_after": 100000}) as world:
        result = run_live(tmp_path, ["open", f"select name {AUTHORISED}", "key Ctrl+I", "dump", "key Ctrl+A",
                                     "dump"], world.server)
    assert result.returncode == 0, str(result)
    dropped, refreshed = result.dumps
    assert dropped["details"]["erro"].startswith("Não foi possível ler o arquivo " + AUTHORISED), dropped["details"]
    assert refreshed["screen"]["path"] == "/" + ORG_HOME and AUTHORISED in {r["DSNOME"] for r in refreshed["screen"]["rows"]}

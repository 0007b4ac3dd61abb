"""The find bar over a large directory, and the download of every file shown into one folder: over
FTP and through the gateway, existing targets, a file removed meanwhile, Abort, and bad input."""

import os
import pathlib

from world import ORG_HOME, World, names, prompts_of, run_live

KEY_PREFIX = "3524011234567800019055001"


def status(dump):
    return dump["screen"]["status"][1]


def leftovers(folder):
    return [n for n in os.listdir(folder) if ".part-" in n or n.startswith(".vop-")]


def many_names_store(count):
    files = {ORG_HOME + "/%s%09d-nfe.xml" % (KEY_PREFIX, i): b"" for i in range(count)}
    files[ORG_HOME + "/Nota de Ação.xml"] = b"a"
    files[ORG_HOME + "/RELATÓRIO AÇÃO 2024.txt"] = b"b"
    files[ORG_HOME + "/lote/dentro.xml"] = b"c"
    return files


def test_find_filters_a_hundred_thousand_names_and_keeps_across_sort_and_reload(run_script, tmp_path):
    count = 100_000
    with World(tmp_path, files=many_names_store(count)) as world:
        result = run_script(["open", "key Ctrl+F", "type 000073451", "dump",
                             "key Escape", "dump",
                             "key Ctrl+F", "type acao", "dump",
                             "title DSNOME", "title DSNOME", "dump",
                             "click btnAtualizar", "dump",
                             "key Ctrl+F", "type zzz", "dump"], server=world.server, timeout=300)
    assert result.returncode == 0, str(result)
    one, everything, accents, sorted_desc, reloaded, nothing = result.dumps
    total = count + 4  # and the directories 202401 and lote
    assert names(one) == ["%s%09d-nfe.xml" % (KEY_PREFIX, 73451)]
    assert one["screen"]["filter"] == {"text": "000073451", "shown": 1, "total": total}
    assert one["screen"]["current"] == 0 and one["screen"]["enabled"]["sbtConfirma"] is True

    assert everything["screen"]["filter"] == {"text": "", "shown": total, "total": total}
    assert len(everything["screen"]["rows"]) == total

    # Case and accents are ignored; the sort acts on what is shown and the filter outlives a reload.
    assert names(accents) == ["Nota de Ação.xml", "RELATÓRIO AÇÃO 2024.txt"]
    assert names(sorted_desc) == ["RELATÓRIO AÇÃO 2024.txt", "Nota de Ação.xml"]
    assert sorted_desc["screen"]["sort"] == {"index": "idxDSNOME", "descending": True}
    assert names(reloaded) == names(sorted_desc)
    assert reloaded["screen"]["filter"] == {"text": "acao", "shown": 2, "total": total}

    # Nothing shown: Download and Delete are disabled as for an empty table.
    assert nothing["screen"]["rows"] == [] and nothing["screen"]["current"] is None
    assert nothing["screen"]["enabled"]["sbtConfirma"] is False and nothing["screen"]["enabled"]["btnExcluir"] is False


def batch_store(count, size=3000):
    files = {ORG_HOME + "/nfe%02d.xml" % i: os.urandom(size + i) for i in range(count)}
    files[ORG_HOME + "/sub/dentro.xml"] = b"in a directory"
    return files


def tree_of(folder):
    """Every file below folder by its '/'-separated path, and every directory as path + '/'."""
    found = {}
    for root, dirs, names in os.walk(folder):
        here = pathlib.Path(root).relative_to(folder)
        for d in dirs:
            found[(here / d).as_posix() + "/"] = None
        for n in names:
            found[(here / n).as_posix()] = (pathlib.Path(root) / n).read_bytes()
    return found


def test_batch_download_existing_targets_and_bad_input(run_script, tmp_path):
    files = batch_store(50)
    files[ORG_HOME + "/a\\b.xml"] = b"a name with a separator"
    shown = {k[len(ORG_HOME) + 1:]: v for k, v in files.items() if "\\" not in k}
    wanted = dict(shown, **{"sub/": None, "202401/": None})
    top = sorted(n for n in shown if "/" not in n)
    folders = {name: tmp_path / name for name in ("todos", "manter", "substituir", "novos", "cancelar")}
    for name, folder in folders.items():
        folder.mkdir()
        if name != "todos":
            for n in top[:5]:
                (folder / n).write_bytes(b"old")
    # Only new and changed: a copy as it is stays, one of the same size but older comes again.
    novos = folders["novos"]
    for n in top[5:8]:
        (novos / n).write_bytes(shown[n])
    (novos / top[8]).write_bytes(b"x" * len(shown[top[8]]))
    os.utime(novos / top[8], (946684800, 946684800))
    log = tmp_path / "ftp.log"
    with World(tmp_path, files=files, ftp_options={"log": log}) as world:
        result = run_script([
            "open",
            "answer folder %s" % folders["todos"], "key Ctrl+Shift+D", "wait idle", "dump",
            "answer folder %s" % folders["manter"], "answer choice 2", "key Ctrl+Shift+D", "wait idle", "dump",
            "answer folder %s" % folders["substituir"], "answer choice 1", "key Ctrl+Shift+D", "wait idle", "dump",
            "answer folder %s" % folders["novos"], "answer choice 3", "key Ctrl+Shift+D", "wait idle", "dump",
            "answer folder %s" % folders["cancelar"], "answer choice 4", "key Ctrl+Shift+D", "wait idle", "dump",
            "answer folder %s" % (tmp_path / "não existe"), "key Ctrl+Shift+D", "wait idle",
            "key Ctrl+F", "type nada assim", "key Ctrl+Shift+D", "dump",
        ], server=world.server)
    assert result.returncode == 0, str(result)
    everything, kept, replaced, fresh, cancelled, last = result.dumps

    # The directories shown are walked and rebuilt, an empty one too.
    assert tree_of(folders["todos"]) == wanted
    total_bytes = sum(len(v) for v in shown.values())
    assert status(everything).startswith("Transferência Completa (51 Arquivos, %d Bytes Recebidos em " % total_bytes)
    # The name that cannot be a local file is skipped and named; nothing lands outside the folder.
    [report] = [p["text"] for p in prompts_of(everything, "error")]
    assert report.splitlines() == ["Não foi possível baixar 1 arquivo:",
                                   "a\\b.xml: o nome contém separador de diretório"]
    assert not (tmp_path / "b.xml").exists() and not (folders["todos"] / "b.xml").exists()

    old = top[:5]
    assert [(folders["manter"] / n).read_bytes() for n in old] == [b"old"] * 5
    assert tree_of(folders["manter"]) == dict(wanted, **{n: b"old" for n in old})
    assert status(kept).startswith("Transferência Completa (46 Arquivos, ")
    assert status(kept).endswith(" 5 arquivos existentes mantidos.")
    assert tree_of(folders["substituir"]) == wanted
    assert tree_of(folders["novos"]) == wanted
    assert status(fresh).startswith("Transferência Completa (48 Arquivos, ")
    assert status(fresh).endswith(" 3 arquivos existentes mantidos.")
    assert sorted(os.listdir(folders["cancelar"])) == old
    choices = prompts_of(cancelled, "choice")
    assert [c["answer"] for c in choices] == ["Manter os existentes", "Substituir todos", "Somente novos e alterados",
                                             "Cancelar"]
    assert choices[0]["text"].startswith("5 dos 51 arquivos já existem na pasta escolhida.\n")
    for folder in folders.values():
        assert leftovers(folder) == []

    # Several connections per batch (three at most), each file fetched once.
    sessions = {}
    for line in log.read_text(encoding="utf-8").splitlines():
        port, _, command = line.partition(" ")
        sessions.setdefault(port, []).append(command)
    workers = [s for s in sessions.values() if any(c.startswith("RETR") for c in s)]
    assert 4 < len(workers) <= 3 * 4
    commands = [c for s in workers for c in s]
    assert commands.count("RETR nfe49.xml") == 4 and commands.count("RETR dentro.xml") == 4

    errors = [p["text"] for p in prompts_of(last, "error")]
    assert errors[-1] == 'A pasta "%s" não existe. Nenhum arquivo foi transferido.' % (tmp_path / "não existe")
    assert prompts_of(last, "info")[-1]["text"] == "Nenhum arquivo listado para baixar."
    assert last["screen"]["enabled"]["btnHome"] is True


def test_batch_goes_on_past_a_removed_file_aborts_at_once_and_reconnects_once(tmp_path):
    # The fixture's throttle holds each file for about a second; one connection takes them in turn.
    files = batch_store(5, size=1_000_000)
    removed = "nfe03.xml"
    first, second, third = tmp_path / "primeiro", tmp_path / "segundo", tmp_path / "terceiro"
    for folder in (first, second, third):
        folder.mkdir()
    with World(tmp_path, files=files, ftp_options={"throttle": 400_000}) as world:
        result = run_live(tmp_path, [
            "open", "key Ctrl+F", "type nfe",
            "answer folder %s" % first, "key Ctrl+Shift+D", "wait status (1 de 5 arquivos", "dump",
            "wait idle", "dump",
            "answer folder %s" % second, "key Ctrl+Shift+D", "wait status (1 de 4 arquivos", "dump",
            "click btnAbortar", "wait idle", "dump",
            "answer folder %s" % third, "key Ctrl+Shift+D", "wait status (1 de 4 arquivos", "dump",
            "wait idle", "dump",
        ], world.server, between={0: lambda: (world.store / ORG_HOME / removed).unlink(),
                                  4: world.restart_ftp}, timeout=120, extra_env={"VOP31600_CONEXOES": "1"})
    assert result.returncode == 0, str(result)
    _, done, during, aborted, _, reconnected = result.dumps
    got = sorted(os.listdir(first))
    assert removed not in got and len(got) == 4
    assert status(done).startswith("Transferência Completa (4 Arquivos, ")
    [report] = [p["text"] for p in prompts_of(done, "error")]
    assert report.startswith("Não foi possível baixar 1 arquivo:\nnfe03.xml: não encontrado ")

    assert during["screen"]["enabled"]["btnAbortar"] is True and during["screen"]["enabled"]["sbtConfirma"] is False
    completed = sorted(os.listdir(second))
    assert status(aborted) == "Transferência Cancelada. %d %s." % (
        len(completed), "arquivo concluído" if len(completed) == 1 else "arquivos concluídos")
    assert 1 <= len(completed) < 4 and leftovers(second) == []
    for n in completed:
        assert (second / n).read_bytes() == files[ORG_HOME + "/" + n]

    # The server went away in the middle of a file: one new connection, and every file arrives.
    assert {n: (third / n).read_bytes() for n in os.listdir(third)} == {
        n: files[ORG_HOME + "/" + n] for n in got}
    assert status(reconnected).startswith("Transferência Completa (4 Arquivos, ")


def test_batch_through_the_gateway(run_script, tmp_path):
    from test_gateway_mode import GatewayWorld

    target, blocked = tmp_path / "lote", tmp_path / "bloqueado"
    target.mkdir()
    # A folder where one file should go: that file cannot be put in place, the connection is fine.
    (blocked / "gw03.xml").mkdir(parents=True)
    with GatewayWorld(tmp_path) as world:
        home = world.store / ORG_HOME
        sent = {"gw%02d.xml" % i: os.urandom(5000 + i) for i in range(12)}
        for name, data in sent.items():
            (home / name).write_bytes(data)
        result = run_script(["open", "key Ctrl+F", "type gw", "answer folder %s" % target, "key Ctrl+Shift+D",
                             "wait idle", "dump",
                             "answer folder %s" % blocked, "answer choice 1", "key Ctrl+Shift+D",
                             "wait idle", "dump"], server=world.server, args=world.args())
    assert result.returncode == 0, str(result)
    dump, beside_folder = result.dumps
    assert {n: (target / n).read_bytes() for n in os.listdir(target)} == sent
    assert status(dump).startswith("Transferência Completa (12 Arquivos, %d Bytes " % sum(map(len, sent.values())))
    assert dump["screen"]["filter"]["shown"] == 12

    # Only that file fails, with its cause; the rest of the batch goes on over the same connection.
    others = {n: v for n, v in sent.items() if n != "gw03.xml"}
    assert {n: (blocked / n).read_bytes() for n in os.listdir(blocked) if n != "gw03.xml"} == others
    assert (blocked / "gw03.xml").is_dir() and leftovers(blocked) == []
    assert status(beside_folder).startswith("Transferência Completa (11 Arquivos, %d Bytes "
                                            % sum(map(len, others.values())))
    [report] = [p["text"] for p in prompts_of(beside_folder, "error")]
    assert report.splitlines() == ["Não foi possível baixar 1 arquivo:",
                                   'gw03.xml: Não foi possível gravar o arquivo "%s": é uma pasta'
                                   % (blocked / "gw03.xml")]

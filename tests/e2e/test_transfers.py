"""Downloads and uploads on the worker thread, against the real FTP server: byte-exact results,
progress texts, abort, failures, and never losing a file."""

import os
import pathlib

from world import ORG_HOME, World, names

HOME = "/" + ORG_HOME


def store_files(extra):
    files = {ORG_HOME + "/pequena.xml": b"<nfe>" + b"1" * 4000 + b"</nfe>"}
    files.update({ORG_HOME + "/" + name: data for name, data in extra.items()})
    return files


def sessions(log_path):
    """Commands received per client session, in order of first appearance."""
    by_port = {}
    for line in pathlib.Path(log_path).read_text(encoding="utf-8").splitlines():
        port, _, command = line.partition(" ")
        by_port.setdefault(port, []).append(command)
    return list(by_port.values())


def leftovers(folder):
    return [n for n in os.listdir(folder) if ".part-" in n]


def status(dump):
    return dump["screen"]["status"][1]


def errors(dump):
    return [p["text"] for p in dump["prompts"] if p["kind"] == "error"]


def test_download_is_byte_exact_and_asks_the_size_first(run_script, tmp_path):
    data = os.urandom(3 * 1024 * 1024 + 17)
    log = tmp_path / "ftp.log"
    target = tmp_path / "baixado.xml"
    target.write_bytes(b"old contents")  # replaced only by a complete download
    with World(tmp_path, files=store_files({"nota grande.xml": data}), ftp_options={"log": log}) as world:
        result = run_script(["open", "select name nota grande.xml", f"answer save {target}", "click sbtConfirma",
                             "wait idle", "dump"], server=world.server)
    assert result.returncode == 0, str(result)
    dump = result.dumps[-1]
    assert target.read_bytes() == data
    assert leftovers(tmp_path) == []
    assert status(dump).startswith("Transferência Completa (%d Bytes Recebidos em " % len(data))
    assert dump["screen"]["progress"]["position"] == 0 and dump["globals"]["VelocidadeMedia"] == 0
    save = [p for p in dump["prompts"] if p["kind"] == "save"]
    assert save[0]["text"] == "nota grande.xml"  # the bare remote name is offered
    screen_session, worker_session = sessions(log)
    assert [c for c in worker_session if c.split()[0] in ("TYPE", "SIZE", "RETR")] == [
        "TYPE I", "SIZE nota grande.xml", "RETR nota grande.xml"]
    # Busy at the start and ready at the end: two reloads besides the one at opening.
    assert screen_session.count("LIST") == 3
    assert dump["screen"]["enabled"]["btnHome"] is True and dump["screen"]["enabled"]["btnAbortar"] is False


def test_directory_row_or_cancelled_dialog_makes_no_connection(run_script, tmp_path):
    log = tmp_path / "ftp.log"
    with World(tmp_path, files=store_files({}), ftp_options={"log": log}) as world:
        result = run_script(["open", "select name 202401", "key Ctrl+D", "wait idle",
                             "select name pequena.xml", "answer save cancel", "click sbtConfirma", "wait idle",
                             "dump"], server=world.server)
    assert result.returncode == 0, str(result)
    [screen_session] = sessions(log)  # the worker never connected
    assert screen_session.count("LIST") == 1 + 1 + 1  # opening, then one reload per job
    assert result.dumps[-1]["screen"]["enabled"]["btnHome"] is True


def test_upload_of_three_files_reloads_after_each(run_script, tmp_path):
    local = tmp_path / "local"
    local.mkdir()
    sources = []
    for i, size in enumerate((1000, 250_000, 7000), start=1):
        path = local / f"envio {i}.xml"
        path.write_bytes(os.urandom(size))
        sources.append(path)
    log = tmp_path / "ftp.log"
    with World(tmp_path, files=store_files({}), ftp_options={"log": log}) as world:
        result = run_script(["open", "answer open " + ";".join(str(p) for p in sources), "click btnUpload",
                             "wait idle", "dump"], server=world.server)
        remote = world.store / ORG_HOME
        for path in sources:
            assert (remote / path.name).read_bytes() == path.read_bytes()
    assert result.returncode == 0, str(result)
    dump = result.dumps[-1]
    assert {"envio 1.xml", "envio 2.xml", "envio 3.xml"} <= set(names(dump))
    screen_session, worker_session = sessions(log)
    assert [c for c in worker_session if c.startswith("STOR")] == [
        "STOR envio 1.xml", "STOR envio 2.xml", "STOR envio 3.xml"]
    assert screen_session.count("LIST") == 1 + 5  # opening; start, after each file, end
    assert status(dump) == "Transferência Completa (7000 Bytes Recebidos em 00:00:00 Segundos)."


def test_abort_mid_download_keeps_the_old_file_and_leaves_nothing(run_script, tmp_path):
    data = os.urandom(4 * 1024 * 1024)
    target = tmp_path / "existente.xml"
    target.write_bytes(b"the user's own file")
    with World(tmp_path, files=store_files({"lenta.xml": data}), ftp_options={"throttle": 400_000}) as world:
        result = run_script(["open", "select name lenta.xml", f"answer save {target}", "click sbtConfirma",
                             "wait progress", "dump", "click btnAbortar", "wait idle", "dump"], server=world.server)
    assert result.returncode == 0, str(result)
    during, after = result.dumps
    assert during["screen"]["enabled"]["btnAbortar"] is True
    assert during["screen"]["enabled"]["sbtConfirma"] is False and during["screen"]["enabled"]["btnExcluir"] is False
    assert status(during).startswith("Velocidade Download ") and status(during).endswith(" KB/s")
    assert 0 < during["screen"]["progress"]["position"] < len(data)
    assert during["screen"]["progress"]["max"] == len(data)
    assert status(after) == "Transferência Cancelada."
    assert target.read_bytes() == b"the user's own file"
    assert leftovers(tmp_path) == []
    assert after["screen"]["enabled"]["btnAbortar"] is False and after["screen"]["progress"]["position"] == 0


def test_abort_during_the_second_of_three_uploads_removes_only_that_one(run_script, tmp_path):
    local = tmp_path / "local"
    local.mkdir()
    sizes = (20_000, 24_000_000, 20_000)
    sources = []
    for i, size in enumerate(sizes, start=1):
        path = local / f"lote {i}.xml"
        path.write_bytes(os.urandom(size))
        sources.append(path)
    with World(tmp_path, files=store_files({}), ftp_options={"throttle": 1_000_000}) as world:
        result = run_script(["open", "answer open " + ";".join(str(p) for p in sources), "click btnUpload",
                             "wait status (Arquivo 2 de 3)", "wait progress", "dump", "click btnAbortar", "wait idle",
                             "dump"], server=world.server)
        remote = world.store / ORG_HOME
        present = sorted(p.name for p in remote.iterdir())
        first = (remote / "lote 1.xml").read_bytes() if (remote / "lote 1.xml").exists() else None
    assert result.returncode == 0, str(result)
    during, after = result.dumps
    assert "(Arquivo 2 de 3)" in status(during)
    assert first == sources[0].read_bytes()
    assert "lote 2.xml" not in present and "lote 3.xml" not in present
    assert status(after) == "Transferência Cancelada."


def test_a_dropped_data_connection_is_reported_as_a_failure(run_script, tmp_path):
    data = os.urandom(2 * 1024 * 1024)
    target = tmp_path / "destino.xml"
    target.write_bytes(b"keep me")
    with World(tmp_path, files=store_files({"quebra.xml": data}), ftp_options={"drop_after": 300_000}) as world:
        result = run_script(["open", "select name quebra.xml", f"answer save {target}", "click sbtConfirma",
                             "wait idle", "dump"], server=world.server)
    assert result.returncode == 0, str(result)
    dump = result.dumps[-1]
    assert status(dump).startswith("Falha na transferência: ")
    assert "Completa" not in status(dump)
    assert target.read_bytes() == b"keep me"
    assert leftovers(tmp_path) == []
    assert dump["screen"]["enabled"]["btnHome"] is True


def test_a_transfer_whose_connection_dies_goes_on_from_where_it_stopped(run_script, tmp_path):
    # Every download's data connection dies after 300,000 bytes: the file still arrives whole, resumed
    # with REST twice; the upload over the same server too, appended to twice (SIZE, then APPE).
    data = os.urandom(700_000)
    target = tmp_path / "retomada.xml"
    source = tmp_path / "enviada.xml"
    source.write_bytes(data[::-1])
    log = tmp_path / "ftp.log"
    with World(tmp_path, files=store_files({"quebra.xml": data}),
               ftp_options={"drop_after": 300_000, "log": log}) as world:
        result = run_script(["open", "select name quebra.xml", f"answer save {target}", "click sbtConfirma",
                             "wait idle", "dump", f"answer open {source}", "click btnUpload", "wait idle", "dump"],
                            server=world.server)
        sent = (world.store / ORG_HOME / "enviada.xml").read_bytes()
    assert result.returncode == 0, str(result)
    downloaded, uploaded = result.dumps
    assert status(downloaded).startswith("Transferência Completa"), status(downloaded)
    assert target.read_bytes() == data and leftovers(tmp_path) == []
    assert status(uploaded).startswith("Transferência Completa"), status(uploaded)
    assert sent == data[::-1]
    commands = [c for session in sessions(log) for c in session]
    assert len([c for c in commands if c.startswith("REST ")]) == 2, commands
    assert len([c for c in commands if c.startswith("APPE ")]) == 2, commands
    journal = (tmp_path / "home" / "state" / "vop31600" / "protocolo.log").read_text(encoding="utf-8")
    assert "Retomando" in journal


def test_a_file_larger_than_the_disk_is_refused_before_its_data_and_keeps_the_old_one(run_script, tmp_path):
    target = tmp_path / "destino.xml"
    target.write_bytes(b"keep me")
    log = tmp_path / "ftp.log"
    with World(tmp_path, files=store_files({"enorme.xml": b""}), ftp_options={"log": log}) as world:
        os.truncate(world.store / ORG_HOME / "enorme.xml", 8 << 40)  # sparse on the server's side
        result = run_script(["open", "select name enorme.xml", f"answer save {target}", "click sbtConfirma",
                             "wait idle", "dump"], server=world.server)
    assert result.returncode == 0, str(result)
    dump = result.dumps[-1]
    assert status(dump).startswith('Falha na transferência: Falha ao gravar o arquivo local "%s": ' % target), status(dump)
    assert target.read_bytes() == b"keep me"
    assert leftovers(tmp_path) == []
    assert not any(c.startswith("RETR") for c in sessions(log)[1])


def test_a_second_start_while_busy_is_refused(run_script, tmp_path):
    with World(tmp_path, files=store_files({"lenta.xml": os.urandom(2_000_000)}),
               ftp_options={"throttle": 500_000}) as world:
        result = run_script(["open", "select name lenta.xml", f"answer save {tmp_path / 'a.xml'}",
                             "click sbtConfirma", "wait progress", "key Ctrl+D", "key Ctrl+U", "dump", "wait idle",
                             "dump"], server=world.server)
    assert result.returncode == 0, str(result)
    during, after = result.dumps
    refused = [e for e in errors(during) if e.startswith("Já existe um download ou upload em andamento")]
    assert len(refused) == 2
    assert [p["kind"] for p in during["prompts"]].count("save") == 1  # no second dialog
    assert (tmp_path / "a.xml").stat().st_size == 2_000_000


def test_delete_by_its_shortcut_is_refused_while_busy(run_script, tmp_path):
    # Delete is disabled while busy, but Ctrl+E still fires: refused before the question, nothing sent.
    log = tmp_path / "ftp.log"
    with World(tmp_path, files=store_files({"lenta.xml": os.urandom(2_000_000)}),
               ftp_options={"throttle": 500_000, "log": log}) as world:
        result = run_script(["open", "select name lenta.xml", f"answer save {tmp_path / 'a.xml'}",
                             "click sbtConfirma", "wait progress", "select name pequena.xml", "key Ctrl+E", "dump",
                             "wait idle", "dump"], server=world.server)
        kept = (world.store / ORG_HOME / "pequena.xml").exists()
    assert result.returncode == 0, str(result)
    during, after = result.dumps
    assert during["screen"]["enabled"]["btnExcluir"] is False
    assert errors(during) == [
        "Já existe um download ou upload em andamento. Aguarde o término ou aborte a transferência."]
    assert [p for p in after["prompts"] if p["kind"] == "confirm"] == []
    assert kept and "pequena.xml" in names(after)
    assert not any(c.startswith(("DELE", "RMD")) for session in sessions(log) for c in session)
    assert (tmp_path / "a.xml").stat().st_size == 2_000_000


def test_closing_while_busy_asks_and_yes_stops_the_worker(run_script, tmp_path):
    target = tmp_path / "fechar.xml"
    target.write_bytes(b"previous")
    with World(tmp_path, files=store_files({"lenta.xml": os.urandom(4_000_000)}),
               ftp_options={"throttle": 400_000}) as world:
        result = run_script(["open", "select name lenta.xml", f"answer save {target}", "click sbtConfirma",
                             "wait progress", "answer confirm no", "close", "dump", "answer confirm yes", "close",
                             "wait idle", "dump"], server=world.server)
    assert result.returncode == 0, str(result)
    kept, closed = result.dumps
    assert kept["screen"] is not None and kept["screen"]["enabled"]["btnAbortar"] is True
    confirms = [p for p in closed["prompts"] if p["kind"] == "confirm"]
    assert [c["text"] for c in confirms] == [
        "Existe um download ou upload em andamento. Deseja cancelar a operação?"] * 2
    assert closed["screen"] is None and closed["globals"]["boStCriado"] is False
    assert target.read_bytes() == b"previous"
    assert leftovers(tmp_path) == []


def test_a_file_that_shrank_on_the_server_before_the_resume_comes_again_from_its_start(run_script, tmp_path):
    # The data connection dies after 300,000 bytes and the file is cut to 100,000 meanwhile: the
    # resume sees another size and fetches the new version whole, never spliced onto the old bytes.
    data = os.urandom(700_000)
    target = tmp_path / "encolhida.xml"
    log = tmp_path / "ftp.log"
    with World(tmp_path, files=store_files({"quebra.xml": data}),
               ftp_options={"drop_after": 300_000, "shrink_on_drop": 100_000, "log": log}) as world:
        result = run_script(["open", "select name quebra.xml", f"answer save {target}", "click sbtConfirma",
                             "wait idle", "dump"], server=world.server)
    assert result.returncode == 0, str(result)
    assert status(result.dumps[0]).startswith("Transferência Completa"), status(result.dumps[0])
    assert target.read_bytes() == data[:100_000] and leftovers(tmp_path) == []
    commands = [c for session in sessions(log) for c in session]
    assert [c for c in commands if c.startswith("REST ")] == [], commands

"""Delete and New directory on the remote tree: the protected system directories, the confirmation,
names already listed, the server's refusals, and what is reloaded afterwards."""

import pathlib

from world import ORG_HOME, World, errors, names, prompts_of, run_live

HOME = "/" + ORG_HOME
BLOCKED_DELETE = "Operação bloqueada. Diretório necessário para o funcionamento dos sistemas Morvane."
NAME_TAKEN = "Operação bloqueada. Já existe um diretório com este nome."


def home_files(**extra):
    files = {
        ORG_HOME + "/nota fiscal.xml": b"x" * 1536,
        ORG_HOME + "/vazio.txt": b"",
        ORG_HOME + "/grande.xml": b"g" * 5000,
        ORG_HOME + "/202401/a.xml": b"a" * 300,
    }
    files.update(extra)
    return files


def ok(result):
    assert result.returncode == 0, str(result)
    return result.dumps


def current_name(dump):
    screen = dump["screen"]
    return screen["rows"][screen["current"]]["DSNOME"]


def server_commands(log_path):
    """The verbs the FTP server received, in order, from its command log."""
    lines = pathlib.Path(log_path).read_text(encoding="utf-8").splitlines()
    return [line.split(" ")[1].upper() for line in lines]


# --- the protected system directories at the root --------------------------------------------------

def test_at_the_root_xmlftp_and_tmpftp_cannot_be_deleted_in_any_case(run_script, tmp_path):
    files = {"xmlftp": b"a file, not the directory", "leia-me.txt": b"root"}
    with World(tmp_path, organisation="0", files=files) as world:
        # No confirmation is queued: a confirmation asked would fail the script.
        [dump] = ok(run_script([
            "open",
            "select name XMLFTP", "click btnExcluir",
            "select name xmlftp", "key Ctrl+E",
            "select name TMPFTP", "click btnExcluir",
            "dump",
        ], server=world.server))
        on_disk = sorted(p.name for p in world.store.iterdir())
    assert dump["screen"]["path"] == "/"
    assert errors(dump) == [BLOCKED_DELETE] * 3  # each refusal shown once
    assert prompts_of(dump, "confirm") == []
    assert {"XMLFTP", "xmlftp", "TMPFTP"} <= set(names(dump))
    assert on_disk == ["EXEFTP", "RELFTP", "TMPFTP", "XMLFTP", "leia-me.txt", "xmlftp"]


def test_at_the_root_tmpftp_and_the_unlisted_exeftp_cannot_be_created(run_script, tmp_path):
    with World(tmp_path, organisation="0", files={"leia-me.txt": b"root"}) as world:
        first, second = ok(run_script([
            "open", "select name leia-me.txt",
            "answer input tmpftp", "click btnNovoDir", "dump",
            "answer input exeftp", "key Ctrl+N", "dump",
        ], server=world.server))
        on_disk = sorted(p.name for p in world.store.iterdir())
    assert errors(first) == [NAME_TAKEN]
    assert current_name(first) == "TMPFTP"  # the listed match becomes the current row
    assert errors(second) == [NAME_TAKEN] * 2
    [asked, _] = prompts_of(second, "input")
    assert (asked["caption"], asked["text"], asked["answer"]) == ("Criar Novo Diretório", "Nome", "tmpftp")
    assert on_disk == ["EXEFTP", "RELFTP", "TMPFTP", "XMLFTP", "leia-me.txt"]


def test_inside_xmlftp_a_tmpftp_entry_is_deleted_after_confirmation(run_script, tmp_path):
    files = {"XMLFTP/TMPFTP/.keep": b"", "XMLFTP/outro.xml": b"<nfe/>"}
    with World(tmp_path, organisation="0", files=files) as world:
        (world.store / "XMLFTP" / "TMPFTP" / ".keep").unlink()
        [dump] = ok(run_script([
            "open", "select name XMLFTP", "dblclick",
            "select name TMPFTP", "answer confirm yes", "click btnExcluir", "dump",
        ], server=world.server))
        gone = not (world.store / "XMLFTP" / "TMPFTP").exists()
    assert gone
    assert dump["screen"]["path"] == "/XMLFTP"
    assert "TMPFTP" not in names(dump) and "outro.xml" in names(dump)
    [confirm] = prompts_of(dump, "confirm")
    assert (confirm["text"], confirm["answer"]) == ("Confirma exclusão?", "yes")
    assert errors(dump) == []


# --- Delete ----------------------------------------------------------------------------------------

def test_delete_not_confirmed_or_on_an_empty_listing_changes_nothing(run_script, tmp_path):
    files = home_files(**{ORG_HOME + "/vazia/.keep": b""})
    with World(tmp_path, files=files) as world:
        (world.store / ORG_HOME / "vazia" / ".keep").unlink()
        declined, empty = ok(run_script([
            "open", "select name nota fiscal.xml", "answer confirm no", "click btnExcluir", "dump",
            "select name vazia", "dblclick", "key Ctrl+E", "dump",
        ], server=world.server))
        kept = (world.store / ORG_HOME / "nota fiscal.xml").exists()
    assert kept and "nota fiscal.xml" in names(declined)
    assert [p["answer"] for p in prompts_of(declined, "confirm")] == ["no"]
    assert empty["screen"]["rows"] == [] and empty["screen"]["path"] == HOME + "/vazia"
    assert len(prompts_of(empty, "confirm")) == 1  # the empty listing asked nothing
    assert errors(empty) == []


def test_delete_reloads_and_keeps_the_sort(run_script, tmp_path):
    files = home_files(**{ORG_HOME + "/vazia/.keep": b"", ORG_HOME + "/relatório março.xml": b"r" * 700})
    with World(tmp_path, files=files) as world:
        (world.store / ORG_HOME / "vazia" / ".keep").unlink()
        after_file, after_dir = ok(run_script([
            "open", "title FLTAMANHO", "title FLTAMANHO",
            "select name vazio.txt", "answer confirm yes", "key Ctrl+E",
            "select name relatório março.xml", "answer confirm yes", "click btnExcluir", "dump",
            "select name vazia", "answer confirm yes", "click btnExcluir", "dump",
        ], server=world.server))
        left = sorted(p.name for p in (world.store / ORG_HOME).iterdir())
    assert left == ["202401", "grande.xml", "nota fiscal.xml"]
    assert "vazio.txt" not in names(after_file) and "relatório março.xml" not in names(after_file)
    assert "vazia" in names(after_file)
    assert after_dir["screen"]["sort"] == {"index": "idxFLTAMANHO", "descending": True}
    assert [n for n in names(after_dir) if n.endswith(".xml")] == ["grande.xml", "nota fiscal.xml"]
    assert "vazia" not in names(after_dir) and after_dir["screen"]["path"] == HOME
    assert errors(after_dir) == []


def test_a_directory_that_is_not_empty_gets_one_rmd_and_the_refusal_without_a_reload(run_script, tmp_path):
    log = tmp_path / "ftp.log"
    with World(tmp_path, files=home_files(), ftp_options={"log": log}) as world:
        added = lambda: (world.store / ORG_HOME / "chegou.xml").write_bytes(b"<nfe/>")  # noqa: E731
        opened, refused = ok(run_live(tmp_path, [
            "open", "dump", "wait 300",
            "select name 202401", "answer confirm yes", "click btnExcluir", "dump",
        ], world.server, between={0: added}))
        still_there = (world.store / ORG_HOME / "202401" / "a.xml").exists()
    [message] = errors(refused)
    assert message.startswith("550")
    assert still_there
    assert names(refused) == names(opened) and "chegou.xml" not in names(refused)  # not reloaded
    commands = server_commands(log)
    assert commands.count("RMD") == 1 and "DELE" not in commands
    after_rmd = commands[commands.index("RMD") + 1:]
    assert set(after_rmd) <= {"QUIT"}, after_rmd


# --- New directory ---------------------------------------------------------------------------------

def test_a_listed_name_in_any_case_is_refused_and_its_row_becomes_current(run_script, tmp_path):
    files = home_files(**{ORG_HOME + "/NOTAS": b"a file", ORG_HOME + "/Lote2024/b.xml": b"b"})
    with World(tmp_path, files=files) as world:
        refused, moved_on, entered, created = ok(run_script([
            "open", "select name vazio.txt",
            "answer input Notas", "click btnNovoDir", "dump",
            # The grid follows the table again: picking the row highlighted before acts on that row.
            "select name vazio.txt", "answer confirm yes", "key Ctrl+E", "dump",
            "answer input LOTE2024", "key Ctrl+N",
            "dblclick", "dump",
            "answer input Novo", "key Ctrl+N", "dump",
        ], server=world.server))
        on_disk = sorted(p.name for p in (world.store / ORG_HOME).iterdir())
    assert names(refused) == ["202401", "Lote2024", "NOTAS", "grande.xml", "nota fiscal.xml", "vazio.txt"]
    assert errors(refused) == [NAME_TAKEN]
    assert current_name(refused) == "NOTAS"
    assert "vazio.txt" not in names(moved_on) and "NOTAS" in names(moved_on)
    assert errors(entered) == [NAME_TAKEN] * 2
    assert entered["screen"]["path"] == HOME + "/Lote2024" and names(entered) == ["b.xml"]
    assert "Novo" in names(created) and errors(created) == [NAME_TAKEN] * 2
    assert "Notas" not in on_disk and "LOTE2024" not in on_disk
    assert (world.store / ORG_HOME / "Lote2024" / "Novo").is_dir()


def test_new_directory_reloads_keeps_the_sort_and_takes_accented_names(run_script, tmp_path):
    with World(tmp_path, files=home_files()) as world:
        [dump] = ok(run_script([
            "open", "title DSNOME", "title DSNOME",
            "answer input Notas de Março", "click btnNovoDir", "dump",
        ], server=world.server))
        created = (world.store / ORG_HOME / "Notas de Março").is_dir()
    assert created
    assert dump["screen"]["sort"] == {"index": "idxDSNOME", "descending": True}
    assert names(dump) == sorted(names(dump), reverse=True)
    row = next(r for r in dump["screen"]["rows"] if r["DSNOME"] == "Notas de Março")
    assert row["BOISDIRECTORY"] is True
    assert errors(dump) == []


def test_cancel_and_names_the_wire_cannot_carry_send_nothing(run_script, tmp_path):
    log = tmp_path / "ftp.log"
    with World(tmp_path, files=home_files(), ftp_options={"log": log}) as world:
        [dump] = ok(run_script([
            "open",
            "answer input cancel", "click btnNovoDir",
            "answer input Ωmega", "click btnNovoDir",
            "answer input a/b", "click btnNovoDir",
            "dump",
        ], server=world.server))
        on_disk = sorted(p.name for p in (world.store / ORG_HOME).iterdir())
    assert len(prompts_of(dump, "input")) == 3
    messages = errors(dump)
    assert len(messages) == 2 and all(m and not m.startswith("5") for m in messages)
    commands = server_commands(log)
    assert "LIST" in commands and "MKD" not in commands
    assert on_disk == ["202401", "grande.xml", "nota fiscal.xml", "vazio.txt"]


def test_a_name_the_listing_does_not_show_reaches_the_server_and_its_refusal_shows(run_script, tmp_path):
    with World(tmp_path, files=home_files()) as world:
        made_elsewhere = lambda: (world.store / ORG_HOME / "Lote").mkdir()  # noqa: E731
        opened, refused = ok(run_live(tmp_path, [
            "open", "dump", "wait 300",
            "answer input Lote", "click btnNovoDir", "dump",
        ], world.server, between={0: made_elsewhere}))
    [message] = errors(refused)
    assert message.startswith("550")
    assert names(refused) == names(opened)  # no reload after a failure
    assert refused["screen"]["enabled"]["btnNovoDir"] is True


# --- without a session -----------------------------------------------------------------------------

def test_without_a_server_delete_says_why_after_the_question_and_new_directory_asks_nothing(run_script, tmp_path):
    with World(tmp_path, files=home_files()) as world:
        opened, dump = ok(run_live(tmp_path, [
            "open", "dump", "wait 1000",
            "select name nota fiscal.xml", "answer confirm yes", "click btnExcluir",
            "key Ctrl+N",  # no input answer queued: an input box would fail the script
            "dump",
        ], world.server, between={0: world.stop_ftp}))
        kept = (world.store / ORG_HOME / "nota fiscal.xml").exists()
    assert kept
    assert [p["answer"] for p in prompts_of(dump, "confirm")] == ["yes"]
    # The session is opened again once, for the delete; the server is gone, so that fails and says so.
    [failure] = errors(dump)
    assert "recusou a conexão" in failure
    assert prompts_of(dump, "input") == []
    assert names(dump) == names(opened) and dump["screen"]["lamp"] == 0

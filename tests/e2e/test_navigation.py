"""Browsing the organisation's tree over the screen's FTP session: enter, up, home, refresh, the
connection lamp, the failure paths, the sort across directories and the row rule."""

import shutil

from world import ORG_HOME, World, errors, names, rows_by_name, run_live

HOME = "/" + ORG_HOME
SUB = HOME + "/202401"
COMMANDS = ("btnHome", "btnNivelAcima", "btnAtualizar", "sbtConfirma", "btnUpload", "btnNovoDir", "btnExcluir",
            "dbgArquivos")


def store_files(**extra):
    files = {
        ORG_HOME + "/35240112345678000190550010000001231000001234-nfe.xml": b"<nfeProc>1</nfeProc>",
        ORG_HOME + "/nota fiscal.xml": b"x" * 1536,
        ORG_HOME + "/vazio.txt": b"",
        ORG_HOME + "/202401/b.xml": b"b" * 10,
        ORG_HOME + "/202401/a.xml": b"a" * 300,
        ORG_HOME + "/202401/c.xml": b"c" * 2000,
        ORG_HOME + "/202401/Março/d.xml": b"d",
    }
    files.update(extra)
    return files


def ok(result):
    assert result.returncode == 0, str(result)
    return result.dumps


def file_names(dump):
    return [row["DSNOME"] for row in dump["screen"]["rows"] if not row["BOISDIRECTORY"]]


# --- walking the tree ------------------------------------------------------------------------------

def test_enter_up_and_home_walk_the_tree_and_never_above_home(run_script, tmp_path):
    with World(tmp_path, files=store_files()) as world:
        opened, entered, deeper, up, at_home, after_ctrl_z, home_again = ok(run_script([
            "open", "dump",
            "select name 202401", "dblclick", "dump",
            "select name Março", "dblclick", "dump",
            "key Ctrl+Z", "dump",
            "click btnNivelAcima", "dump",
            "key Ctrl+Z", "dump",           # at home: nothing happens
            "select name 202401", "dblclick", "click btnHome", "dump",
        ], server=world.server))

    screen = opened["screen"]
    assert screen["path"] == HOME and screen["lamp"] == 1
    assert set(names(opened)) == {"202401", "35240112345678000190550010000001231000001234-nfe.xml",
                                  "nota fiscal.xml", "vazio.txt"}
    assert screen["enabled"]["btnNivelAcima"] is False
    assert all(screen["enabled"][name] for name in COMMANDS if name not in ("btnNivelAcima", "sbtConfirma"))
    assert screen["enabled"]["btnAbortar"] is False

    assert entered["screen"]["path"] == SUB
    assert set(names(entered)) == {"a.xml", "b.xml", "c.xml", "Março"}
    assert entered["screen"]["enabled"]["btnNivelAcima"] is True

    assert deeper["screen"]["path"] == SUB + "/Março"  # CP1252 on the wire, UTF-8 on screen
    assert names(deeper) == ["d.xml"]

    assert up["screen"]["path"] == SUB and up["screen"]["enabled"]["btnNivelAcima"] is True
    assert at_home["screen"]["path"] == HOME and at_home["screen"]["enabled"]["btnNivelAcima"] is False
    assert after_ctrl_z["screen"]["path"] == HOME and names(after_ctrl_z) == names(at_home)
    assert home_again["screen"]["path"] == HOME and home_again["screen"]["enabled"]["btnNivelAcima"] is False
    assert errors(home_again) == []


def test_home_at_home_and_refresh_fetch_the_listing_again(run_script, tmp_path):
    with World(tmp_path, files=store_files()) as world:
        home_dir = world.store / ORG_HOME

        def add(path):
            return lambda: path.write_bytes(b"<nfe/>")

        dumps = ok(run_live(tmp_path, [
            "open", "dump", "wait 700",
            "click btnHome", "dump",
            "select name 202401", "dblclick", "dump", "wait 700",
            "click btnAtualizar", "dump", "wait 700",
            "key Ctrl+A", "dump",
        ], world.server, between={0: add(home_dir / "novo.xml"), 2: add(home_dir / "202401" / "e.xml"),
                                  3: add(home_dir / "202401" / "f.xml")}))
    opened, reloaded, entered, refreshed, refreshed_by_key = dumps
    assert "novo.xml" not in names(opened)
    assert reloaded["screen"]["path"] == HOME and "novo.xml" in names(reloaded)
    assert "e.xml" not in names(entered)
    assert refreshed["screen"]["path"] == SUB and "e.xml" in names(refreshed)
    assert refreshed_by_key["screen"]["path"] == SUB and "f.xml" in names(refreshed_by_key)
    assert refreshed_by_key["screen"]["enabled"]["btnNivelAcima"] is True
    assert errors(refreshed_by_key) == []


# --- lost connections and failures ------------------------------------------------------------------

def test_refresh_after_the_server_dropped_the_connection_lists_again(run_script, tmp_path):
    with World(tmp_path, files=store_files()) as world:
        entered, refreshed = ok(run_live(tmp_path, [
            "open", "select name 202401", "dblclick", "dump", "wait 2500",
            "click btnAtualizar", "dump",
        ], world.server, between={0: world.restart_ftp}))
    assert entered["screen"]["path"] == SUB
    screen = refreshed["screen"]
    assert errors(refreshed) == []
    assert screen["path"] == SUB and set(names(refreshed)) == {"a.xml", "b.xml", "c.xml", "Março"}
    assert screen["lamp"] == 1
    assert screen["enabled"]["btnHome"] is True and screen["enabled"]["btnNivelAcima"] is True


def test_a_session_the_server_dropped_is_opened_again_by_the_next_command(run_script, tmp_path):
    with World(tmp_path, files=store_files()) as world:
        opened, entered = ok(run_live(tmp_path, [
            "open", "dump", "wait 2500",
            "click btnHome", "key Ctrl+Z", "select name 202401", "dblclick", "dump",
        ], world.server, between={0: world.restart_ftp}))
    # A new session, back in the directory shown, and the command runs: nothing but the lamp tells.
    screen = entered["screen"]
    assert errors(entered) == []
    assert screen["lamp"] == 1
    assert screen["path"] == SUB and set(names(entered)) == {"a.xml", "b.xml", "c.xml", "Março"}
    assert screen["enabled"]["btnHome"] is True


def test_a_directory_removed_behind_the_screens_back(run_script, tmp_path):
    with World(tmp_path, files=store_files()) as world:
        removed = lambda: shutil.rmtree(world.store / ORG_HOME / "202401")  # noqa: E731
        opened, failed, refreshed = ok(run_live(tmp_path, [
            "open", "dump", "wait 500",
            "select name 202401", "dblclick", "dump",
            "key Ctrl+A", "dump",
        ], world.server, between={0: removed}))
    [message] = errors(failed)
    assert message.startswith("550")
    screen = failed["screen"]
    assert not any(screen["enabled"][name] for name in COMMANDS) and screen["enabled"]["btnAbortar"] is False
    assert screen["path"] == HOME and names(failed) == names(opened)
    assert screen["lamp"] == 1  # the session itself is fine

    assert errors(refreshed) == [message]
    assert refreshed["screen"]["path"] == HOME and "202401" not in names(refreshed)
    assert len(names(refreshed)) == 3


def test_wrong_password_shows_the_log_in_message_and_a_red_lamp(run_script, tmp_path):
    with World(tmp_path, password="outra-senha") as world:
        [dump] = ok(run_script(["open", "dump"], server=world.server))
    [message] = errors(dump)
    assert "530 Authentication failed." in message
    assert "s3nh@" not in message
    screen = dump["screen"]
    assert screen["lamp"] == 0 and screen["rows"] == [] and screen["path"] == ""
    assert not any(screen["enabled"][name] for name in COMMANDS) and screen["enabled"]["btnAbortar"] is False


def test_without_a_session_home_and_level_up_do_nothing_and_say_nothing(run_script, tmp_path):
    with World(tmp_path, password="outra-senha") as world:
        [_, dump] = ok(run_script(["open", "dump", "key Ctrl+H", "key Ctrl+Z", "dump"], server=world.server))
    assert len(errors(dump)) == 1 and dump["screen"]["rows"] == []


# --- sorting -------------------------------------------------------------------------------------

def test_title_clicks_toggle_the_direction_of_each_column(run_script, tmp_path):
    with World(tmp_path, files=store_files()) as world:
        dumps = ok(run_script([
            "open", "select name 202401", "dblclick", "dump",
            "title DSNOME", "dump",
            "title DSNOME", "dump",
            "title FLTAMANHO", "dump",
            "title DSNOME", "dump",
            "title DSNOME", "dump",
        ], server=world.server))
    initial, first, second, by_size, back_to_name, again = dumps
    ascending = ["a.xml", "b.xml", "c.xml"]
    assert file_names(initial) == ascending and initial["screen"]["sort"]["index"] == "cdsArquivosIndex1"
    assert file_names(first) == ascending
    assert first["screen"]["sort"] == {"index": "idxDSNOME", "descending": False}
    assert file_names(second) == ascending[::-1] and second["screen"]["sort"]["descending"] is True
    assert file_names(by_size) == ["b.xml", "a.xml", "c.xml"]
    assert by_size["screen"]["sort"] == {"index": "idxFLTAMANHO", "descending": False}
    assert file_names(back_to_name) == ascending  # reverses Nome's last direction
    assert file_names(again) == ascending[::-1]


def test_the_chosen_sort_survives_navigation(run_script, tmp_path):
    with World(tmp_path, files=store_files()) as world:
        entered, home = ok(run_script([
            "open", "title FLTAMANHO", "title FLTAMANHO",
            "select name 202401", "dblclick", "dump",
            "click btnNivelAcima", "dump",
        ], server=world.server))
    assert entered["screen"]["sort"] == {"index": "idxFLTAMANHO", "descending": True}
    assert file_names(entered) == ["c.xml", "a.xml", "b.xml"]
    assert file_names(home) == ["nota fiscal.xml", "35240112345678000190550010000001231000001234-nfe.xml",
                                "vazio.txt"]


# --- the row rule --------------------------------------------------------------------------------

def test_delete_and_download_follow_the_current_row(run_script, tmp_path):
    files = store_files()
    files[ORG_HOME + "/vazia/.keep"] = b""
    with World(tmp_path, files=files) as world:
        (world.store / ORG_HOME / "vazia" / ".keep").unlink()
        directory_row, file_row, empty = ok(run_script([
            "open", "select name 202401", "dump",
            "select name vazio.txt", "dump",
            "select name vazia", "dblclick", "dump",
        ], server=world.server))
    enabled = directory_row["screen"]["enabled"]
    assert (enabled["btnExcluir"], enabled["sbtConfirma"]) == (True, False)
    enabled = file_row["screen"]["enabled"]
    assert (enabled["btnExcluir"], enabled["sbtConfirma"]) == (True, True)
    assert rows_by_name(file_row)["vazio.txt"]["BOISDIRECTORY"] is False
    screen = empty["screen"]
    assert screen["rows"] == [] and screen["current"] is None
    assert (screen["enabled"]["btnExcluir"], screen["enabled"]["sbtConfirma"]) == (False, False)
    assert screen["enabled"]["btnNovoDir"] is True and screen["enabled"]["btnUpload"] is True

"""Working the grid from the keyboard: arrows move the current row, Enter opens a directory or
downloads a file as a double-click does."""

from world import ORG_HOME, World, names


def test_enter_opens_a_directory_and_downloads_a_file(run_script, tmp_path):
    target = tmp_path / "pela tecla.xml"
    with World(tmp_path) as world:
        result = run_script(["open", "select name 202401", "key Return", "dump", "key Ctrl+Z", "dump",
                             "select name nota fiscal.xml", f"answer save {target}", "key Return", "wait idle",
                             "dump"], server=world.server)
        expected = (world.store / ORG_HOME / "nota fiscal.xml").read_bytes()
    assert result.returncode == 0, str(result)
    inside, back, downloaded = result.dumps
    assert inside["screen"]["path"] == "/" + ORG_HOME + "/202401"
    assert back["screen"]["path"] == "/" + ORG_HOME
    assert target.read_bytes() == expected
    assert downloaded["screen"]["status"][1].startswith("Transferência Completa")


def test_arrow_keys_move_the_current_row(run_script, tmp_path):
    with World(tmp_path) as world:
        result = run_script(["open", "select 0", "key Down", "dump", "key Down", "dump", "key Up", "dump"],
                            server=world.server)
    assert result.returncode == 0, str(result)
    first, second, third = result.dumps
    assert [first["screen"]["current"], second["screen"]["current"], third["screen"]["current"]] == [1, 2, 1]
    rows = names(first)
    # The row rule follows the keyboard too: a file row enables Download.
    assert rows[first["screen"]["current"]] != "202401"
    assert first["screen"]["enabled"]["sbtConfirma"] is True

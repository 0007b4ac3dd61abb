"""vop-host on its own: the script driver's strictness and a dump before any screen opens."""

import json

START_GLOBALS = {
    "boStCriado": False,
    "boHttp": False,
    "SHttpHosAddr": "",
    "SHttpPort": "",
    "SHttpProxyHost": "",
    "SHttpProxyPort": "",
    "SHttpProxyUserId": "",
    "stConnectStr": "",
    "InIdUtHttpProxy": 0,
    "InHttpHttps": 0,
    "VelocidadeMedia": 0.0,
}


def test_dump_without_a_screen_gives_the_start_globals(run_script, tmp_path):
    result = run_script(["# nothing opened yet", "dump", "dump state.json", "dump"])
    assert result.returncode == 0, result
    assert len(result.dumps) == 2, result
    first = result.dumps[0]
    assert first["screen"] is None
    assert first["prompts"] == []
    assert first["globals"] == START_GLOBALS
    assert json.loads((tmp_path / "state.json").read_text(encoding="utf-8")) == first


def test_script_mistakes_fail_before_anything_runs(run_script):
    result = run_script(["dump", "frobnicate now", "dump"])
    assert result.returncode == 1
    assert "line 2" in result.stderr and "unknown command 'frobnicate'" in result.stderr, result
    assert result.dumps == []

    result = run_script(["answer confirm perhaps"])
    assert result.returncode == 1
    assert "line 1" in result.stderr and "yes or no" in result.stderr, result


def test_commands_that_need_a_screen_fail_naming_the_line(run_script):
    for command in ["click btnAtualizar", "select 0", "select name a.xml", "dblclick", "title DSNOME",
                    "key Ctrl+A", "close"]:
        result = run_script(["dump", command])
        assert result.returncode == 1, (command, result)
        assert f"line 2 ({command})" in result.stderr and "no screen is open" in result.stderr, (command, result)
        assert len(result.dumps) == 1, "the line before the failing one ran"


def test_waits_without_a_screen_return(run_script):
    result = run_script(["wait idle 100", "wait 10", "dump"])
    assert result.returncode == 0, result
    assert result.dumps[0]["screen"] is None


def test_a_module_that_cannot_load_fails_the_open(run_script, tmp_path):
    missing = tmp_path / "Pkg_Missing.so"
    result = run_script(["open"], args=["--module", str(missing)])
    assert result.returncode == 1
    assert "line 1 (open)" in result.stderr and str(missing) in result.stderr, result


def test_bad_command_lines(run_script, tmp_path):
    result = run_script(["dump"], args=["--server", "127.0.0.1"])
    assert result.returncode == 2 and "HOST:PORT" in result.stderr, result

    result = run_script(["dump"], args=["--script", str(tmp_path / "absent.txt")])
    assert result.returncode == 1 and "absent.txt" in result.stderr, result


def test_host_settings_fetch_warns_when_the_server_is_down(run_script, start_app_server):
    server = start_app_server(host="127.0.0.3")
    result = run_script(["dump"], server=server)
    assert result.returncode == 0, result
    assert "warning" not in result.stderr, result

    address = (server.host, server.port)
    server.__exit__(None, None, None)  # nothing listens there any more
    result = run_script(["dump"], server=address)
    assert result.returncode == 0, "a failed settings fetch does not stop the host"
    assert "warning: the HTTP settings could not be read" in result.stderr, result
    assert f"127.0.0.3:{address[1]}" in result.stderr, result

    failing = start_app_server(db_sql="INSERT INTO reply_override (server, method, http_status, body) "
                               "VALUES ('Bib.rdmDBGeral', 'GetHttp', 500, '{\"error\":\"tabela indisponível\"}');")
    result = run_script(["dump"], server=failing)
    assert result.returncode == 0, result
    assert "tabela indisponível" in result.stderr, result

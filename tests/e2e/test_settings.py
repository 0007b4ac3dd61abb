"""Opening the screen fetches its settings from the application server; what the user sees in each
case the server can answer."""

import json

import pytest

from world import World, names

HOME = "/XMLFTP/Organização 12"


def override(server, method, body, status=200):
    return "INSERT INTO reply_override VALUES ('%s','%s',%d,'%s',0);" % (
        server, method, status, json.dumps(body).replace("'", "''"))


def open_and_dump(run_script, world):
    result = run_script(["open", "dump"], server=world.server)
    assert result.returncode == 0, str(result)
    return result.dumps[-1]


def errors(dump):
    return [p["text"] for p in dump["prompts"] if p["kind"] == "error"]


def test_organisation_home_is_listed_with_the_lamp_on(run_script, tmp_path):
    with World(tmp_path) as world:
        dump = open_and_dump(run_script, world)
    screen = dump["screen"]
    assert screen["caption"] == "Controle de Arquivos XML da NF-e"
    assert screen["path"] == HOME
    assert "nota fiscal.xml" in names(dump)
    assert screen["lamp"] == 1
    assert errors(dump) == []
    assert dump["globals"]["boStCriado"] is True
    assert dump["globals"]["boHttp"] is False
    assert screen["enabled"]["btnNivelAcima"] is False  # at home


def test_organisation_zero_is_the_root(run_script, tmp_path):
    with World(tmp_path, organisation="0") as world:
        dump = open_and_dump(run_script, world)
    assert dump["screen"]["path"] == "/"
    assert set(names(dump)) >= {"XMLFTP", "TMPFTP", "leia-me.txt"}
    assert "EXEFTP" not in names(dump) and "RELFTP" not in names(dump)


@pytest.mark.parametrize("organisation,home", [("7", "/XMLFTP/Organização 7"), ("", "/XMLFTP/Organização ")])
def test_other_codes_go_below_xmlftp(run_script, tmp_path, organisation, home):
    # Neither home exists: the screen asks for exactly that one, and the server's refusal shows.
    log = tmp_path / "ftp.log"
    with World(tmp_path, organisation=organisation, ftp_options={"log": log}) as world:
        dump = open_and_dump(run_script, world)
    [message] = errors(dump)
    assert message.startswith("550")  # the server's own refusal
    sent = [line.partition(" ")[2] for line in log.read_text(encoding="utf-8").splitlines()]
    assert [c for c in sent if c.upper().startswith("CWD")] == ["CWD " + home]
    assert dump["screen"]["enabled"]["btnHome"] is False  # unavailable
    assert dump["screen"]["enabled"]["btnAbortar"] is False


@pytest.mark.parametrize("flag", ["s", None, "N"])
def test_anything_but_capital_s_keeps_ftp_mode(run_script, tmp_path, flag):
    row = [flag, "gw.local", "8080", 0, None, None, None, 0]
    from world import settings_sql  # noqa: F401
    with World(tmp_path, extra_sql="INSERT INTO http_param VALUES (%s);" % ",".join(
            "NULL" if v is None else (str(v) if isinstance(v, int) else "'%s'" % v) for v in row)) as world:
        dump = open_and_dump(run_script, world)
    assert dump["globals"]["boHttp"] is False
    assert dump["screen"]["path"] == HOME
    assert errors(dump) == []


def test_capital_s_turns_http_mode_on_and_opens_no_ftp_session(run_script, tmp_path):
    row = "'S','gw.local','8081',1,'proxy.local','3128','ana',0"
    failing = override("VOP31600.rdmCtrlArqXMLNFe", "GetDadosFTP", {"result": ["N", "Sem FTP", "", "", "0"]})
    with World(tmp_path, extra_sql="INSERT INTO http_param VALUES (%s);" % row + failing) as world:
        dump = open_and_dump(run_script, world)
    g = dump["globals"]
    assert g["boHttp"] is True
    assert (g["SHttpHosAddr"], g["SHttpPort"], g["InIdUtHttpProxy"]) == ("gw.local", "8081", 1)
    assert (g["SHttpProxyHost"], g["SHttpProxyPort"], g["SHttpProxyUserId"], g["InHttpHttps"]) == (
        "proxy.local", "3128", "ana", 0)
    assert dump["screen"]["lamp"] == 0
    # The failure status goes unreported in HTTP mode; only the unreachable gateway shows.
    assert not any("Sem FTP" in e for e in errors(dump))


@pytest.mark.parametrize("reply,message", [
    ({"result": "Empresa sem acesso ao FTP."}, "Empresa sem acesso ao FTP."),
    ({"result": ["N", "Usuário bloqueado.", "", "", "0"]}, "Usuário bloqueado."),
    ({"result": ["N", "Usuário bloqueado."]}, "Usuário bloqueado."),  # short failure array still shows
])
def test_server_errors_are_shown_once_and_the_screen_stays_open(run_script, tmp_path, reply, message):
    with World(tmp_path, extra_sql=override("VOP31600.rdmCtrlArqXMLNFe", "GetDadosFTP", reply)) as world:
        dump = open_and_dump(run_script, world)
    assert errors(dump) == [message]
    screen = dump["screen"]
    assert screen["rows"] == [] and screen["path"] == ""
    assert screen["enabled"]["btnHome"] is True and screen["enabled"]["btnAbortar"] is False
    assert screen["progress"]["in_status_bar"] is False
    assert dump["globals"]["boStCriado"] is True


def test_a_short_failure_array_fails_before_http_mode_is_decided(run_script, tmp_path):
    # The missing organisation element ends the fetch before the mode and the HTTP parameters are
    # written; the failure shows the server's own message.
    row = "'S','gw.local','8081',1,'proxy.local','3128','ana',1"
    short = override("VOP31600.rdmCtrlArqXMLNFe", "GetDadosFTP", {"result": ["N", "Sem FTP"]})
    with World(tmp_path, extra_sql="INSERT INTO http_param VALUES (%s);" % row + short) as world:
        dump = open_and_dump(run_script, world)
    assert errors(dump) == ["Sem FTP"]
    g = dump["globals"]
    assert g["boHttp"] is False
    assert (g["SHttpHosAddr"], g["SHttpPort"], g["SHttpProxyHost"], g["InIdUtHttpProxy"], g["InHttpHttps"]) == (
        "", "", "", 0, 0)
    assert dump["screen"]["rows"] == [] and dump["screen"]["path"] == ""


def test_a_parameter_row_without_the_mode_column_is_a_failure(run_script, tmp_path):
    packet = {"fields": [{"name": "HTTPHOSADDR", "type": "string"}], "rows": [["gw.local"]]}
    with World(tmp_path, extra_sql=override("Bib.rdmDBGeral", "GetHttp", {"result": packet})) as world:
        dump = open_and_dump(run_script, world)
    [message] = errors(dump)
    assert "IDUTPARAMHTTPGER" in message
    assert dump["screen"]["rows"] == [] and dump["globals"]["boHttp"] is False


def test_a_failure_status_of_gethttp_is_reported(run_script, tmp_path):
    with World(tmp_path, extra_sql=override("Bib.rdmDBGeral", "GetHttp", {"error": "Banco indisponível"}, 500)) as w:
        dump = open_and_dump(run_script, w)
    assert errors(dump) == ["Banco indisponível"]
    assert dump["screen"]["rows"] == []


def test_server_down_shows_an_error_and_the_screen_still_opens(run_script, tmp_path):
    result = run_script(["open", "dump"], server=("127.0.0.1", 1))
    assert result.returncode == 0, str(result)
    dump = result.dumps[-1]
    assert len(errors(dump)) == 1
    assert dump["screen"] is not None and dump["globals"]["boStCriado"] is True


def test_open_twice_fetches_once_and_reopen_fetches_again(run_script, tmp_path):
    with World(tmp_path) as world:
        result = run_script(["open", "open", "dump", "close", "dump", "open", "dump"], server=world.server)
    assert result.returncode == 0, str(result)
    first, closed, reopened = result.dumps
    assert first["screen"]["path"] == HOME
    assert closed["screen"] is None and closed["globals"]["boStCriado"] is False
    assert reopened["screen"]["path"] == HOME

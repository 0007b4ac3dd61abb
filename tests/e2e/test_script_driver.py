"""The script driver's commands against a stand-in screen module (tests/host/fake_screen_module.cpp),
which logs every user action it receives."""

import os

import pytest

FAKE_MODULE = os.environ.get("VOP_FAKE_SCREEN_MODULE")

pytestmark = pytest.mark.skipif(not FAKE_MODULE, reason="VOP_FAKE_SCREEN_MODULE is not set")


@pytest.fixture
def run_fake(run_script):
    def run(lines):
        return run_script(lines, args=["--module", FAKE_MODULE])

    return run


def names(screen):
    return [row["DSNOME"] for row in screen["rows"]]


def test_open_select_and_gestures_reach_the_screen(run_fake):
    result = run_fake([
        "open",
        "open",
        "dump",
        "select 1",
        "dump",
        "select name Organização",
        "dump",
        "select name beta gama.xml",
        "dblclick",
        "title FLTAMANHO",
        "click btnAtualizar",
        "click btnAbortar",  # disabled: ignored
        "key Ctrl+A",
        "dump",
    ])
    assert result.returncode == 0, result
    first, second, third, last = result.dumps
    assert first["screen"]["caption"] == "Tela de teste"
    assert names(first["screen"]) == ["alfa.xml", "beta gama.xml", "Organização"]
    assert first["screen"]["current"] == 0, "the grid takes the focus on show and Qt makes its first row current"
    assert first["globals"]["boStCriado"] is True
    assert second["screen"]["current"] == 1
    assert third["screen"]["current"] == 2
    assert last["screen"]["log"] == [
        "dblclick beta gama.xml",
        "title FLTAMANHO",
        "click btnAtualizar",
        "shortcut Ctrl+A",
    ]


def test_answers_feed_prompts_in_order(run_fake):
    result = run_fake([
        "open",
        "answer confirm no",
        "answer confirm yes",
        "select name alfa.xml",
        "click btnExcluir",
        "click btnExcluir",
        "answer input Pasta  Nova",
        "click btnNovoDir",
        "answer input cancel",
        "click btnNovoDir",
        "dump",
    ])
    assert result.returncode == 0, result
    dump = result.dumps[0]
    assert names(dump["screen"]) == ["beta gama.xml", "Organização", "Pasta  Nova"]
    assert [(p["kind"], p["text"], p["answer"]) for p in dump["prompts"]] == [
        ("confirm", "Excluir alfa.xml?", "no"),
        ("confirm", "Excluir alfa.xml?", "yes"),
        ("input", "Nome:", "Pasta  Nova"),
        ("input", "Nome:", "cancel"),
    ]


def test_an_unanswered_prompt_fails_the_script_at_its_line(run_fake):
    result = run_fake(["open", "select 0", "click btnExcluir", "dump"])
    assert result.returncode == 1
    assert "line 3 (click btnExcluir)" in result.stderr, result
    assert "unanswered confirm prompt" in result.stderr and "Excluir alfa.xml?" in result.stderr, result
    assert result.dumps == []


def test_wait_idle_waits_for_the_transfer_and_fails_past_its_limit(run_fake):
    result = run_fake([
        "open",
        "answer open /tmp/a.xml;/tmp/b c.xml",
        "click btnUpload",
        "dump",
        "wait idle",
        "dump",
    ])
    assert result.returncode == 0, result
    busy, idle = result.dumps
    assert busy["screen"]["enabled"]["btnAbortar"] is True
    assert busy["prompts"][0]["answer"] == "/tmp/a.xml;/tmp/b c.xml"
    assert idle["screen"]["log"][-1] == "transfer done"
    assert idle["screen"]["enabled"]["btnAbortar"] is False

    result = run_fake(["open", "answer open /tmp/a.xml", "click btnUpload", "wait idle 20"])
    assert result.returncode == 1
    assert "line 4 (wait idle 20)" in result.stderr and "still runs" in result.stderr, result


def test_close_asks_while_busy_and_a_closed_screen_is_gone(run_fake):
    result = run_fake([
        "open",
        "answer open /tmp/a.xml",
        "click btnUpload",
        "answer confirm no",
        "close",
        "dump",
        "wait idle",
        "close",
        "dump",
        "open",
        "dump",
    ])
    assert result.returncode == 0, result
    refused, closed, reopened = result.dumps
    assert refused["screen"] is not None
    assert closed["screen"] is None
    assert closed["globals"]["boStCriado"] is False
    assert reopened["screen"]["log"] == [], "a fresh screen after the close"


def test_commands_aimed_at_what_is_not_there_fail(run_fake):
    cases = [
        ("select 3", "row 3 is out of range: the grid shows 3 rows"),
        ("select name gama.xml", "no row named 'gama.xml'"),
        ("title DSTAMANHO", "no grid column shows DSTAMANHO"),
        ("click btnNada", "no button 'btnNada'"),
    ]
    for command, message in cases:
        result = run_fake(["open", command])
        assert result.returncode == 1, (command, result)
        assert f"line 2 ({command})" in result.stderr and message in result.stderr, (command, result)

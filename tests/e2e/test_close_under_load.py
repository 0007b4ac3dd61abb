"""Closing the screen (answering Yes) at a random moment of a running download or upload, then opening
it again, round after round in one host: no crash, no worker left running, no partial file on
either side, and the user's old file untouched.

VOP_CLOSE_ROUNDS sets the number of rounds: 30 by default, to keep CI near a minute (a round takes
about 2 s, mostly the throttled server's pauses before the worker sees the stop); set it to 100 for the
full run. VOP_CLOSE_SEED picks the random moments."""

import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "faults"))

from live_host import errors, leftovers, proc_status, run_host  # noqa: E402
from world import ORG_HOME, World  # noqa: E402

ROUNDS = int(os.environ.get("VOP_CLOSE_ROUNDS", "30"))
SEED = int(os.environ.get("VOP_CLOSE_SEED", "31600"))
THROTTLE = 2_000_000  # bytes per second: a transfer of BIG bytes outlives any chosen moment
BIG = 8 * 1024 * 1024
LATEST_CLOSE_MS = 600


def test_close_while_transferring_round_after_round(tmp_path):
    rng = random.Random(SEED)
    target = tmp_path / "alvo.xml"
    target.write_bytes(b"the user's file from last month")
    local = tmp_path / "envio-carga.xml"
    local.write_bytes(os.urandom(BIG))
    files = {ORG_HOME + "/grande.xml": os.urandom(BIG), ORG_HOME + "/pequena.xml": b"<nfe/>"}

    lines = []
    moments = []
    for round_number in range(ROUNDS):
        moment = rng.randint(0, LATEST_CLOSE_MS)
        moments.append(moment)
        lines.append("open")
        if round_number % 2 == 0:
            lines += ["select name grande.xml", f"answer save {target}", "click sbtConfirma"]
        else:
            lines += [f"answer open {local}", "click btnUpload"]
        lines += [f"wait {moment}", "answer confirm yes", "close", "wait idle"]
        if round_number == 0:
            lines.append("dump")
    lines += ["wait 300", "dump", "open", "dump"]

    threads = []
    hooks = {0: lambda p: threads.append(proc_status(p.pid, "Threads")),
             1: lambda p: threads.append(proc_status(p.pid, "Threads"))}
    log = tmp_path / "ftp.log"
    with World(tmp_path, files=files, ftp_options={"throttle": THROTTLE, "log": log}) as world:
        result = run_host(tmp_path, lines, world.server, hooks, timeout=30 + 6 * ROUNDS)
        remote = sorted(os.listdir(world.store / ORG_HOME))
        remote_big = (world.store / ORG_HOME / "grande.xml").read_bytes()

    context = "seed %d, moments %s\n%s" % (SEED, moments[:20], result)
    assert result.returncode == 0, context  # every `wait idle` found the worker ended
    after_first, after_last, reopened = result.dumps
    assert after_first["screen"] is None and after_last["screen"] is None, context
    # No thread outlives its round: the host has no more threads after the last round than after the first.
    assert None not in threads and threads[1] <= threads[0], threads
    assert errors(reopened) == [], errors(reopened)
    assert target.read_bytes() == b"the user's file from last month"
    assert leftovers(tmp_path) == []
    # On failure: every session that stored the upload, with its commands, for the diagnosis.
    sessions = {}
    for line in log.read_text(encoding="utf-8").splitlines():
        port, _, command = line.partition(" ")
        sessions.setdefault(port, []).append(command)
    uploads = [(port, commands) for port, commands in sessions.items() if any("envio-carga" in c for c in commands)]
    assert "envio-carga.xml" not in remote, (remote, uploads[-4:])  # every cancelled upload was removed
    assert remote_big == files[ORG_HOME + "/grande.xml"]
    screen = reopened["screen"]
    assert screen["lamp"] == 1 and {"grande.xml", "pequena.xml"} <= {r["DSNOME"] for r in screen["rows"]}
    confirms = [p for p in reopened["prompts"] if p["kind"] == "confirm"]
    assert len(confirms) == ROUNDS and all(p["answer"] for p in confirms), len(confirms)

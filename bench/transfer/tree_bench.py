"""A year of invoices as an office keeps it (one directory per month, 12 x 40 files of 20 KB) down
through the screen's "download all listed", against `lftp mirror` of the same tree on the same server,
runs alternating:

- on a server far away: the pyftpdlib fixture, threaded (parallel sessions are not serialised), with
  every reply late by 10 ms; ours over three connections and over one, lftp `mirror -P 3`, and ours
  again into the folder the first run filled, answering "Somente novos e alterados";
- on vsftpd over loopback: ours against `mirror -P 3`.

    /usr/bin/python3 bench/transfer/tree_bench.py --bin build/release/bin [--rounds 5] [--server far|vsftpd]

Ours is timed inside the host from the click until the worker ended; lftp around its process."""

import argparse
import json
import os
import pathlib
import shutil
import statistics
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from bench_world import PEER_DIR, BenchWorld  # noqa: E402
from transfer_bench import Runner, check, nfe_xml, rotate, settle  # noqa: E402

HOSTS = {"far": "127.0.86.4", "vsftpd": "127.0.86.5"}
YEAR = "2024"
MONTHS, PER_MONTH, FILE_SIZE = 12, 40, 20 * 1024
NEW_OR_CHANGED = 3  # the existing-files question's third button


def seed_year(folder, months, per_month):
    for month in range(1, months + 1):
        directory = folder / YEAR / ("%02d" % month)
        directory.mkdir(parents=True)
        for i in range(per_month):
            index = month * 1000 + i
            (directory / ("352401123456780001905500100%08d1%08d-nfe.xml" % (index, index))).write_bytes(
                nfe_xml(index, FILE_SIZE))


def count_files(folder):
    return sum(len(files) for _, _, files in os.walk(folder))


def ours(runner, target, connections, files, choice=None):
    runner.env["VOP31600_CONEXOES"] = str(connections)
    probe = runner.ours("batch", target, *([choice] if choice else []))
    check(probe, None, files * FILE_SIZE)
    return probe["seconds"]


def bench(runner, rounds, tools, months, per_month):
    world = runner.world
    files = months * per_month
    for folder in (world.home, world.peer):
        seed_year(folder, months, per_month)
    seconds = {tool: [] for tool in tools}
    fetching = [tool for tool in tools if tool != "again"]  # "again" follows, into ours' folder
    for round_index in range(rounds):
        filled = None
        for tool in rotate(fetching, round_index):
            target = world.local / ("%s-%d" % (tool, round_index))
            target.mkdir()
            settle()
            if tool == "lftp":
                seconds[tool].append(runner.lftp("mirror -P 3 %s/%s %s" % (PEER_DIR, YEAR, target / YEAR)))
            else:
                seconds[tool].append(ours(runner, target, 3 if tool == "ours" else 1, files))
            got = count_files(target)
            if got != files:
                raise RuntimeError("%s received %d of %d files" % (tool, got, files))
            if tool == "ours":
                filled = target
            else:
                shutil.rmtree(target)
        if "again" in tools:
            settle()
            seconds["again"].append(ours(runner, filled, 3, files, NEW_OR_CHANGED))
        shutil.rmtree(filled)
    figures = {tool: {"median_s": statistics.median(runs), "runs_s": runs} for tool, runs in seconds.items()}
    figures["files"], figures["directories"] = files, months
    return figures


def run(bin_dir, rounds=5, servers=("far", "vsftpd"), months=MONTHS, per_month=PER_MONTH, scratch=None, hosts=None):
    results = {}
    for server in servers:
        host = (hosts or HOSTS)[server]
        if server == "far":
            world = BenchWorld(host, scratch, reply_delay_ms=10, threaded=True)
            tools = ("ours", "single", "lftp", "again")
        else:
            world = BenchWorld(host, scratch, server="vsftpd")
            tools = ("ours", "lftp")
        with world as w:
            results[server] = bench(Runner(bin_dir, w), rounds, tools, months, per_month)
    return results


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--bin", required=True)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--server", choices=tuple(HOSTS), action="append")
    args = parser.parse_args()
    print(json.dumps(run(os.path.abspath(args.bin), args.rounds, tuple(args.server or HOSTS)), indent=1))


if __name__ == "__main__":
    main()

"""Open-to-listed latency: the screen opens on a home folder of `entries` NF-e files, served by the
FTP fixture, with its settings from vop-appserver, everything on loopback; bench_open_latency times
each opening from the menu call until the grid shows the listing.

    /usr/bin/python3 bench/latency/latency_bench.py --bin build/release/bin [--entries 1000] [--rounds 10]"""

import argparse
import json
import os
import pathlib
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "transfer"))
from bench_world import BenchWorld  # noqa: E402


def fill_home(home, entries):
    """Invoice names as the store holds them, a few KB each."""
    for i in range(entries):
        name = "3524%02d12345678000190550010%09d1%08d-nfe.xml" % (i % 12 + 1, i, i * 7 % 100000000)
        (home / name).write_bytes(b"<nfeProc>" + b"0" * (2000 + i % 5000) + b"</nfeProc>")


def run(bin_dir, entries=1000, rounds=10, ftp_host="127.0.86.3", scratch=None):
    os.environ["VOP_BIN_DIR"] = str(bin_dir)
    with BenchWorld(ftp_host, scratch) as world:
        fill_home(world.home, entries)
        env = os.environ.copy()
        env["QT_QPA_PLATFORM"] = "offscreen"
        env.setdefault("LC_ALL", "pt_BR.UTF-8")
        command = [str(pathlib.Path(bin_dir) / "bench_open_latency"), "--server", world.server,
                   "--rows", str(entries), "--rounds", str(rounds)]
        done = subprocess.run(command, capture_output=True, text=True, env=env, timeout=300, stdin=subprocess.DEVNULL)
        lines = [line for line in done.stdout.splitlines() if line.startswith("{")]
        if done.returncode != 0 or not lines:
            raise RuntimeError("bench_open_latency failed (exit %d): %s %s"
                               % (done.returncode, done.stdout.strip(), done.stderr.strip()))
        return json.loads(lines[-1])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--bin", required=True, help="folder of vop-appserver and bench_open_latency")
    parser.add_argument("--entries", type=int, default=1000)
    parser.add_argument("--rounds", type=int, default=10)
    args = parser.parse_args()
    print(json.dumps(run(os.path.abspath(args.bin), args.entries, args.rounds)))


if __name__ == "__main__":
    main()

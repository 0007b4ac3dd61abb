"""The longest stand-still of the event loop while the screen waits: opening against an FTP server
that accepts and never answers, listing a home folder of 100,000 entries, and opening against an
application server that never answers. bench_wait_gaps measures each; the goal is under 50 ms.

    /usr/bin/python3 bench/latency/wait_gap_bench.py --bin build/release/bin [--entries 100000] [--hold 2000]"""

import argparse
import contextlib
import json
import os
import pathlib
import socket
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "transfer"))
from bench_world import AppServer, BenchWorld, settings_sql  # noqa: E402


@contextlib.contextmanager
def silent_server(host, port=0):
    """Takes connections (the kernel completes them) and never says a word."""
    with socket.socket() as listener:
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind((host, port))
        listener.listen(16)
        yield listener.getsockname()[1]


def probe(bin_dir, server, *extra):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    env.setdefault("LC_ALL", "pt_BR.UTF-8")
    command = [str(pathlib.Path(bin_dir) / "bench_wait_gaps"), "--server", server, *extra]
    done = subprocess.run(command, capture_output=True, text=True, env=env, timeout=300, stdin=subprocess.DEVNULL)
    lines = [line for line in done.stdout.splitlines() if line.startswith("{")]
    if done.returncode != 0 or not lines:
        raise RuntimeError("bench_wait_gaps failed (exit %d): %s %s" % (done.returncode, done.stdout, done.stderr))
    return json.loads(lines[-1])


def run(bin_dir, entries=100000, hold=2000, ftp_host="127.0.86.7"):
    os.environ["VOP_BIN_DIR"] = str(bin_dir)
    results = {}
    with silent_server(ftp_host, 21), AppServer(db_sql=settings_sql(ftp_host)) as app:
        results["silent_ftp"] = probe(bin_dir, "%s:%d" % (app.host, app.port), "--hold", str(hold))
    with BenchWorld(ftp_host) as world:
        for i in range(entries):
            (world.home / ("3524%02d12345678000190550010%09d1-nfe.xml" % (i % 12 + 1, i))).touch()
        results["listing"] = probe(bin_dir, world.server, "--rows", str(entries))
    with silent_server("127.0.0.1") as port:
        results["silent_app_server"] = probe(bin_dir, "127.0.0.1:%d" % port, "--hold", str(hold))
    return results


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--bin", required=True, help="folder of vop-appserver and bench_wait_gaps")
    parser.add_argument("--entries", type=int, default=100000)
    parser.add_argument("--hold", type=int, default=2000, help="ms the silent servers are waited on")
    args = parser.parse_args()
    results = run(os.path.abspath(args.bin), args.entries, args.hold)
    for name, result in results.items():
        print("%-18s longest gap %4d ms (open %d ms)" % (name, result["longest_gap_ms"], result["open_ms"]))
    print(json.dumps(results))


if __name__ == "__main__":
    main()

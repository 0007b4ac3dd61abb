"""Transfers over loopback in active mode against one FTP fixture: the screen's worker (driven
headless by bench_transfer_probe, timed inside the host process from the click until the worker
has ended) side by side with curl (-P -) and lftp (passive mode off), runs alternating.

    /usr/bin/python3 bench/transfer/transfer_bench.py --bin build/release/bin [--size-mib 1024] [--rounds 3]

Throughput in MB/s (10^6 bytes); curl and lftp are timed around their whole process, which also
covers their start, connection and log-in, as the worker's time covers its own and its reloads."""

import argparse
import ftplib
import io
import json
import os
import shutil
import pathlib
import statistics
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from bench_world import PEER_DIR, SERVERS, BenchWorld  # noqa: E402

BIG_NAME = "bench-1gib.bin"
UPLOAD_NAME = "bench-up.bin"
TOOLS = ("ours", "curl", "lftp")


def host_env():
    env = os.environ.copy()
    env["QT_QPA_PLATFORM"] = "offscreen"
    env.setdefault("LC_ALL", "pt_BR.UTF-8")
    return env


def write_file(path, size):
    """size bytes of random data (a 16 MiB random block repeated: the contents do not matter to FTP)."""
    block = os.urandom(16 * 1024 * 1024)
    with open(path, "wb") as out:
        left = size
        while left > 0:
            out.write(block[:min(left, len(block))])
            left -= len(block)


def nfe_xml(index, size):
    """A well-formed invoice of exactly size bytes: whole items, then blanks."""
    head = ('<?xml version="1.0" encoding="UTF-8"?><nfeProc versao="4.00"><NFe><infNFe Id="NFe%044d">'
            % index).encode()
    tail = b"</infNFe></NFe></nfeProc>\n"
    item = b"<det><prod><xProd>PRODUTO DE TESTE</xProd><vProd>10.00</vProd></prod></det>"
    items = max(0, (size - len(head) - len(tail)) // len(item))
    body = item * items
    return head + body + b" " * (size - len(head) - len(body) - len(tail)) + tail


class Runner:
    def __init__(self, bin_dir, world, limit_s=600, peer_nice=0, env=None):
        # What the screen keeps for its user (trust, the protocol log) stays in the run's scratch,
        # unless the caller chose where.
        self.env = env or dict(host_env(), XDG_DATA_HOME=str(world.scratch / "data"),
                               XDG_STATE_HOME=str(world.scratch / "state"))
        self.bin_dir = pathlib.Path(bin_dir)
        self.world = world
        self.limit_s = limit_s
        self.peer_nice = peer_nice  # the worker thread runs one nice step below its process: the same for curl and lftp, if asked

    def ours(self, *args):
        command = [str(self.bin_dir / "bench_transfer_probe"), "--server", self.world.server,
                   "--limit", str(self.limit_s), *map(str, args)]
        done = subprocess.run(command, capture_output=True, text=True, env=self.env, timeout=self.limit_s + 60,
                              stdin=subprocess.DEVNULL)
        lines = [line for line in done.stdout.splitlines() if line.startswith("{")]
        if done.returncode != 0 or not lines:
            raise RuntimeError("bench_transfer_probe %s failed (exit %d): %s %s"
                               % (args[0], done.returncode, done.stdout.strip(), done.stderr.strip()))
        return json.loads(lines[-1])

    def script(self, lines):
        """vop-host running a --script, timed around its whole process."""
        script = self.world.scratch / "bench-script.txt"
        script.write_text("\n".join(lines) + "\n", encoding="utf-8")
        start = time.perf_counter()
        done = subprocess.run([str(self.bin_dir / "vop-host"), "--script", str(script), "--server", self.world.server],
                              capture_output=True, text=True, env=self.env, timeout=self.limit_s, stdin=subprocess.DEVNULL)
        seconds = time.perf_counter() - start
        dumps = [json.loads(line) for line in done.stdout.splitlines() if line.startswith("{")]
        if done.returncode != 0 or not dumps:
            raise RuntimeError("vop-host --script failed (exit %d): %s" % (done.returncode, done.stderr.strip()))
        return seconds, dumps[-1]

    def timed(self, command, cwd=None):
        if self.peer_nice:
            command = ["nice", "-n", str(self.peer_nice), *command]
        start = time.perf_counter()
        done = subprocess.run(command, capture_output=True, text=True, timeout=self.limit_s, cwd=cwd,
                              stdin=subprocess.DEVNULL)
        seconds = time.perf_counter() - start
        if done.returncode != 0:
            raise RuntimeError("%s failed (exit %d): %s" % (command[0], done.returncode, done.stderr.strip()))
        return seconds

    def curl(self, *args):
        return self.timed(["curl", "-sS", "--fail", "-P", "-", "--user", "%s:%s" % (self.world.user, self.world.password), *args])

    def lftp(self, commands, cwd=None):
        script = ("set ftp:passive-mode off; set ftp:ssl-allow no; set net:max-retries 1; set net:timeout 30; "
                  "set xfer:clobber on; open -u %s,%s ftp://%s; %s" % (self.world.user, self.world.password, self.world.ftp_host,
                                                                    commands))
        return self.timed(["lftp", "-c", script], cwd=cwd)

    def bare_receiver(self):
        return self.bin_dir / "bench_splice_receiver"

    def bare(self, name, target, reserve=None):
        """The machine's limit: socket -> pipe -> file and nothing else, timed around its process;
        with reserve, the file's room taken first, as our worker does."""
        return self.timed([str(self.bare_receiver()), self.world.ftp_host, self.world.user, self.world.password,
                           "/%s/%s" % (PEER_DIR, name), str(target)] + ([str(reserve)] if reserve else []))

    def url(self, name):
        return "ftp://%s/%s/%s" % (self.world.ftp_host, PEER_DIR, name)


def settle():
    """Writes dirty pages out before a timed run: otherwise the writeback of earlier runs' gigabytes
    throttles whichever tool happens to run when it starts (outside the timings)."""
    os.sync()


def prime_memory(folder, size):
    """Writes size bytes in 1 MiB blocks into a scratch file and removes it (untimed), before each
    timed transfer of the big file. On this virtual machine the first program to write a gigabyte
    after another's gigabyte of small writes (curl's, lftp's, a server's upload) pays seconds for
    memory the host has taken back; whichever tool was timed next drew that cost. The priming write
    takes it, and every tool starts alike."""
    scratch = pathlib.Path(folder) / ".prime"
    block = b"\1" * (1 << 20)
    with open(scratch, "wb") as out:
        for _ in range(max(1, size >> 20)):
            out.write(block)
    scratch.unlink()


def rotate(items, by):
    by %= len(items)
    return list(items[by:]) + list(items[:by])


def summary(seconds, size, probes):
    """Median figures per tool and our GUI figures (worst over our runs)."""
    figures = {tool: {"runs_s": runs, "median_s": statistics.median(runs),
                      "mb_per_s": size / 1e6 / statistics.median(runs)} for tool, runs in seconds.items()}
    if probes:
        figures["gui"] = {"max_gui_gap_ms": max(p["max_gui_gap_ms"] for p in probes),
                          "bar_updates_per_s": min(p["bar_updates_per_s"] for p in probes),
                          "max_bar_gap_ms": max(p["max_bar_gap_ms"] for p in probes)}
    return figures


def bench_single(runner, size, rounds):
    """The big file down and up, each tool once per round, in a rotating order."""
    world = runner.world
    source = world.home / BIG_NAME
    write_file(source, size)
    os.link(source, world.peer / BIG_NAME)  # one file, two names: curl and lftp use the ASCII one
    out = world.scratch / "out"
    out.mkdir()
    target = out / BIG_NAME
    upload_source = world.local / UPLOAD_NAME
    write_file(upload_source, size)

    down = {tool: [] for tool in TOOLS}
    up = {tool: [] for tool in TOOLS}
    down_probes, up_probes = [], []
    for round_index in range(rounds):
        for tool in rotate(TOOLS, round_index):
            seconds, probe = download_once(runner, tool, target, size)
            down[tool].append(seconds)
            if probe:
                down_probes.append(probe)
        for tool in rotate(TOOLS, round_index):
            prime_memory(out, size)
            settle()
            if tool == "ours":
                probe = runner.ours("upload", upload_source)
                check(probe, None, size)
                up_probes.append(probe)
                up[tool].append(probe["seconds"])
                landed = world.home / UPLOAD_NAME
            elif tool == "curl":
                up[tool].append(runner.curl("-T", str(upload_source), runner.url(UPLOAD_NAME)))
                landed = world.peer / UPLOAD_NAME
            else:
                up[tool].append(runner.lftp("put %s -o %s/%s" % (upload_source, PEER_DIR, UPLOAD_NAME)))
                landed = world.peer / UPLOAD_NAME
            check_size(landed, size, tool + " upload")
            landed.unlink()
    download = summary(down, size, down_probes)
    if runner.bare_receiver().exists():
        # Two rounds more than the rest: the ratio to the limit is the closest call of the table.
        download.update(against_the_limit(runner, target, size, rounds + 2))
    return {"download": download, "upload": summary(up, size, up_probes)}


def download_once(runner, tool, target, size):
    """One timed download of the big file by tool ("ours", "curl", "lftp", "bare" or
    "bare_reserved"), checked and removed: its seconds, and ours' probe figures (None for the others)."""
    prime_memory(target.parent, size)
    settle()
    probe = None
    if tool == "ours":
        probe = runner.ours("download", BIG_NAME, target)
        check(probe, target, size)
        seconds = probe["seconds"]
    elif tool in ("bare", "bare_reserved"):
        seconds = runner.bare(BIG_NAME, target, size if tool == "bare_reserved" else None)
    elif tool == "curl":
        seconds = runner.curl("-o", str(target), runner.url(BIG_NAME))
    else:
        seconds = runner.lftp("get %s/%s -o %s" % (PEER_DIR, BIG_NAME, target))
    check_size(target, size, tool + " download")
    target.unlink()
    return seconds, probe


def against_the_limit(runner, target, size, rounds):
    """Ours and the bare receiver in turn, nothing else between them. On this virtual machine a run
    that follows curl's or lftp's gigabyte of write calls now and then takes seconds instead of
    tenths, whichever program it is; alternating these alone keeps the ratio to the machine's
    limit from depending on which of them drew such a run. The receiver runs a second time taking
    the file's room first, as ours does: the limit for that way of writing, shown beside it."""
    runs = {"ours_paired": [], "bare": [], "bare_reserved": []}
    for round_index in range(rounds):
        for tool in rotate(("ours", "bare", "bare_reserved"), round_index):
            runs["ours_paired" if tool == "ours" else tool].append(download_once(runner, tool, target, size)[0])
    return summary(runs, size, [])


def bench_many(runner, count, file_size, rounds):
    """count small XML files up, ours against lftp mput (one file at a time, as ours sends them); ours
    also as a user's session runs it, vop-host --script timed around its process, less the same
    process that only opens the screen and quits (its start, log-in and end)."""
    world = runner.world
    local = world.local / "many"
    local.mkdir()
    for i in range(count):
        (local / ("35240112345678000190550010%09d1%08d-nfe.xml" % (i, i))).write_bytes(nfe_xml(i, file_size))
    seconds = {"ours": [], "lftp": [], "relist": [], "script": [], "script_process": []}
    probes = []
    sources = ";".join(str(local / name) for name in sorted(os.listdir(local)))
    for round_index in range(rounds):
        for tool in rotate(("ours", "lftp", "relist", "script"), round_index):
            settle()
            if tool == "script":
                opened, _ = runner.script(["open", "dump"])
                whole, dump = runner.script(["open", "answer open " + sources, "click btnUpload", "wait idle 600000", "dump"])
                status = dump["screen"]["status"][1]
                if not status.startswith("Transferência Completa"):
                    raise RuntimeError("the script's upload did not complete: %s" % status)
                seconds["script_process"].append(whole)
                seconds[tool].append(whole - opened)
                landed = world.home
            elif tool == "relist":
                seconds[tool].append(relisting_floor(world, local))
                landed = world.peer
            elif tool == "ours":
                probe = runner.ours("upload", local)
                check(probe, None, count * file_size)
                probes.append(probe)
                seconds[tool].append(probe["seconds"])
                landed = world.home
            else:
                seconds[tool].append(runner.lftp("cd %s; mput *.xml" % PEER_DIR, cwd=local))
                landed = world.peer
            sent = [n for n in os.listdir(landed) if n.endswith("-nfe.xml")]
            if len(sent) != count:
                raise RuntimeError("%s sent %d of %d files" % (tool, len(sent), count))
            world.clear(landed)
    figures = summary(seconds, count * file_size, probes)
    figures["files"] = count
    return figures


def bench_batch(runner, count, file_size, rounds):
    """count small XML files down in one batch job (no reload between files), ours against lftp mget."""
    world = runner.world
    for folder in (world.home, world.peer):
        for i in range(count):
            (folder / ("35240112345678000190550010%09d1%08d-nfe.xml" % (i, i))).write_bytes(nfe_xml(i, file_size))
    seconds = {"ours": [], "lftp": []}
    probes = []
    for round_index in range(rounds):
        for tool in rotate(("ours", "lftp"), round_index):
            target = world.local / ("batch-%s-%d" % (tool, round_index))
            target.mkdir()
            settle()
            if tool == "ours":
                probe = runner.ours("batch", target)
                check(probe, None, count * file_size)
                probes.append(probe)
                seconds[tool].append(probe["seconds"])
            else:
                seconds[tool].append(runner.lftp("cd %s; mget *.xml" % PEER_DIR, cwd=target))
            got = [n for n in os.listdir(target) if n.endswith("-nfe.xml")]
            if len(got) != count:
                raise RuntimeError("%s received %d of %d files" % (tool, len(got), count))
            shutil.rmtree(target)
    figures = summary(seconds, count * file_size, probes)
    figures["files"] = count
    return figures


def relisting_floor(world, local):
    """What the same server takes for the screen's per-file sequence, by a minimal client: STOR on
    one session, then on another the reload the screen does after each file (CWD, PWD, PWD, LIST).
    No client that reloads after every file can be faster than this."""
    names = sorted(os.listdir(local))
    contents = [(name, (local / name).read_bytes()) for name in names]
    sender, screen = ftplib.FTP(encoding="latin-1"), ftplib.FTP(encoding="latin-1")
    for session in (sender, screen):
        session.connect(world.ftp_host, 21, timeout=30)
        session.login(world.user, world.password)
        session.set_pasv(False)
    sender.cwd(PEER_DIR)
    start = time.perf_counter()
    for name, data in contents:
        sender.storbinary("STOR " + name, io.BytesIO(data))
        screen.cwd("/" + PEER_DIR)
        screen.pwd()
        screen.pwd()
        screen.retrlines("LIST", lambda line: None)
    seconds = time.perf_counter() - start
    for session in (sender, screen):
        session.quit()
    return seconds


def check(probe, path, size):
    if not probe.get("ok"):
        raise RuntimeError("our %s did not complete: %s" % (probe.get("job"), probe))
    if probe["bytes"] != size:
        raise RuntimeError("our %s moved %d bytes, expected %d" % (probe["job"], probe["bytes"], size))
    if path is not None:
        check_size(path, size, "our download")


def check_size(path, size, what):
    actual = os.path.getsize(path) if os.path.exists(path) else -1
    if actual != size:
        raise RuntimeError("%s: %s has %d bytes, expected %d" % (what, path, actual, size))


HOSTS = {"pyftpdlib": "127.0.86.1", "vsftpd": "127.0.86.2"}


def run(bin_dir, size_mib=1024, rounds=3, many=1000, many_rounds=2, ftp_host=None, scratch=None,
        peer_nice=0, server="pyftpdlib"):
    os.environ["VOP_BIN_DIR"] = str(bin_dir)
    ftp_host = ftp_host or HOSTS[server]
    results = {"server": server}

    def world():
        return BenchWorld(ftp_host, scratch, server)

    with world() as w:
        results.update(bench_single(Runner(bin_dir, w, peer_nice=peer_nice), size_mib * 1024 * 1024, rounds))
    if many:
        with world() as w:
            results["many"] = bench_many(Runner(bin_dir, w, peer_nice=peer_nice), many, 20 * 1024, many_rounds)
        with world() as w:
            results["batch"] = bench_batch(Runner(bin_dir, w, peer_nice=peer_nice), many, 20 * 1024,
                                           max(many_rounds, 5))
    return results


def run_one(bin_dir, which, server, size_mib, rounds, many, many_rounds, peer_nice):
    """One benchmark against one server (for tuning a single figure)."""
    os.environ["VOP_BIN_DIR"] = str(bin_dir)
    with BenchWorld(HOSTS[server], None, server) as w:
        runner = Runner(bin_dir, w, peer_nice=peer_nice)
        if which == "single":
            return bench_single(runner, size_mib * 1024 * 1024, rounds)
        if which == "many":
            return bench_many(runner, many, 20 * 1024, many_rounds)
        return bench_batch(runner, many, 20 * 1024, max(many_rounds, 5))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--bin", required=True, help="folder of vop-appserver and bench_transfer_probe")
    parser.add_argument("--size-mib", type=int, default=1024)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--many", type=int, default=1000, help="files of the many-file upload (0: skip it)")
    parser.add_argument("--many-rounds", type=int, default=2)
    parser.add_argument("--peer-nice", type=int, default=0, help="run curl and lftp at this nice value (the worker: 1)")
    parser.add_argument("--server", choices=SERVERS, default="pyftpdlib")
    parser.add_argument("--only", choices=("single", "many", "batch"), help="one benchmark only")
    args = parser.parse_args()
    if args.only:
        print(json.dumps(run_one(os.path.abspath(args.bin), args.only, args.server, args.size_mib, args.rounds,
                                 args.many, args.many_rounds, args.peer_nice), indent=1))
        return
    print(json.dumps(run(os.path.abspath(args.bin), args.size_mib, args.rounds, args.many, args.many_rounds,
                         peer_nice=args.peer_nice, server=args.server), indent=1))


if __name__ == "__main__":
    main()

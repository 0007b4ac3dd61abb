"""FTP over TLS on loopback against Debian's vsftpd requiring it (session reuse included): the big
file down and up by the screen's worker (active mode: we accept, then act as the TLS client), curl
(--ssl-reqd, passive: its active mode over TLS hangs until its time-out) and lftp (ftp:ssl-force,
passive), in rotating rounds; and the download in turn with the bare TLS receiver (bench_tls_receiver:
log in, AUTH TLS, PROT P, RETR, decrypt into the file, nothing else). The certificate is trusted for
the screen beforehand, as "Confiar sempre" leaves it.

    /usr/bin/python3 bench/transfer/tls_bench.py --bin build/release/bin [--size-mib 1024] [--rounds 5]"""

import argparse
import json
import os
import pathlib
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from bench_world import PEER_DIR, BenchWorld  # noqa: E402
from certificates import self_signed  # noqa: E402  (tests/fixtures, on the path through bench_world)
from transfer_bench import (BIG_NAME, UPLOAD_NAME, Runner, check, check_size, download_once, host_env,  # noqa: E402
                            prime_memory, rotate, settle, summary, write_file)

HOST = "127.0.86.4"
TOOLS = ("ours", "curl", "lftp")


class TlsRunner(Runner):
    def curl(self, *args):
        return self.timed(["curl", "-sS", "--fail", "--ssl-reqd", "-k", "--user",
                           "%s:%s" % (self.world.user, self.world.password), *args])

    def lftp(self, commands, cwd=None):
        script = ("set ftp:ssl-force true; set ftp:ssl-protect-data true; set ssl:verify-certificate no; "
                  "set ftp:passive-mode on; set net:max-retries 1; set net:timeout 30; set xfer:clobber on; "
                  "open -u %s,%s ftp://%s; %s" % (self.world.user, self.world.password, self.world.ftp_host, commands))
        return self.timed(["lftp", "-c", script], cwd=cwd)

    def bare(self, name, target, reserve=None):
        return self.timed([str(self.bin_dir / "bench_tls_receiver"), self.world.ftp_host, self.world.user,
                           self.world.password, "/%s/%s" % (PEER_DIR, name), str(target)])


def once(runner, tool, job, size, target, source):
    if job == "download":
        return download_once(runner, tool, target, size)
    world = runner.world
    prime_memory(target.parent, size)
    settle()
    probe = None
    if tool == "ours":
        probe = runner.ours("upload", source)
        check(probe, None, size)
        seconds, landed = probe["seconds"], world.home / UPLOAD_NAME
    elif tool == "curl":
        # Under TLS 1.3 curl closes an upload's data connection with the server's tickets unread, and
        # the kernel's reset then now and then reaches vsftpd before its last reads ("426 Failure
        # reading network stream"); over TLS 1.2 no ticket comes on the data connection.
        seconds = runner.curl("--tls-max", "1.2", "-T", str(source), runner.url(UPLOAD_NAME))
        landed = world.peer / UPLOAD_NAME
    else:
        seconds = runner.lftp("put %s -o %s/%s" % (source, PEER_DIR, UPLOAD_NAME))
        landed = world.peer / UPLOAD_NAME
    check_size(landed, size, tool + " upload")
    landed.unlink()
    return seconds, probe


def aes_gcm_speed():
    """The machine's AES-128-GCM figure for 16 KiB blocks (MB/s), as openssl speed prints it."""
    done = subprocess.run(["openssl", "speed", "-evp", "aes-128-gcm", "-seconds", "1", "-bytes", "16384"],
                          capture_output=True, text=True)
    for line in done.stdout.splitlines():
        if line.lower().startswith("aes-128-gcm"):
            return float(line.split()[-1].rstrip("k")) * 1000 / 1e6
    return None


def run(bin_dir, size_mib=1024, rounds=5, scratch=None):
    size = size_mib * 1024 * 1024
    keys = pathlib.Path(tempfile.mkdtemp(prefix="vop-tls-bench-"))
    tls, fingerprint = self_signed(keys, HOST)
    home = keys / "home"
    trust = home / "data" / "vop31600"
    trust.mkdir(parents=True)
    (trust / "trusted_servers.json").write_text(json.dumps(
        {"servers": {HOST + ":21": {"fingerprint": fingerprint, "tls": True}}}))
    env = dict(host_env(), XDG_DATA_HOME=str(home / "data"), XDG_STATE_HOME=str(home / "state"))
    results = {"server": "vsftpd+tls", "aes_128_gcm_mb_per_s": aes_gcm_speed()}
    with BenchWorld(HOST, scratch, "vsftpd", tls=tls) as world:
        runner = TlsRunner(bin_dir, world, env=env)
        source = world.home / BIG_NAME
        write_file(source, size)
        os.link(source, world.peer / BIG_NAME)
        out = world.scratch / "out"
        out.mkdir()
        target = out / BIG_NAME
        upload_source = world.local / UPLOAD_NAME
        write_file(upload_source, size)
        for job in ("download", "upload"):
            runs = {tool: [] for tool in TOOLS}
            probes = []
            for round_index in range(rounds):
                for tool in rotate(TOOLS, round_index):
                    seconds, probe = once(runner, tool, job, size, target, upload_source)
                    runs[tool].append(seconds)
                    if probe:
                        probes.append(probe)
            results[job] = summary(runs, size, probes)
        paired = {"ours_paired": [], "bare": []}
        for round_index in range(rounds):
            for tool in rotate(("ours", "bare"), round_index):
                paired["ours_paired" if tool == "ours" else tool].append(
                    once(runner, tool, "download", size, target, upload_source)[0])
        results["download"].update(summary(paired, size, []))
    return results


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--bin", required=True)
    parser.add_argument("--size-mib", type=int, default=1024)
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()
    os.environ["VOP_BIN_DIR"] = os.path.abspath(args.bin)
    print(json.dumps(run(os.path.abspath(args.bin), args.size_mib, args.rounds), indent=1))


if __name__ == "__main__":
    main()

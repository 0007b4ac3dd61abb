"""The directory's summary against a real FTP server (vsftpd when it can run, else the pyftpdlib
fixture): 1,000 signed invoices of about 8 KB read by the real screen, the first time (target
<= 2 s) and again from the cache (<= 0.2 s), the grid's longest stall meanwhile (< 50 ms); and the
signature check of one of them alone (<= 1 ms). bench_summary and bench_signature measure it; the
invoices chain to a root installed for the run, as on a machine with the roots in place.

    /usr/bin/python3 bench/summary/summary_bench.py --bin build/release/bin [--files 1000] [--server vsftpd]"""

import argparse
import json
import os
import pathlib
import random
import subprocess
import sys
import tempfile

REPO = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "bench" / "transfer"))
sys.path.insert(0, str(REPO / "tests" / "fixtures"))
sys.path.insert(0, str(REPO / "scripts"))
import make_demo_store as store  # noqa: E402
import nfe_signing  # noqa: E402
import vsftpd_server  # noqa: E402
from bench_world import BenchWorld  # noqa: E402

CNPJ = "12345678000195"
TARGET_BYTES = 8 * 1024


def signed_invoices(count):
    """name -> text: invoices of about 8 KB once signed (a few item lines more than the demo's)."""
    root = nfe_signing.make_authority("Raiz de Medição")
    signer = nfe_signing.make_holder(root, "EMITENTE DE TESTE LTDA", CNPJ)
    rng = random.Random(31600)
    files = {}
    for number in range(1, count + 1):
        key = store.nfe_key(35, "2403", CNPJ, 1, number, number)
        text = store.nfe_xml(key, "Emitente de Teste", CNPJ, 35, 2024, 3, 1 + number % 28, number, 1, rng)
        item = text[text.index("    <det "):text.index("</det>") + 6]
        signature = 2300  # what the signature and the certificate add
        more = max(0, (TARGET_BYTES - signature - len(text.encode())) // len(item.encode()))
        text = text.replace(item, "\n".join([item] * (more + 1)), 1)
        files[key + "-nfe.xml"] = nfe_signing.sign(text, signer)
    return root, files


def run_signature(bin_dir, invoice, roots):
    program = pathlib.Path(bin_dir) / "bench_signature"
    done = subprocess.run([str(program), "--benchmark_format=json", str(invoice), str(roots)], capture_output=True,
                          text=True, timeout=300)
    if done.returncode != 0:
        raise RuntimeError("bench_signature failed: %s" % done.stderr.strip())
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
    return {b["name"]: b["real_time"] * scale[b["time_unit"]] for b in json.loads(done.stdout)["benchmarks"]
            if b.get("run_type") != "aggregate"}


def run(bin_dir, files=1000, server=None, ftp_host="127.0.86.11"):
    server = server or ("vsftpd" if vsftpd_server.available() else "pyftpdlib")
    os.environ["VOP_BIN_DIR"] = str(bin_dir)
    root, invoices = signed_invoices(files)
    with tempfile.TemporaryDirectory(prefix="vop-summary-bench-") as scratch:
        data = pathlib.Path(scratch) / "data"
        roots = data / "vop31600" / "icp-brasil"
        roots.mkdir(parents=True)
        (roots / "raiz.pem").write_bytes(root.cert_pem())
        with BenchWorld(ftp_host, server=server) as world:
            for name, text in invoices.items():
                (world.home / name).write_text(text, encoding="utf-8")
            env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_DATA_HOME=str(data),
                       XDG_STATE_HOME=str(pathlib.Path(scratch) / "state"))
            env.setdefault("LC_ALL", "pt_BR.UTF-8")
            done = subprocess.run([str(pathlib.Path(bin_dir) / "bench_summary"), "--server", world.server],
                                  capture_output=True, text=True, env=env, timeout=600, stdin=subprocess.DEVNULL)
        lines = [line for line in done.stdout.splitlines() if line.startswith("{")]
        if done.returncode != 0 or not lines:
            raise RuntimeError("bench_summary failed (exit %d): %s %s" % (done.returncode, done.stdout, done.stderr))
        figures = json.loads(lines[-1])
        invoice = pathlib.Path(scratch) / "nota.xml"
        invoice.write_text(next(iter(invoices.values())), encoding="utf-8")
        figures["signature"] = run_signature(bin_dir, invoice, roots)
    figures["server"] = server
    figures["invoice_bytes"] = round(sum(len(t.encode()) for t in invoices.values()) / len(invoices))
    if figures["notas"] != files or figures["autorizadas"] != files or figures["error"]:
        raise RuntimeError("the summary did not count every invoice as authorised: %s" % figures)
    return figures


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--bin", required=True, help="folder of vop-appserver, bench_summary and bench_signature")
    parser.add_argument("--files", type=int, default=1000)
    parser.add_argument("--server", choices=("vsftpd", "pyftpdlib"))
    args = parser.parse_args()
    print(json.dumps(run(os.path.abspath(args.bin), args.files, args.server)))


if __name__ == "__main__":
    main()

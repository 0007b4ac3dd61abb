"""The NF-e details window following the grid: 100 moves by the arrow key in a directory of 1,000
XML invoices; the grid must never stall over 50 ms and each row's details must show within 100 ms
of its key press. bench_details_moves measures it.

    /usr/bin/python3 bench/latency/details_bench.py --bin build/release/bin [--files 1000] [--moves 100]"""

import argparse
import json
import os
import pathlib
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "transfer"))
from bench_world import BenchWorld  # noqa: E402

INVOICE = ('<?xml version="1.0" encoding="UTF-8"?>'
           '<nfeProc xmlns="http://www.portalfiscal.inf.br/nfe" versao="4.00"><NFe><infNFe Id="NFe{key}" versao="4.00">'
           '<ide><cUF>35</cUF><mod>55</mod><serie>1</serie><nNF>{number}</nNF>'
           '<dhEmi>2024-03-15T10:00:00-03:00</dhEmi></ide>'
           '<emit><CNPJ>12345678000190</CNPJ><xNome>Emitente de Teste</xNome></emit>'
           '<dest><CNPJ>98765432000110</CNPJ><xNome>Destinatario de Teste</xNome></dest>'
           '<total><ICMSTot><vNF>{number}.50</vNF></ICMSTot></total></infNFe></NFe>'
           '<protNFe versao="4.00"><infProt><nProt>135{number:012d}</nProt><dhRecbto>2024-03-15T10:01:00-03:00</dhRecbto>'
           '<cStat>100</cStat><xMotivo>Autorizado o uso da NF-e</xMotivo></infProt></protNFe></nfeProc>\n')


def run(bin_dir, files=1000, moves=100, ftp_host="127.0.86.9"):
    os.environ["VOP_BIN_DIR"] = str(bin_dir)
    with BenchWorld(ftp_host) as world:
        for i in range(files):
            key = "352403123456780001905500100%09d1%07d" % (i, i)
            (world.home / ("%s-nfe.xml" % key)).write_text(INVOICE.format(key=key, number=i + 1), encoding="utf-8")
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        env.setdefault("LC_ALL", "pt_BR.UTF-8")
        done = subprocess.run([str(pathlib.Path(bin_dir) / "bench_details_moves"), "--server", world.server,
                               "--moves", str(moves)], capture_output=True, text=True, env=env, timeout=300,
                              stdin=subprocess.DEVNULL)
    lines = [line for line in done.stdout.splitlines() if line.startswith("{")]
    if done.returncode != 0 or not lines:
        raise RuntimeError("bench_details_moves failed (exit %d): %s %s" % (done.returncode, done.stdout, done.stderr))
    return json.loads(lines[-1])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--bin", required=True, help="folder of vop-appserver and bench_details_moves")
    parser.add_argument("--files", type=int, default=1000)
    parser.add_argument("--moves", type=int, default=100)
    args = parser.parse_args()
    print(json.dumps(run(os.path.abspath(args.bin), args.files, args.moves)))


if __name__ == "__main__":
    main()

"""The benchmark drivers: their figures and verdicts, and a small real run of every probe and peer
against the real servers (root: the FTP fixture listens on port 21)."""

import importlib.machinery
import importlib.util
import io
import os
import pathlib
import sys
import xml.etree.ElementTree as ElementTree
from contextlib import redirect_stdout

import pytest

HERE = pathlib.Path(__file__).resolve().parent
REPO = HERE.parents[1]
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(REPO / "tests" / "fixtures"))
sys.path.insert(0, str(REPO / "bench" / "latency"))

import latency_bench  # noqa: E402
import tls_bench  # noqa: E402
import transfer_bench  # noqa: E402
import vsftpd_server  # noqa: E402

BIN_DIR = pathlib.Path(os.environ.get("VOP_BIN_DIR", REPO / "build" / "release" / "bin"))


def load_report():
    loader = importlib.machinery.SourceFileLoader("bench_report", str(REPO / "scripts" / "bench"))
    spec = importlib.util.spec_from_loader("bench_report", loader)
    module = importlib.util.module_from_spec(spec)
    loader.exec_module(module)
    return module


def probe(gap, rate, bar_gap):
    return {"max_gui_gap_ms": gap, "bar_updates_per_s": rate, "max_bar_gap_ms": bar_gap}


def test_summary_takes_medians_and_the_worst_gui_figures():
    figures = transfer_bench.summary({"ours": [2.0, 1.0, 4.0], "curl": [3.0]}, 10_000_000,
                                     [probe(12, 30, 40), probe(55, 11, 90), probe(8, 40, 33)])
    assert figures["ours"]["median_s"] == 2.0 and figures["ours"]["mb_per_s"] == 5.0
    assert figures["curl"]["mb_per_s"] == pytest.approx(10 / 3)
    assert figures["gui"] == probe(55, 11, 90)
    assert "gui" not in transfer_bench.summary({"lftp": [1.0]}, 1, [])


def test_generated_files_have_the_exact_size_and_the_invoices_parse():
    for size in (20 * 1024, 1000, 70 * 3):
        data = transfer_bench.nfe_xml(7, size)
        assert len(data) == size
        assert ElementTree.fromstring(data).tag == "nfeProc"


def test_big_file_of_a_size_that_is_no_multiple_of_the_block(tmp_path):
    path = tmp_path / "big.bin"
    transfer_bench.write_file(path, 16 * 1024 * 1024 + 5)
    assert path.stat().st_size == 16 * 1024 * 1024 + 5


def test_rotation_puts_every_tool_first_once():
    firsts = [transfer_bench.rotate(transfer_bench.TOOLS, r)[0] for r in range(3)]
    assert sorted(firsts) == sorted(transfer_bench.TOOLS)


def transfers(ours_down, curl_down, lftp_down, ours_up, curl_up, gap=10.0, rate=20.0, many=(3.0, 2.5),
              bare=(1.0, 0.95), server="vsftpd"):
    def job(ours, curl, lftp):
        return {"ours": {"mb_per_s": ours, "median_s": 1, "runs_s": [1]},
                "curl": {"mb_per_s": curl, "median_s": 1, "runs_s": [1]},
                "lftp": {"mb_per_s": lftp, "median_s": 1, "runs_s": [1]},
                "gui": probe(gap, rate, 30)}
    download = job(ours_down, curl_down, lftp_down)
    download["ours"]["median_s"], download["bare"] = bare[0], {"median_s": bare[1], "runs_s": [bare[1]]}
    return {"server": server, "download": download, "upload": job(ours_up, curl_up, 100),
            "many": {"files": 1000, "ours": {"median_s": many[0]}, "lftp": {"median_s": 1.0},
                     "relist": {"median_s": many[1]}, "gui": probe(gap, rate, 30)}}


def verdicts(figures):
    report = load_report()
    table = report.Table()
    report.transfer_rows(table, figures, 1024)
    return {row[0].strip(): row[5] for row in table.rows}


def test_verdicts_follow_the_targets():
    floor = "same server, STOR + reload per file, minimal client (s)"
    bare = "bare splice receiver, same file, in turn with ours (s; ours' time / its time)"
    met = verdicts(transfers(ours_down=1200, curl_down=1000, lftp_down=1200, ours_up=600, curl_up=500))
    assert met["1024 MiB download, active (MB/s, median)"] == "yes"
    assert met["1024 MiB upload, active (MB/s, median)"] == "yes"
    assert met[bare] == "yes" and met[floor] == "yes"
    assert set(met[k] for k in met if k.startswith(("GUI", "progress")) and "reload" not in k) == {"yes"}
    assert met["GUI longest block during it (ms; one reload)"] == ""  # a figure, not a target

    # 1.2x curl is not enough when lftp is faster still; an upload short of 1.2x curl fails, and so
    # do a download 11 % over the bare receiver and many files 21 % over the floor.
    met = verdicts(transfers(ours_down=1200, curl_down=1000, lftp_down=1300, ours_up=599, curl_up=500,
                             gap=50.5, rate=9.9, many=(3.03, 2.5), bare=(1.11, 1.0)))
    assert met["1024 MiB download, active (MB/s, median)"] == "NO"
    assert met["1024 MiB upload, active (MB/s, median)"] == "NO"
    assert met[bare] == "NO" and met[floor] == "NO"
    assert set(met[k] for k in met if k.startswith(("GUI", "progress")) and "reload" not in k) == {"NO"}

    # A receiver whose own median is far above its fastest run is no limit to judge by.
    figures = transfers(ours_down=1200, curl_down=1000, lftp_down=1200, ours_up=600, curl_up=500, bare=(1.0, 2.0))
    figures["download"]["bare"]["runs_s"] = [0.5, 2.0, 2.4]
    assert verdicts(figures)[bare] == "unsteady"

    # The Python fixture is shown, not judged.
    met = verdicts(transfers(ours_down=1, curl_down=1000, lftp_down=1300, ours_up=1, curl_up=500, server="pyftpdlib"))
    assert met["1024 MiB upload, active (MB/s, median)"] == "" and met[floor] == ""


def test_table_columns_line_up():
    report = load_report()
    table = report.Table()
    table.add("a figure", "1.0", "2 / 3", "0.50x", "< 2", True)
    table.add("another, longer figure", "10.0")
    out = io.StringIO()
    with redirect_stdout(out):
        table.print()
    lines = out.getvalue().splitlines()
    assert lines[0].index("Ours") == lines[2].index("1.0") == lines[3].index("10.0")
    assert lines[2].endswith("yes")


needs_programs = pytest.mark.skipif(not (BIN_DIR / "bench_transfer_probe").exists() or os.geteuid() != 0,
                                    reason="needs the built probes and root for port 21")


@needs_programs
@pytest.mark.parametrize("server, host", [("pyftpdlib", "127.0.86.201"), ("vsftpd", "127.0.86.204")])
def test_small_real_run_of_every_tool(tmp_path, server, host):
    if server == "vsftpd" and not vsftpd_server.available():
        pytest.skip("vsftpd is not installed")
    figures = transfer_bench.run(BIN_DIR, size_mib=2, rounds=1, many=5, many_rounds=1, ftp_host=host,
                                 scratch=str(tmp_path), server=server)
    assert set(figures["download"]) == {"ours", "curl", "lftp", "ours_paired", "bare", "bare_reserved", "gui"}
    assert set(figures["upload"]) == {"ours", "curl", "lftp", "gui"}
    for job in ("download", "upload"):
        assert all(figures[job][t]["mb_per_s"] > 0 for t in ("ours", "curl", "lftp"))
        assert figures[job]["gui"]["max_gui_gap_ms"] > 0
    assert figures["many"]["files"] == 5 and figures["many"]["ours"]["median_s"] > 0
    assert figures["many"]["relist"]["median_s"] > 0 and figures["batch"]["files"] == 5
    assert os.listdir(tmp_path) == []  # stores and local files are removed


@needs_programs
def test_small_real_run_of_the_tree(tmp_path):
    import tree_bench
    servers = ("far", "vsftpd") if vsftpd_server.available() else ("far",)
    figures = tree_bench.run(BIN_DIR, rounds=1, servers=servers, months=2, per_month=3, scratch=str(tmp_path),
                             hosts={"far": "127.0.86.205", "vsftpd": "127.0.86.206"})
    assert set(figures["far"]) == {"ours", "single", "lftp", "again", "files", "directories"}
    assert all(figures["far"][t]["median_s"] > 0 for t in ("ours", "single", "lftp", "again"))
    table = load_report().Table()
    load_report().tree_rows(table, figures)
    assert table.rows[1][0].startswith("6 files in 2 directories")
    assert os.listdir(tmp_path) == []


@needs_programs
def test_small_real_run_over_tls(tmp_path):
    if not vsftpd_server.available():
        pytest.skip("vsftpd is not installed")
    figures = tls_bench.run(BIN_DIR, size_mib=2, rounds=1, scratch=str(tmp_path))
    assert set(figures["download"]) == {"ours", "curl", "lftp", "ours_paired", "bare", "gui"}
    assert all(figures[job][t]["mb_per_s"] > 0 for job in ("download", "upload") for t in ("ours", "curl", "lftp"))
    table = load_report().Table()
    load_report().tls_rows(table, figures, 2)
    assert any(row[0].startswith("  bare TLS receiver") for row in table.rows)


@needs_programs
def test_open_latency_counts_the_listed_rows(tmp_path):
    figures = latency_bench.run(BIN_DIR, entries=40, rounds=2, ftp_host="127.0.86.202", scratch=str(tmp_path))
    assert figures["rows"] == 40 and len(figures["samples_ms"]) == 2
    assert 0 < figures["median_ms"] <= figures["max_ms"]


@needs_programs
def test_probe_fails_loudly_on_a_missing_row(tmp_path):
    from bench_world import BenchWorld
    os.environ["VOP_BIN_DIR"] = str(BIN_DIR)
    with BenchWorld("127.0.86.203", str(tmp_path)) as world:
        with pytest.raises(RuntimeError, match="no row named"):
            transfer_bench.Runner(BIN_DIR, world).ours("download", "absent.xml", tmp_path / "out.xml")


@needs_programs
def test_small_real_run_of_the_summary_and_the_signature_check():
    sys.path.insert(0, str(REPO / "bench" / "summary"))
    import summary_bench
    figures = summary_bench.run(BIN_DIR, files=20, server="pyftpdlib", ftp_host="127.0.86.205")
    assert figures["files"] == figures["notas"] == figures["autorizadas"] == 20
    assert 0 < figures["second_s"] and 0 < figures["first_s"] and figures["max_gui_gap_ms"] > 0
    assert 0 < figures["signature"]["SignatureCheck"] and 7000 < figures["invoice_bytes"] < 9000

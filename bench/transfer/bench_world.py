"""A store on disk served on port 21 of a loopback address of its own, by the pyftpdlib fixture or by
Debian's vsftpd, and an application server whose settings send the screen there: what the benchmarks
run against.

The screen's home is "XMLFTP/Organização <org>"; `peer_dir` is an ASCII folder of the same store for
curl and lftp, whose command lines cannot carry the CP1252 name. The fixture keeps names as UTF-8 on
disk; vsftpd keeps the bytes the client sent, so there the home's name is CP1252 on disk too."""

import os
import pathlib
import shutil
import sys
import tempfile

REPO = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tests" / "fixtures"))

from appserver_fixture import AppServer  # noqa: E402
from ftp_fixture import FtpServer  # noqa: E402
from vsftpd_server import Vsftpd  # noqa: E402

USER = "bench"
PASSWORD = "bench-31600"
ORGANISATION = "31600"
HOME = "XMLFTP/Organização " + ORGANISATION
PEER_DIR = "bench"
SERVERS = ("pyftpdlib", "vsftpd")


def settings_sql(ftp_host, user=USER, password=PASSWORD):
    return ("INSERT INTO ftp_data VALUES ('S','%s','%s','%s','%s');" % (ftp_host, user, password, ORGANISATION)
            + "INSERT INTO local_cache VALUES ('', '');")


class BenchWorld:
    def __init__(self, ftp_host, scratch=None, server="pyftpdlib", tls=None, **fixture_options):
        if server not in SERVERS:
            raise ValueError("unknown FTP server %r" % server)
        self.ftp_host = ftp_host
        self.server_kind = server
        self.scratch = pathlib.Path(tempfile.mkdtemp(prefix="vop-bench-", dir=scratch))
        self.root = self.scratch / "store"
        home = HOME if server == "pyftpdlib" else os.fsdecode(HOME.encode("cp1252"))
        self.home = self.root / home
        self.peer = self.root / PEER_DIR
        self.local = self.scratch / "local"
        served = [self.root / "EXEFTP", self.root / "RELFTP", self.root / "TMPFTP", self.home, self.peer]
        for folder in served + [self.local]:
            folder.mkdir(parents=True, exist_ok=True)
        if server == "pyftpdlib":
            self.ftp = FtpServer(ftp_host, str(self.root), USER, PASSWORD, **fixture_options)
        else:
            self.scratch.chmod(0o755)
            self.ftp = Vsftpd(ftp_host, self.root, tls=tls)
            for folder in served:
                self.ftp.writable(folder)
        self.user, self.password = self.ftp.user, self.ftp.password
        self.app = AppServer(db_sql=settings_sql(ftp_host, self.user, self.password))

    def __enter__(self):
        self.ftp.start()
        try:
            self.app.start()
        except Exception:
            self.ftp.stop()
            raise
        return self

    def __exit__(self, *exc):
        try:
            self.app.__exit__(*exc)
        finally:
            self.ftp.stop()
            shutil.rmtree(self.scratch, ignore_errors=True)
        return False

    @property
    def server(self):
        """The application server as vop-host's --server takes it."""
        return "%s:%d" % (self.app.host, self.app.port)

    def clear(self, folder):
        """Removes every file of a folder (between runs, outside the timings)."""
        for entry in os.scandir(folder):
            if entry.is_file():
                os.unlink(entry.path)

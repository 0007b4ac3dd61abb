"""A store on disk served by the FTP fixture on port 21 of a loopback address of its own, and an
application server whose settings send the screen there: what the benchmarks run against.

The screen's home is "XMLFTP/Organização <org>"; `peer_dir` is an ASCII folder of the same store for
curl and lftp, whose command lines cannot carry the CP1252 name."""

import os
import pathlib
import shutil
import sys
import tempfile

REPO = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tests" / "fixtures"))

from appserver_fixture import AppServer  # noqa: E402
from ftp_fixture import FtpServer  # noqa: E402

USER = "bench"
PASSWORD = "bench-31600"
ORGANISATION = "31600"
HOME = "XMLFTP/Organização " + ORGANISATION
PEER_DIR = "bench"


def settings_sql(ftp_host):
    return ("INSERT INTO ftp_data VALUES ('S','%s','%s','%s','%s');" % (ftp_host, USER, PASSWORD, ORGANISATION)
            + "INSERT INTO local_cache VALUES ('', '');")


class BenchWorld:
    def __init__(self, ftp_host, scratch=None):
        self.ftp_host = ftp_host
        self.scratch = pathlib.Path(tempfile.mkdtemp(prefix="vop-bench-", dir=scratch))
        self.root = self.scratch / "store"
        self.home = self.root / HOME
        self.peer = self.root / PEER_DIR
        self.local = self.scratch / "local"
        for folder in (self.root / "EXEFTP", self.root / "RELFTP", self.root / "TMPFTP", self.home, self.peer,
                       self.local):
            folder.mkdir(parents=True, exist_ok=True)
        self.ftp = FtpServer(ftp_host, str(self.root), USER, PASSWORD)
        self.app = AppServer(db_sql=settings_sql(ftp_host))

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

"""Debian's vsftpd (a C server: Unix listing lines, names stored as the bytes the client sends) on
port 21 of one loopback address, anonymous with write rights, for the benchmarks.

    with Vsftpd("127.0.86.2", store) as server: ...

The package is installed without its service (scripts/setup): each benchmark starts its own process
in the foreground with a configuration written in a temporary folder, and stops it at the end. Needs
root, as vsftpd does for port 21, chroot and the switch to the `ftp` user.

The store root stays owned by root and not writable by `ftp` (vsftpd refuses a writable chroot);
`writable()` hands a folder below it to the `ftp` user."""

import os
import pathlib
import pwd
import shutil
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tests" / "fixtures"))

from ftp_fixture import FtpServer  # noqa: E402

PROGRAM = "/usr/sbin/vsftpd"
USER = "anonymous"
PASSWORD = "bench@"

CONFIG = """listen=YES
listen_ipv6=NO
listen_address={host}
listen_port={port}
background=NO
seccomp_sandbox=NO
isolate=NO
isolate_network=NO
secure_chroot_dir={empty}
anonymous_enable=YES
no_anon_password=YES
anon_root={root}
local_enable=NO
write_enable=YES
anon_upload_enable=YES
anon_mkdir_write_enable=YES
anon_other_write_enable=YES
anon_umask=022
port_enable=YES
connect_from_port_20=NO
pasv_enable=YES
dirmessage_enable=NO
xferlog_enable=NO
tcp_wrappers=NO
vsftpd_log_file={log}
"""


def available():
    return os.path.exists(PROGRAM) and os.geteuid() == 0


class Vsftpd(FtpServer):
    """Started and stopped as the fixture is; only its program and configuration differ."""

    def __init__(self, host, root, port=21, timeout=10.0):
        super().__init__(host, root, USER, PASSWORD, port=port, timeout=timeout)
        self._folder = None

    def writable(self, path):
        """Gives path (and every folder between the root and it) to the ftp user."""
        account = pwd.getpwnam("ftp")
        path = os.path.abspath(path)
        while path.startswith(self.root + os.sep):
            os.chown(path, account.pw_uid, account.pw_gid)
            path = os.path.dirname(path)

    def start(self):
        if not os.path.exists(PROGRAM):
            raise RuntimeError("vsftpd is not installed (scripts/setup installs it)")
        os.makedirs(self.root, exist_ok=True)
        os.chown(self.root, 0, 0)
        os.chmod(self.root, 0o755)
        self._folder = tempfile.mkdtemp(prefix="vop-vsftpd-")
        empty = os.path.join(self._folder, "empty")
        os.mkdir(empty, 0o755)
        config = os.path.join(self._folder, "vsftpd.conf")
        with open(config, "w", encoding="ascii") as out:
            out.write(CONFIG.format(host=self.host, port=self.port, empty=empty, root=self.root,
                                    log=os.path.join(self._folder, "vsftpd.log")))
        with open(os.path.join(self._folder, "stderr"), "wb") as errors:
            self._proc = subprocess.Popen([PROGRAM, config], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                          stderr=errors)
        deadline = time.monotonic() + self.timeout
        while not self._answers():
            if self._proc.poll() is not None:
                why = open(os.path.join(self._folder, "stderr"), "rb").read().decode(errors="replace").strip()
                self.stop()
                raise RuntimeError("vsftpd on %s exited: %s" % (self.host, why))
            if time.monotonic() > deadline:
                self.stop()
                raise RuntimeError("vsftpd on %s did not start in time" % self.host)
            time.sleep(0.02)
        return self

    def _answers(self):
        try:
            with socket.create_connection((self.host, self.port), timeout=1) as s:
                return s.recv(64).startswith(b"220")
        except OSError:
            return False

    def stop(self):
        super().stop()
        if self._folder is not None:
            shutil.rmtree(self._folder, ignore_errors=True)
            self._folder = None

"""A small world for screen tests: a store on disk served by the FTP fixture, an application server
pointing at it, and helpers to run vop-host scripts against both."""

import http.client
import itertools
import os
import pathlib
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

from appserver_fixture import AppServer  # noqa: E402  (tests/fixtures is on sys.path via conftest)
from ftp_fixture import FtpServer  # noqa: E402

# live_host watches a running host; it lives with the fault tests.
_FAULTS_DIR = str(pathlib.Path(__file__).resolve().parents[1] / "faults")
if _FAULTS_DIR not in sys.path:
    sys.path.insert(0, _FAULTS_DIR)
from live_host import errors, run_host  # noqa: E402,F401  (errors: for the tests that import it from here)

USER = "contador"
PASSWORD = "s3nh@"
ORG_HOME = "XMLFTP/Organização 12"

_addresses = itertools.count(10)


def fresh_loopback():
    """A loopback address of its own for each FTP server, so tests never share port 21."""
    n = next(_addresses) + (os.getpid() % 200) * 256
    return "127.0.%d.%d" % ((n // 250) % 250 + 1, n % 250 + 2)


def make_store(root, files=None):
    """The four system directories, the organisation's home and some invoices."""
    root = pathlib.Path(root)
    for d in ("EXEFTP", "RELFTP", "TMPFTP", "XMLFTP", ORG_HOME, ORG_HOME + "/202401"):
        (root / d).mkdir(parents=True, exist_ok=True)
    defaults = {
        ORG_HOME + "/35240112345678000190550010000001231000001234-nfe.xml": b"<nfeProc>1</nfeProc>",
        ORG_HOME + "/nota fiscal.xml": b"x" * 1536,
        ORG_HOME + "/vazio.txt": b"",
        "leia-me.txt": b"store root",
    }
    for name, data in (files or defaults).items():
        path = root / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    return root


def settings_sql(ftp_host, organisation="12", status="S", http_row=None, connect_str=""):
    sql = "INSERT INTO ftp_data VALUES ('%s','%s','%s','%s','%s');" % (
        status, ftp_host, USER, PASSWORD.replace("'", "''"), organisation)
    if http_row is not None:
        sql += "INSERT INTO http_param VALUES (%s);" % ",".join(
            "NULL" if v is None else (str(v) if isinstance(v, int) else "'%s'" % v) for v in http_row)
    sql += "INSERT INTO local_cache VALUES ('', '%s');" % connect_str.replace("'", "''")
    return sql


class World:
    def __init__(self, tmp_path, organisation="12", files=None, extra_sql="", ftp=True, password=PASSWORD,
                 ftp_options=None):
        self.store = make_store(tmp_path / "store", files)
        self.ftp_host = fresh_loopback()
        self.ftp = FtpServer(host=self.ftp_host, root=str(self.store), user=USER, password=password,
                             **(ftp_options or {})) if ftp else None
        self.app = AppServer(db_sql=settings_sql(self.ftp_host, organisation) + extra_sql)

    def __enter__(self):
        if self.ftp:
            self.ftp.__enter__()
        self.app.__enter__()
        return self

    def __exit__(self, *exc):
        self.app.__exit__(*exc)
        if self.ftp:
            self.ftp.__exit__(*exc)

    def stop_ftp(self):
        """The FTP server goes away, dropping every connection it holds."""
        self.ftp.stop()

    def restart_ftp(self):
        """A new FTP server on the same address, port and store: old sessions are gone."""
        self.ftp.stop()
        self.ftp.start()

    @property
    def server(self):
        return (self.app.host, self.app.port)


def rows_by_name(dump):
    return {row["DSNOME"]: row for row in dump["screen"]["rows"]}


def names(dump):
    return [row["DSNOME"] for row in dump["screen"]["rows"]]


def prompts_of(dump, kind):
    return [p for p in dump["prompts"] if p["kind"] == kind]


def run_live(tmp_path, lines, server, between=None, timeout=60, extra_env=None):
    """Runs a script while the test acts on the world: between[i]() runs as soon as the i-th dump
    (0-based) reaches stdout, so the script should `wait` after that dump long enough for it.
    Returns the same ScriptResult as the run_script fixture."""
    from conftest import ScriptResult

    between = dict(between or {})
    hooks = {index: (lambda process, action=action: action()) for index, action in between.items()}
    result = run_host(tmp_path, lines, server, hooks, timeout, extra_env)
    assert len(result.dumps) > max(between, default=-1), \
        "the script ended before dumps %s" % sorted(i for i in between if i >= len(result.dumps))
    return ScriptResult(result.returncode, result.stdout, result.stderr, result.dumps)


class GatewayProxy:
    """A pass-through HTTP proxy in front of the gateway, for fault injection. It logs every request as
    (method, endpoint, query dict, request body bytes passed on, status) once answered (status None when
    the client left before the end of its body); refuse(method,
    endpoint) may return (status, text) to answer a request itself, its body read and dropped; pace
    is a pause after each MiB of a request body passed on, a slow line."""

    def __init__(self, gateway, refuse=None, pace=0.0):
        self.log = []
        log = self.log

        class Relay(BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def body_chunks(self):
                left = int(self.headers.get("Content-Length") or 0)
                while left > 0:
                    try:
                        chunk = self.rfile.read(min(1 << 20, left))
                    except OSError:
                        return
                    if not chunk:
                        return
                    left -= len(chunk)
                    yield chunk

            def relay(self):
                url = urllib.parse.urlsplit(self.path)
                endpoint = url.path.rsplit("/", 1)[-1]
                answer = refuse(self.command, endpoint) if refuse else None
                passed = 0
                content_type = "text/plain"
                if answer:
                    for _ in self.body_chunks():
                        pass
                    status, body = answer[0], answer[1].encode()
                else:
                    upstream = http.client.HTTPConnection(gateway.host, gateway.port, timeout=60)
                    upstream.putrequest(self.command, self.path, skip_host=True, skip_accept_encoding=True)
                    for name, value in self.headers.items():
                        upstream.putheader(name, value)
                    upstream.endheaders()
                    for chunk in self.body_chunks():
                        upstream.send(chunk)
                        passed += len(chunk)
                        time.sleep(pace)
                    if passed < int(self.headers.get("Content-Length") or 0):
                        # The client went away in the middle of its body: so does the proxy, as the
                        # client would have towards the gateway.
                        upstream.close()
                        log.append((self.command, endpoint, dict(urllib.parse.parse_qsl(url.query)), passed, None))
                        self.close_connection = True
                        return
                    reply = upstream.getresponse()
                    status, body = reply.status, reply.read()
                    content_type = reply.getheader("Content-Type", content_type)
                    upstream.close()
                log.append((self.command, endpoint, dict(urllib.parse.parse_qsl(url.query)), passed, status))
                self.send_response(status)
                self.send_header("Content-Type", content_type)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            do_GET = do_POST = relay

        self._server = ThreadingHTTPServer(("127.0.0.1", 0), Relay)
        self._server.daemon_threads = True
        self.port = self._server.server_address[1]

    def __enter__(self):
        threading.Thread(target=self._server.serve_forever, daemon=True).start()
        return self

    def __exit__(self, *exc):
        self._server.shutdown()
        self._server.server_close()
